#include "gui/panel_bridge.h"

#include "core/browser.h"
#include "gui/platform_values.h"
#include "support/app_paths.h"
#include "support/autostart.h"
#include "support/log.h"

#include <QGuiApplication>
#include <QUrl>

Q_GUI_EXPORT int qt_defaultDpiY();

PanelBridge::PanelBridge(DownloadManager& manager, PasteField& field, Shell shell, QObject* parent)
    : QObject(parent),
      m_manager(manager),
      m_field(field),
      m_shell(std::move(shell)),
      m_items(manager) {
    connect(&m_field, &PasteField::inputChanged, this, &PanelBridge::inputChanged);
    connect(&m_field, &PasteField::detectedChanged, this, &PanelBridge::detectedChanged);
    connect(&m_field, &PasteField::detectedChanged, this, &PanelBridge::updateNeedsYuanbaoLogin);
    connect(&m_field, &PasteField::focusTickChanged, this, &PanelBridge::focusTickChanged);
    YuanbaoStatus* const yuanbao = &m_manager.yuanbao();
    connect(yuanbao, &YuanbaoStatus::loggedInChanged, this, &PanelBridge::yuanbaoLoggedInChanged);
    connect(yuanbao, &YuanbaoStatus::loggedInChanged, this, &PanelBridge::updateNeedsYuanbaoLogin);
    connect(yuanbao, &YuanbaoStatus::untilChanged, this, &PanelBridge::yuanbaoUntilChanged);
    ToolsStatus* const tools = &m_manager.tools();
    connect(tools, &ToolsStatus::textChanged, this, &PanelBridge::toolsStatusChanged);
    connect(tools, &ToolsStatus::updatingChanged, this, &PanelBridge::updatingToolsChanged);
    connect(&m_manager, &DownloadManager::cookieBrowserChanged, this,
            &PanelBridge::cookieBrowserChanged);
    connect(&m_items, &ItemListModel::phasesChanged, this, &PanelBridge::updateHasFinished);
    m_needsYuanbaoLogin = m_field.needsYuanbaoLogin();
    m_hasFinished = m_manager.hasFinished();
    refreshMenu();
}

QVariantMap PanelBridge::detectedPlatform() const {
    const auto& detected = m_field.detected();
    return detected ? platformValues(detected->platform) : QVariantMap();
}

QString PanelBridge::yuanbaoUntil() const {
    const auto until = m_manager.yuanbao().until();
    return until ? until->toLocalTime().toString(QStringLiteral("yyyy-MM-dd")) : QString();
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
    const int dpi = qt_defaultDpiY();
    return dpi > 0 ? 72.0 / dpi : 0.75;
}

void PanelBridge::retry(const QString& itemId) {
    if (auto item = m_items.item(itemId)) m_manager.retry(item);
}

void PanelBridge::cancel(const QString& itemId) {
    if (auto item = m_items.item(itemId)) m_manager.cancel(item);
}

void PanelBridge::remove(const QString& itemId) {
    if (auto item = m_items.item(itemId)) m_manager.remove(item);
}

void PanelBridge::perform(const QString& itemId, const QString& actionKey) {
    const auto item = m_items.item(itemId);
    if (!item || item->phase().kind() != Phase::failed) return;
    for (const Failure::Action& action : item->phase().failure().actions) {
        if (action.key() == actionKey) {
            m_manager.perform(action, item);
            return;
        }
    }
}

void PanelBridge::refreshMenu() {
    QVariantList browsers;
    for (const Browser browser : Browser::installed()) {
        browsers.append(QVariantMap{{QStringLiteral("raw"), browser.rawValue()},
                                    {QStringLiteral("name"), browser.name()}});
    }
    if (browsers != m_installedBrowsers) {
        m_installedBrowsers = browsers;
        Q_EMIT installedBrowsersChanged();
    }
    const bool offers =
        m_shell.removeOldCert && m_shell.hasOldCertificate && m_shell.hasOldCertificate();
    if (offers != m_offersOldCertRemoval) {
        m_offersOldCertRemoval = offers;
        Q_EMIT offersOldCertRemovalChanged();
    }
    const bool startsAtLogin = Autostart::isEnabled();
    if (startsAtLogin != m_startsAtLogin) {
        m_startsAtLogin = startsAtLogin;
        Q_EMIT startsAtLoginChanged();
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

void PanelBridge::openDesktop() {
    if (const auto& workspace = m_manager.services().workspace)
        workspace->openURL(QUrl::fromLocalFile(AppPaths::desktop()));
}

void PanelBridge::openLogs() {
    if (const auto& workspace = m_manager.services().workspace)
        workspace->openURL(QUrl::fromLocalFile(AppPaths::logs()));
}

void PanelBridge::quit() {
    if (m_shell.quit) m_shell.quit();
}

void PanelBridge::removeOldCert() {
    if (m_shell.removeOldCert) m_shell.removeOldCert();
}

void PanelBridge::openFile(const QString& itemId) {
    const auto item = m_items.item(itemId);
    const auto& workspace = m_manager.services().workspace;
    if (item && workspace && item->phase().kind() == Phase::done)
        workspace->openURL(QUrl::fromLocalFile(item->phase().file()));
}

void PanelBridge::revealFile(const QString& itemId) {
    const auto item = m_items.item(itemId);
    const auto& workspace = m_manager.services().workspace;
    if (item && workspace && item->phase().kind() == Phase::done)
        workspace->revealFile(item->phase().file());
}

void PanelBridge::copyLink(const QString& itemId) {
    const auto item = m_items.item(itemId);
    if (item && m_manager.services().clipboard)
        m_manager.services().clipboard->setText(item->linkText());
}

void PanelBridge::openLink(const QString& itemId) {
    const auto item = m_items.item(itemId);
    if (item && m_manager.services().workspace)
        m_manager.services().workspace->openURL(item->url());
}

void PanelBridge::reportHeight(double height) {
    if (height == m_reportedHeight) return;
    m_reportedHeight = height;
    if (m_shell.heightChanged) m_shell.heightChanged(height);
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
