#include "gui/panel_bridge.h"

#include "core/browser.h"
#include "gui/platform_values.h"
#include "support/app_paths.h"
#include "support/autostart.h"
#include "support/log.h"
#include "support/settings.h"

#include <QGuiApplication>
#include <QQmlEngine>
#include <QScreen>
#include <QUrl>

#include <map>

namespace {

// Each engine's bridge. One program has one panel, but every test builds its own.
std::map<const QQmlEngine*, PanelBridge*>& bridges() {
    static std::map<const QQmlEngine*, PanelBridge*> byEngine;
    return byEngine;
}

}  // namespace

PanelBridge::PanelBridge(DownloadManager& manager, PasteField& field, PanelCallbacks callbacks,
                         QObject* parent)
    : QObject(parent),
      m_manager(manager),
      m_field(field),
      m_callbacks(std::move(callbacks)),
      m_items(manager) {
    connect(&m_field, &PasteField::inputChanged, this, &PanelBridge::inputChanged);
    connect(&m_field, &PasteField::detectedChanged, this, &PanelBridge::detectedChanged);
    connect(&m_field, &PasteField::detectedChanged, this, &PanelBridge::updateNeedsYuanbaoLogin);
    connect(&m_field, &PasteField::focusTickChanged, this, &PanelBridge::focusTickChanged);
    connect(&m_field, &PasteField::dropHintChanged, this, &PanelBridge::dropHintChanged);
    YuanbaoStatus* const yuanbao = &m_manager.yuanbao();
    connect(yuanbao, &YuanbaoStatus::loggedInChanged, this, &PanelBridge::yuanbaoLoggedInChanged);
    connect(yuanbao, &YuanbaoStatus::loggedInChanged, this, &PanelBridge::updateNeedsYuanbaoLogin);
    connect(yuanbao, &YuanbaoStatus::untilChanged, this, &PanelBridge::yuanbaoUntilChanged);
    ToolsStatus* const tools = &m_manager.tools();
    connect(tools, &ToolsStatus::textChanged, this, &PanelBridge::toolsStatusChanged);
    connect(tools, &ToolsStatus::updatingChanged, this, &PanelBridge::updatingToolsChanged);
    connect(tools, &ToolsStatus::textChanged, this, &PanelBridge::updateToolsTextChanged);
    connect(tools, &ToolsStatus::updatingChanged, this, &PanelBridge::updateToolsTextChanged);
    connect(tools, &ToolsStatus::lastUpdateChanged, this, &PanelBridge::updateResultChanged);
    connect(&m_manager, &DownloadManager::cookieBrowserChanged, this,
            &PanelBridge::cookieBrowserChanged);
    connect(&m_items, &ItemListModel::phasesChanged, this, &PanelBridge::updateHasFinished);
    connect(&m_items, &ItemListModel::countChanged, this, &PanelBridge::listTitleChanged);
    m_needsYuanbaoLogin = m_field.needsYuanbaoLogin();
    m_hasFinished = m_manager.hasFinished();
    refreshMenu();
}

PanelBridge::~PanelBridge() {
    std::erase_if(bridges(), [this](const auto& entry) { return entry.second == this; });
}

void PanelBridge::provide(QQmlEngine& engine, PanelBridge* bridge) {
    bridges()[&engine] = bridge;
}

PanelBridge* PanelBridge::create(QQmlEngine* engine, QJSEngine*) {
    const auto found = bridges().find(engine);
    if (found == bridges().end()) return nullptr;
    // The engine must not delete it: the view that holds the engine owns the bridge.
    QJSEngine::setObjectOwnership(found->second, QJSEngine::CppOwnership);
    return found->second;
}

QVariantMap PanelBridge::detectedPlatform() const {
    const auto& detected = m_field.detected();
    return detected ? platformValues(detected->platform) : QVariantMap();
}

QString PanelBridge::yuanbaoUntil() const {
    const auto until = m_manager.yuanbao().until();
    return until ? until->toLocalTime().toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

QString PanelBridge::yuanbaoStateText() const {
    const QString until = yuanbaoUntil();
    return QStringLiteral("已登录") +
           (until.isEmpty() ? QString() : QStringLiteral(" · 至 ") + until);
}

void PanelBridge::copyUpdateCommand() {
    const QString command = updateCommand();
    if (!command.isEmpty() && m_manager.services().clipboard)
        m_manager.services().clipboard->setText(command);
}

QString PanelBridge::updateToolsText() const {
    if (updatingTools()) return QStringLiteral("正在更新下载组件…");
    const QString status = toolsStatus();
    return QStringLiteral("更新下载组件") +
           (status.isEmpty() ? QString() : QStringLiteral("（") + status + QStringLiteral("）"));
}

QString PanelBridge::listTitle() const {
    return QStringLiteral("下载 · ") + QString::number(m_items.rowCount());
}

QString PanelBridge::cookieBrowser() const {
    const auto browser = m_manager.cookieBrowser();
    return browser ? browser->rawValue() : QString();
}

void PanelBridge::setCookieBrowser(const QString& raw) {
    m_manager.setCookieBrowser(Browser::fromRawValue(raw));
}

QVariantList PanelBridge::supportedPlatforms() const {
    QVariantList platforms;
    for (const Platform platform : Platform::supported())
        platforms.append(platformValues(platform));
    return platforms;
}

double PanelBridge::pointsPerPixel() const {
    // Qt turns a font's point size into pixels with the primary screen's logical DPI, rounded
    // to a whole number; the same figure here makes a size given in pixels come out exact.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int dpi = screen ? qRound(screen->logicalDotsPerInchY()) : 0;
    return dpi > 0 ? 72.0 / dpi : 0.75;
}

void PanelBridge::refreshMenu() {
    QVariantList browsers;
    QList<Browser> listed = Browser::installed();
    // The browser in use is listed (and ticked) even where its profile is gone.
    const std::optional<Browser> inUse = m_manager.cookieBrowser();
    if (inUse && !listed.contains(*inUse)) listed.append(*inUse);
    for (const Browser browser : listed) {
        browsers.append(QVariantMap{{QStringLiteral("raw"), browser.rawValue()},
                                    {QStringLiteral("name"), browser.name()}});
    }
    if (browsers != m_installedBrowsers) {
        m_installedBrowsers = browsers;
        Q_EMIT installedBrowsersChanged();
    }
    const bool offers = m_callbacks.onRemoveOldCert && m_callbacks.hasOldCertificate &&
                        m_callbacks.hasOldCertificate();
    if (offers != m_offersOldCertRemoval) {
        m_offersOldCertRemoval = offers;
        Q_EMIT offersOldCertRemovalChanged();
    }
    const bool startsAtLogin = Autostart::isEnabled();
    if (startsAtLogin != m_startsAtLogin) {
        m_startsAtLogin = startsAtLogin;
        Q_EMIT startsAtLoginChanged();
    }
    const bool notify = Settings::notifyWhenDone();
    if (notify != m_notifyWhenDone) {
        m_notifyWhenDone = notify;
        Q_EMIT notifyWhenDoneChanged();
    }
}

void PanelBridge::setStartsAtLogin(bool on) {
    try {
        Autostart::setEnabled(on);
    } catch (const std::runtime_error& error) {
        // The menu shows what is on disk; the log says why it differs from the click.
        Log::write(QString::fromUtf8(error.what()));
    }
    m_startsAtLogin = Autostart::isEnabled();
    // Always: the menu entry ticked itself on the click and must show the outcome.
    Q_EMIT startsAtLoginChanged();
}

void PanelBridge::setNotifyWhenDone(bool on) {
    Settings::setNotifyWhenDone(on);
    m_notifyWhenDone = Settings::notifyWhenDone();
    // Always: the menu entry ticked itself on the click and must show what is stored.
    Q_EMIT notifyWhenDoneChanged();
}

void PanelBridge::openDesktop() {
    if (const auto& workspace = m_manager.services().workspace)
        workspace->openURL(QUrl::fromLocalFile(AppPaths::desktop()));
}

void PanelBridge::openLogs() {
    if (const auto& workspace = m_manager.services().workspace)
        workspace->openURL(QUrl::fromLocalFile(AppPaths::appLog()));
}

void PanelBridge::quit() {
    if (m_callbacks.onQuit) m_callbacks.onQuit();
}

void PanelBridge::removeOldCert() {
    if (m_callbacks.onRemoveOldCert) m_callbacks.onRemoveOldCert();
}

void PanelBridge::reportHeight(double height) {
    if (height == m_reportedHeight) return;
    m_reportedHeight = height;
    if (m_callbacks.onHeightChange) m_callbacks.onHeightChange(height);
}

void PanelBridge::updateNeedsYuanbaoLogin() {
    const bool needs = m_field.needsYuanbaoLogin();
    if (needs == m_needsYuanbaoLogin) return;
    m_needsYuanbaoLogin = needs;
    Q_EMIT needsYuanbaoLoginChanged();
}

void PanelBridge::updateHasFinished() {
    const bool finished = m_manager.hasFinished();
    if (finished == m_hasFinished) return;
    m_hasFinished = finished;
    Q_EMIT hasFinishedChanged();
}
