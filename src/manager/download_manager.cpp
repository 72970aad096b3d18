#include "manager/download_manager.h"

#include "channels/file_download.h"
#include "channels/save.h"
#include "channels/video_info.h"
#include "channels/yuanbao.h"
#include "core/background.h"
#include "core/speed_meter.h"
#include "net/net.h"
#include "net/problem.h"
#include "sites/tools.h"
#include "sites/ytdlp.h"
#include "support/app_paths.h"
#include "support/log.h"

#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

namespace {

bool offersLogin(const Phase& phase) {
    return phase.kind() == Phase::failed &&
           phase.failure().actions.contains(Failure::Action(Failure::Action::loginYuanbao));
}

// Work that must not block the main thread, its result stored back there if the manager
// still exists.
template <typename Work, typename Store>
QCoro::Task<> inBackground(QPointer<DownloadManager> manager, Work work, Store store) {
    const auto result = co_await offMainThread(work);
    if (manager) store(manager.data(), result);
}

}  // namespace

Failure classifyDownloadError(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const Failure& failure) {
        return failure;
    } catch (const Problem& problem) {
        return problem.failure();
    } catch (...) {
        return Net::problem(error, QStringLiteral("网络")).failure();
    }
}

DownloadManager::DownloadManager(DesktopServices services, QObject* parent)
    : QObject(parent), m_services(std::move(services)), m_cookieBrowser(Browser::preferred()) {}

DownloadManager::~DownloadManager() {
    // Running downloads stop; their tasks see that the manager is gone and touch nothing.
    const auto items = m_items;
    for (const auto& item : items) {
        if (item->task) item->task->cancel();
    }
}

QString DownloadManager::absoluteString(const QUrl& url) {
    return url.toString(QUrl::FullyEncoded);
}

void DownloadManager::setInput(const QString& text) {
    std::optional<Detected> detected;
    if (const auto url = Platform::firstURL(text))
        detected = Detected{*url, Platform::detect(*url)};
    const bool inputChanges = text != m_input;
    const bool detectedChanges = detected != m_detected;
    m_input = text;
    m_detected = detected;
    if (inputChanges) Q_EMIT inputChanged();
    if (detectedChanges) Q_EMIT detectedChanged();
}

void DownloadManager::setCookieBrowser(std::optional<Browser> browser) {
    Browser::setPreferred(browser);
    if (browser == m_cookieBrowser) return;
    m_cookieBrowser = browser;
    Q_EMIT cookieBrowserChanged();
}

bool DownloadManager::hasActive() const {
    return std::any_of(m_items.begin(), m_items.end(),
                       [](const ItemPointer& item) { return item->isActive(); });
}

bool DownloadManager::hasFinished() const {
    return std::any_of(m_items.begin(), m_items.end(),
                       [](const ItemPointer& item) { return item->isFinished(); });
}

bool DownloadManager::needsYuanbaoLogin() const {
    return m_detected && m_detected->platform == Platform::channels &&
           m_yuanbaoLoggedIn == std::optional<bool>(false);
}

void DownloadManager::submit() {
    if (!m_detected) return;
    const Detected target = *m_detected;
    setInput(QString());
    for (const ItemPointer& item : m_items) {
        if (item->url() == target.url && item->isActive()) {
            moveToTop(item);  // already running: brought forward, not restarted
            return;
        }
    }
    auto item = std::make_shared<DownloadItem>(target.url, target.platform);
    m_items.prepend(item);
    Q_EMIT itemsChanged();
    run(item);
}

void DownloadManager::moveToTop(const ItemPointer& item) {
    m_items.removeIf([&](const ItemPointer& other) { return other == item; });
    m_items.prepend(item);
    Q_EMIT itemsChanged();
}

void DownloadManager::retry(const ItemPointer& item) {
    if (!item || item->isActive()) return;
    moveToTop(item);
    run(item);
}

void DownloadManager::cancel(const ItemPointer& item) {
    if (item && item->task) item->task->cancel();
}

void DownloadManager::remove(const ItemPointer& item) {
    if (!item) return;
    cancel(item);
    if (m_items.removeIf([&](const ItemPointer& other) { return other == item; }) > 0) {
        Q_EMIT itemsChanged();
    }
}

void DownloadManager::clearFinished() {
    if (m_items.removeIf([](const ItemPointer& item) { return item->isFinished(); }) > 0) {
        Q_EMIT itemsChanged();
    }
}

void DownloadManager::cancelAll() {
    const auto items = m_items;  // cancelling may resume a run synchronously
    for (const auto& item : items) {
        if (item->isActive()) cancel(item);
    }
}

void DownloadManager::reportActive() {
    if (onActiveChange) onActiveChange(hasActive());
}

void DownloadManager::run(const ItemPointer& item) {
    item->setPhase(Phase::makeWorking(QStringLiteral("正在解析链接…")));
    if (onActiveChange) onActiveChange(true);
    Log::write(QStringLiteral("开始下载：[") + item->platform().name() + QStringLiteral("] ") +
               absoluteString(item->url()));
    auto token = CancelToken::make();
    item->task = token;
    // The task runs on by itself and frees itself when it ends; the item's token is its handle.
    runTask(item, token);
}

QCoro::Task<> DownloadManager::runTask(ItemPointer item, std::shared_ptr<CancelToken> token) {
    QPointer<DownloadManager> self(this);
    QString file;
    std::exception_ptr error;
    try {
        if (item->platform() != Platform::channels) {
            const std::optional<Browser> browser = m_cookieBrowser;  // read at task start
            DownloadItem* const target = item.get();
            file = co_await YtDlp::download(target, browser, token);
        } else {
            file = co_await downloadChannels(item, token);
        }
    } catch (...) {
        error = std::current_exception();
    }
    if (!self) co_return;

    const auto releaseTask = [&] {
        if (item->task == token) item->task.reset();
    };
    bool cancelled = false;
    if (!error) {
        const QFileInfo info(file);
        item->setPhase(Phase::makeDone(file, info.exists() ? info.size() : 0));
        Log::write(QStringLiteral("下载完成：") + info.fileName());
    } else {
        const Failure failure = classifyDownloadError(error);
        cancelled = failure.isCancel;
        item->setPhase(Phase::makeFailed(failure));
        if (cancelled) {
            Log::write(QStringLiteral("已取消：") + absoluteString(item->url()));
        } else {
            Log::write(QStringLiteral("下载失败：") + failure.title + QStringLiteral("（") +
                       absoluteString(item->url()) + QStringLiteral("）"));
        }
        if (failure.actions.contains(Failure::Action(Failure::Action::loginYuanbao))) {
            setYuanbaoLoggedIn(false);
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
    if (!hasActive() && !cancelled && requestShow) requestShow();
}

QCoro::Task<QString> DownloadManager::downloadChannels(ItemPointer item,
                                                       std::shared_ptr<CancelToken> token) {
    // Arguments of the awaited calls are named first (see offMainThread about g++ 12).
    const QString shareURL = absoluteString(item->url());
    const Yuanbao::ParseResult parsed = co_await Yuanbao::parse(shareURL, token);
    token->throwIfCancelled();
    item->setPhase(Phase::makeWorking(QStringLiteral("正在获取视频信息…")));

    const ChannelsVideo video = co_await Channels::videoInfo(parsed.token, parsed.exportId, token);
    token->throwIfCancelled();
    const QString name = video.suggestedFilename();
    item->setTitle(name.chopped(QStringLiteral(".mp4").size()));
    item->setThumbnail(video.coverURL);
    item->setPhase(Phase::makeDownloading(std::nullopt, QStringLiteral("开始下载…")));

    auto meter = std::make_shared<SpeedMeter>();
    // Progress arrives on the main thread; a report after the item has ended is dropped.
    FileDownload download([item, meter](qint64 written, qint64 total) {
        if (!item->isActive()) return;
        const std::optional<double> fraction =
            total >= 1 ? std::optional<double>(double(written) / double(total)) : std::nullopt;
        item->setPhase(Phase::makeDownloading(fraction, meter->text(written, total)));
    });
    const QUrl videoURL = video.videoURL;
    const FileDownload::Result transfer = co_await download.run(videoURL, token);
    if (token->isCancelled()) {
        QFile::remove(transfer.file);  // nobody will save it now
        throw Failure::cancelled();
    }
    // A move across file systems copies the whole file: never on the main thread. A cancel
    // during the copy stops it and leaves nothing; once the file is in place it is saved.
    const auto save = [transfer, name, token] {
        return Channels::save(transfer.file, transfer.response, name,
                              [token] { return token->isCancelled(); });
    };
    const QString saved = co_await offMainThread(save);
    co_return saved;
}

// ---------------------------------------------------------------------------------------------
// Commands around the list

void DownloadManager::prepareForShow() {
    refreshStatus();
    const std::optional<QString> clipboard =
        m_services.clipboard ? m_services.clipboard->text() : std::nullopt;
    if (clipboard) {
        if (const auto url = Platform::firstURL(*clipboard)) {
            const QString link = absoluteString(*url);
            const bool downloading =
                std::any_of(m_items.begin(), m_items.end(), [&](const ItemPointer& item) {
                    return item->isActive() && absoluteString(item->url()) == link;
                });
            // The same clipboard link fills the field once: a field the user cleared stays so.
            if (link != m_lastAutofill && !downloading) {
                setInput(link);
                m_lastAutofill = link;
            }
        }
    }
    ++m_focusTick;
    Q_EMIT focusTickChanged();
}

void DownloadManager::pasteFromClipboard() {
    const std::optional<QString> clipboard =
        m_services.clipboard ? m_services.clipboard->text() : std::nullopt;
    if (!clipboard) return;
    if (const auto url = Platform::firstURL(*clipboard)) {
        setInput(absoluteString(*url));
    } else {
        setInput(clipboard->trimmed());
    }
}

void DownloadManager::perform(const Failure::Action& action, const ItemPointer& item) {
    switch (action.kind()) {
        case Failure::Action::useBrowserCookies:
            setCookieBrowser(action.browser());
            retry(item);
            break;
        case Failure::Action::retry:
            retry(item);
            break;
        case Failure::Action::loginYuanbao:
            showYuanbaoLogin(item);
            break;
        case Failure::Action::openDesktopPrivacy:
            if (m_services.workspace) {
                m_services.workspace->openSettingsPane(Workspace::Pane::filesAndFolders);
            }
            break;
        case Failure::Action::openFullDiskAccess:
            if (m_services.workspace) {
                m_services.workspace->openSettingsPane(Workspace::Pane::fullDiskAccess);
            }
            break;
        case Failure::Action::updateTools:
            updateTools();
            break;
        case Failure::Action::copyInstallCommand:
            if (m_services.clipboard) m_services.clipboard->setText(Tools::installCommand());
            break;
        case Failure::Action::openLogs:
            if (m_services.workspace) {
                m_services.workspace->openURL(QUrl::fromLocalFile(AppPaths::logs()));
            }
            break;
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
    if (requestShow) requestShow();
}

void DownloadManager::refreshStatus() {
    const Yuanbao::LoginState state = Yuanbao::loginState();
    if (state.isLoggedIn()) {
        setYuanbaoLoggedIn(true);
        setYuanbaoUntil(state.until);
    } else {
        setYuanbaoLoggedIn(false);
        setYuanbaoUntil(std::nullopt);
    }
    inBackground(
        this, [] { return Tools::statusText(); },
        [](DownloadManager* manager, const QString& status) { manager->setToolsStatus(status); });
}

void DownloadManager::logoutYuanbao() {
    Yuanbao::logout();
    refreshStatus();
}

void DownloadManager::updateTools() {
    if (m_updatingTools) return;
    setUpdatingTools(true);
    setToolsStatus(QStringLiteral("正在更新 yt-dlp…"));
    inBackground(
        this, [] { return Tools::update(); },
        [](DownloadManager* manager, const QString& result) {
            manager->setUpdatingTools(false);
            manager->setToolsStatus(result);
            Log::write(QStringLiteral("更新下载组件：") + result);
        });
}

void DownloadManager::setYuanbaoLoggedIn(std::optional<bool> value) {
    if (value == m_yuanbaoLoggedIn) return;
    m_yuanbaoLoggedIn = value;
    Q_EMIT yuanbaoLoggedInChanged();
}

void DownloadManager::setYuanbaoUntil(std::optional<QDateTime> value) {
    if (value == m_yuanbaoUntil) return;
    m_yuanbaoUntil = value;
    Q_EMIT yuanbaoUntilChanged();
}

void DownloadManager::setToolsStatus(const QString& status) {
    if (status == m_toolsStatus) return;
    m_toolsStatus = status;
    Q_EMIT toolsStatusChanged();
}

void DownloadManager::setUpdatingTools(bool updating) {
    if (updating == m_updatingTools) return;
    m_updatingTools = updating;
    Q_EMIT updatingToolsChanged();
}
