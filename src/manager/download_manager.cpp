#include "manager/download_manager.h"

#include "manager/desktop_remedies.h"
#include "manager/download_failure.h"
#include "manager/engine_run.h"
#include "support/log.h"

#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <algorithm>

DownloadManager::DownloadManager(DesktopServices services, YtDlp::Settings settings,
                                 QObject* parent)
    : QObject(parent),
      m_services(std::move(services)),
      m_settings(std::move(settings)),
      m_tools(m_settings.tools),
      m_cookieBrowser(Browser::preferred()) {}

DownloadManager::~DownloadManager() {
    // Running downloads stop, keeping their data; their tasks see that the manager is gone and
    // touch nothing else.
    stopAll(CancelToken::Reason::interrupt);
}

void DownloadManager::setCookieBrowser(std::optional<Browser> browser) {
    Browser::setPreferred(browser);
    if (browser == m_cookieBrowser) return;
    m_cookieBrowser = browser;
    Q_EMIT cookieBrowserChanged();
}

bool DownloadManager::hasActive() const {
    return std::ranges::any_of(m_items, [](const ItemPointer& item) { return item->isActive(); });
}

bool DownloadManager::hasFinished() const {
    return std::ranges::any_of(m_items, [](const ItemPointer& item) { return item->isFinished(); });
}

bool DownloadManager::isDownloading(const QUrl& url) const {
    const QString link = DownloadItem::linkText(url);
    return std::ranges::any_of(m_items, [&](const ItemPointer& item) {
        return item->isActive() && item->linkText() == link;
    });
}

DownloadManager::ItemPointer DownloadManager::submit(const QUrl& url, Platform platform) {
    for (const ItemPointer& item : m_items) {
        if (item->url() == url && item->isActive()) {
            moveToTop(item);  // already running: brought forward, not restarted
            return item;
        }
    }
    auto item = std::make_shared<DownloadItem>(url, platform);
    m_items.prepend(item);
    Q_EMIT itemsChanged();
    run(item);
    return item;
}

void DownloadManager::moveToTop(const ItemPointer& item) {
    m_items.removeIf([&](const ItemPointer& other) { return other == item; });
    m_items.prepend(item);
    Q_EMIT itemsChanged();
}

void DownloadManager::retry(const ItemPointer& item, bool continuing) {
    if (!item || item->isActive()) return;
    moveToTop(item);
    run(item, continuing);
}

void DownloadManager::cancel(const ItemPointer& item) {
    if (item && item->cancelToken) item->cancelToken->cancel();
}

void DownloadManager::remove(const ItemPointer& item) {
    if (!item) return;
    cancel(item);  // a running attempt deletes its own data
    if (!item->isActive()) discardKeptData(m_partialRoot, {item->id()});
    if (m_items.removeIf([&](const ItemPointer& other) { return other == item; }) > 0)
        Q_EMIT itemsChanged();
}

void DownloadManager::clearFinished() {
    QList<QUuid> ids;
    for (const ItemPointer& item : m_items) {
        if (item->isFinished()) ids.append(item->id());
    }
    discardKeptData(m_partialRoot, ids);  // an interrupted row's kept data goes with it
    if (m_items.removeIf([](const ItemPointer& item) { return item->isFinished(); }) > 0)
        Q_EMIT itemsChanged();
}

void DownloadManager::stopAll(CancelToken::Reason reason) {
    const auto items = m_items;  // stopping may resume a run synchronously
    for (const auto& item : items) {
        if (item->cancelToken) item->cancelToken->cancel(reason);
    }
}

void DownloadManager::restore(const QList<ItemPointer>& items) {
    m_items.append(items);
    if (!items.isEmpty()) Q_EMIT itemsChanged();
}

void DownloadManager::reportActive() {
    Q_EMIT activeChanged(hasActive());
}

void DownloadManager::run(const ItemPointer& item, bool continuing) {
    item->setPhase(Phase::makeWorking(QStringLiteral("正在解析链接…")));
    Q_EMIT activeChanged(true);
    Log::write(QStringLiteral("开始下载：[") + item->platform().name() + QStringLiteral("] ") +
               item->linkText());
    auto token = CancelToken::make();
    item->cancelToken = token;
    // The task runs on by itself and frees itself when it ends; the item's token is its handle.
    runTask(item, token, continuing);
}

QCoro::Task<> DownloadManager::runTask(ItemPointer item, std::shared_ptr<CancelToken> token,
                                       bool continuing) {
    QPointer<DownloadManager> self(this);
    QString file;
    std::exception_ptr error;
    try {
        const EngineRun how{m_cookieBrowser, m_settings, m_partialRoot, continuing};
        file = co_await runEngine(item.get(), token, how);
    } catch (...) {
        error = std::current_exception();
    }
    if (!self) co_return;

    const auto releaseTask = [&] {
        if (item->cancelToken == token) item->cancelToken.reset();
    };
    bool cancelled = false;
    if (!error) {
        const QFileInfo info(file);
        item->setTitle(info.completeBaseName());  // "clip (2)" where a "clip" was already there
        item->setPhase(Phase::makeDone(file, info.exists() ? info.size() : 0));
        Log::write(QStringLiteral("下载完成：") + info.fileName());
    } else {
        // An interrupt kept the data, whatever the stopped engine threw: the item can resume.
        const Failure failure =
            token->isInterrupted() ? Failure::interrupted() : classifyDownloadError(error);
        cancelled = failure.isCancel || token->isInterrupted();  // no reason to come forward
        // A browser whose cookies could not be read is not kept: every later download would fail.
        if (failure.actions.contains(Failure::Action::forgetBrowserCookies)) setCookieBrowser({});
        item->setPhase(Phase::makeFailed(failure));
        if (cancelled) {
            const bool kept = token->isInterrupted();
            Log::write((kept ? QStringLiteral("已中断：") : QStringLiteral("已取消：")) +
                       item->linkText());
        } else {
            Log::write(QStringLiteral("下载失败：") + failure.title + QStringLiteral("（") +
                       item->linkText() + QStringLiteral("）"));
        }
        if (failure.actions.contains(Failure::Action(Failure::Action::loginYuanbao))) {
            m_yuanbao.setLoggedOut();
            if (!item->autoLoginShown) {
                // The login window opens by itself once per item; a completed login retries.
                item->autoLoginShown = true;
                releaseTask();
                reportActive();
                showYuanbaoLogin(item);
                co_return;
            }
        }
    }
    releaseTask();
    reportActive();
    if (!hasActive() && !cancelled) Q_EMIT showRequested();
}

// ---------------------------------------------------------------------------------------------
// Commands around the list

void DownloadManager::perform(const Failure::Action& action, const ItemPointer& item) {
    if (performOnDesktop(action, m_services, m_settings.tools, item->url())) return;
    switch (action.kind()) {
        case Failure::Action::useBrowserCookies:
        case Failure::Action::forgetBrowserCookies:  // no browser: the choice is cleared
            setCookieBrowser(action.browser());
            retry(item);
            break;
        case Failure::Action::resume:
            resume(item);
            break;
        case Failure::Action::retry:
        case Failure::Action::downloadAgain:
            retry(item);
            break;
        case Failure::Action::loginYuanbao:
            showYuanbaoLogin(item);
            break;
        case Failure::Action::updateTools:
            m_tools.update();
            break;
        default:
            break;  // done on the desktop above
    }
}

void DownloadManager::showYuanbaoLogin(const ItemPointer& thenRetry) {
    if (m_loginWindow) {
        m_loginWindow->show();  // keeps the completion it was opened with
        return;
    }
    if (!m_services.makeLoginWindow) return;
    std::shared_ptr<LoginWindow> window = m_services.makeLoginWindow();
    if (!window) return;
    QPointer<DownloadManager> self(this);
    window->onFinish = [self, thenRetry](bool loggedIn) {
        if (self) self->onLoginFinished(loggedIn, thenRetry);
    };
    m_loginWindow = window;
    window->show();
}

void DownloadManager::onLoginFinished(bool loggedIn, const ItemPointer& thenRetry) {
    // The window may be finishing from inside its own code: let it go once that has returned.
    if (auto finished = std::exchange(m_loginWindow, nullptr)) {
        QTimer::singleShot(0, this, [finished] {});
    }
    refreshStatus();
    if (loggedIn) {
        const auto snapshot = m_items;
        for (const ItemPointer& item : snapshot) {
            if (item->platform() == Platform::channels && offersLogin(item->phase())) retry(item);
        }
        // The item the window was opened for is retried only while the list still shows it: one
        // the user removed meanwhile stays gone.
        if (thenRetry && thenRetry->phase().kind() == Phase::failed && m_items.contains(thenRetry))
            retry(thenRetry);
    }
    Q_EMIT showRequested();
}

void DownloadManager::refreshStatus() {
    m_yuanbao.refresh();
    m_tools.refresh();
}

void DownloadManager::logoutYuanbao() {
    m_yuanbao.logout();
    m_tools.refresh();
}
