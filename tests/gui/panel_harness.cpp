#include "panel_harness.h"

#include "channels/cookie_jar.h"
#include "channels/yuanbao.h"
#include "common/test_support.h"
#include "gui/panel_view.h"

#include <QGuiApplication>
#include <QNetworkCookie>
#include <QPalette>
#include <QQuickWindow>
#include <QTest>

namespace {

QObject* findIn(QObject* object, const QString& name) {
    if (!object) return nullptr;
    if (object->objectName() == name) return object;
    for (QObject* child : object->children()) {
        if (QObject* found = findIn(child, name)) return found;
    }
    if (auto* item = qobject_cast<QQuickItem*>(object)) {
        for (QQuickItem* child : item->childItems()) {
            if (child->parent() == object) continue;  // seen above
            if (QObject* found = findIn(child, name)) return found;
        }
    }
    return nullptr;
}

}  // namespace

QPalette darkPalette() {
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2e));
    palette.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x20));
    palette.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    palette.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3d));
    palette.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    palette.setColor(QPalette::Highlight, QColor(0x0a, 0x84, 0xff));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    return palette;
}

void logInToYuanbao(bool expires) {
    QNetworkCookie cookie("hy_token", "secret-token-value");
    cookie.setDomain(Yuanbao::host());
    cookie.setPath(QStringLiteral("/"));
    if (expires) cookie.setExpirationDate(QDateTime(QDate(2031, 5, 17), QTime(12, 0)));
    CookieJar::write({cookie});
}

namespace {
bool useSoftwareRenderer() {
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    return true;
}
}  // namespace

PanelHarness::PanelHarness(bool dark) : m_softwareRenderer(useSoftwareRenderer()) {
    QGuiApplication::setPalette(dark ? darkPalette() : QPalette());
    // No download tool is found, so a submitted item fails at once and stays as a test sets it.
    YtDlp::Settings settings;
    settings.tools.searchDirs = {m_noTools.path()};
    DesktopServices services;
    services.clipboard = clipboard;
    services.workspace = workspace;
    services.makeLoginWindow = [this]() -> std::shared_ptr<::LoginWindow> {
        auto window = std::make_shared<LoginWindow>();
        loginWindows.append(window);
        return window;
    };
    m_manager = std::make_unique<DownloadManager>(services, settings);
    m_field = std::make_unique<PasteField>(*m_manager);
    PanelCallbacks callbacks;
    callbacks.onQuit = [this] { ++quits; };
    callbacks.onHeightChange = [this](double height) {
        heights.append(height);
        m_view.resize(440, int(std::ceil(height)));
    };
    loadPanel(m_view, *m_manager, *m_field, callbacks);
    m_view.show();
    settle(100);
}

PanelHarness::~PanelHarness() {
    m_view.setSource(QUrl());
}

QObject* PanelHarness::find(const QString& name) const {
    return findIn(root(), name);
}

QQuickItem* PanelHarness::item(const QString& name) const {
    return qobject_cast<QQuickItem*>(find(name));
}

QList<QQuickItem*> PanelHarness::all(const QString& name, QQuickItem* under) const {
    QList<QQuickItem*> found;
    std::function<void(QQuickItem*)> walk = [&](QQuickItem* item) {
        if (item->objectName() == name) found.append(item);
        for (QQuickItem* child : item->childItems()) walk(child);
    };
    walk(under ? under : root());
    return found;
}

QQuickItem* PanelHarness::row(const DownloadManager::ItemPointer& item) const {
    return this->item(QStringLiteral("row:") + item->id().toString(QUuid::WithoutBraces));
}

QVariant PanelHarness::value(const QString& name, const char* property) const {
    QObject* object = find(name);
    return object ? object->property(property) : QVariant();
}

bool PanelHarness::shown(const QString& name) const {
    const QQuickItem* item = this->item(name);
    return item && item->isVisible() && item->opacity() > 0;
}

QRectF PanelHarness::geometry(const QString& name) const {
    const QQuickItem* item = this->item(name);
    if (!item) return {};
    return item->mapRectToItem(root(), QRectF(0, 0, item->width(), item->height()));
}

DownloadManager::ItemPointer PanelHarness::add(const QString& url, const Phase& phase) {
    const QUrl link = Platform::firstURL(url).value_or(QUrl(url));
    const DownloadManager::ItemPointer item = m_manager->submit(link, Platform::detect(link));
    TestSupport::waitUntil([&] { return item->isFinished() && !item->cancelToken; },
                           std::chrono::seconds(10));
    item->setPhase(phase);
    return item;
}

void PanelHarness::settle(int milliseconds) {
    QTest::qWait(milliseconds);
}

QImage PanelHarness::grab() {
    return m_view.grabWindow();
}
