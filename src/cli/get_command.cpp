// quorvin-cli get: downloads links through the same manager as the tray app, without a display.

#include "cli/command.h"
#include "manager/download_manager.h"
#include "support/safe_text.h"
#include "support/temp_files.h"
#include "support/termination_signals.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHash>
#include <QObject>

#include <functional>

#include <unistd.h>
#include <csignal>

namespace {

constexpr qint64 kPlainProgressIntervalMs = 1000;

QString phaseText(const Phase& phase) {
    switch (phase.kind()) {
        case Phase::working:
        case Phase::downloading:
            return phase.text();
        case Phase::done:
            return QStringLiteral("完成：") + phase.file();
        case Phase::failed:
            return QStringLiteral("失败：") + phase.failure().title;
    }
    return {};
}

// Shows every item's phase as it changes: on a terminal one live line per item, redrawn in
// place; otherwise plain lines, with progress at most once a second per item.
class GetSession : public QObject {
public:
    // `outputLost` runs once when standard output stops taking what is written to it.
    GetSession(DownloadManager& manager, bool live, std::function<void()> outputLost)
        : m_manager(manager), m_live(live), m_outputLost(std::move(outputLost)) {}

    void track(const DownloadManager::ItemPointer& item) {
        if (!item || m_order.contains(item)) return;
        m_order.append(item);
        connect(item.get(), &DownloadItem::phaseChanged, this, [this, item] { show(item); });
        connect(item.get(), &DownloadItem::titleChanged, this, [this, item] { show(item); });
        show(item);
    }

    bool allFinished() const {
        return std::all_of(m_order.begin(), m_order.end(),
                           [](const auto& item) { return item->isFinished(); });
    }

    const QList<DownloadManager::ItemPointer>& items() const { return m_order; }

private:
    // Titles and file names come from the site: printed raw they could drive the terminal.
    QString line(const DownloadManager::ItemPointer& item) const {
        return QStringLiteral("[%1] %2 · %3")
            .arg(item->platform().name(), SafeText::forTerminal(item->title()),
                 SafeText::forTerminal(phaseText(item->phase())));
    }

    void show(const DownloadManager::ItemPointer& item) {
        if (m_live) {
            redraw();
            return;
        }
        const Phase& phase = item->phase();
        auto& timer = m_lastPrinted[item.get()];
        const bool progress = phase.kind() == Phase::downloading && phase.fraction().has_value();
        if (progress && timer.isValid() && timer.elapsed() < kPlainProgressIntervalMs) return;
        timer.start();
        const QString text = line(item);
        if (text == m_lastLine.value(item.get())) return;
        m_lastLine[item.get()] = text;
        write(text + QLatin1Char('\n'));
    }

    void write(const QString& text) {
        if (m_lost || Cli::out(text)) return;
        m_lost = true;
        if (m_outputLost) m_outputLost();
    }

    void redraw() {
        QString text;
        if (m_drawnLines > 0) text += QStringLiteral("\x1b[%1A").arg(m_drawnLines);
        for (const auto& item : m_order) text += QStringLiteral("\r\x1b[2K") + line(item) + u'\n';
        m_drawnLines = int(m_order.size());
        write(text);
    }

    DownloadManager& m_manager;
    const bool m_live;
    QList<DownloadManager::ItemPointer> m_order;  // in submission order
    QHash<const DownloadItem*, QElapsedTimer> m_lastPrinted;
    QHash<const DownloadItem*, QString> m_lastLine;
    int m_drawnLines = 0;
    std::function<void()> m_outputLost;
    bool m_lost = false;
};

int runGet(const QStringList& arguments) {
    QStringList texts;
    for (const QString& argument : arguments) {
        if (argument == u"-h" || argument == u"--help") {
            Cli::out(QStringLiteral(
                "Usage: quorvin-cli get [LINK…]\n"
                "Downloads each link (or the share text on standard input) to the Desktop.\n"
                "Ctrl-C cancels every download and removes what they left.\n"));
            return 0;
        }
        texts.append(argument);
    }
    if (texts.isEmpty()) texts.append(QString::fromUtf8(Cli::readStandardInput()));

    // Leftovers of a run that was killed; files of live runs are leased and stay.
    TempFiles::removeLeftovers();

    DownloadManager manager(DesktopServices{}, YtDlp::Settings{});
    // Stopping is in place before the first download starts: a signal at any moment cancels
    // what has started and starts nothing more, and every download cleans up after itself.
    int stopSignal = 0;
    TerminationSignals terminations;
    auto stop = [&](int number) {
        if (stopSignal != 0) return;
        stopSignal = number;
        Cli::err(QStringLiteral("\n正在取消…\n"));
        manager.cancelAll();
    };
    QObject::connect(&terminations, &TerminationSignals::received, &manager, stop);
    // A reader that went away (`get … | head -1`) ends the run the same orderly way: the write
    // fails with EPIPE (SIGPIPE is ignored) instead of the signal killing the program mid-run.
    ::signal(SIGPIPE, SIG_IGN);
    // Deferred: the failed write happens inside an item's change notification.
    GetSession session(manager, ::isatty(STDOUT_FILENO) == 1, [&] {
        QMetaObject::invokeMethod(
            &manager, [&] { stop(SIGPIPE); }, Qt::QueuedConnection);
    });

    // A program that drives this one (the tests) learns when a signal will be handled in order
    // rather than end the process; users never see the line.
    if (qEnvironmentVariableIsSet("QUORVIN_READY_LINE")) Cli::err(QStringLiteral("ready\n"));

    int badInput = 0;
    for (const QString& text : texts) {
        // Delivers a signal that arrived while the previous download was starting.
        QCoreApplication::processEvents();
        if (stopSignal != 0) break;
        const std::optional<QUrl> link = Platform::firstURL(text);
        if (!link) {
            Cli::err(QStringLiteral("quorvin-cli get: 没有找到链接：%1\n")
                         .arg(SafeText::forTerminal(
                             SafeText::withoutUserInfo(text.trimmed().left(200)))));
            ++badInput;
            continue;
        }
        session.track(manager.submit(*link, Platform::detect(*link)));
    }
    if (session.items().isEmpty()) return stopSignal != 0 ? 128 + stopSignal : 2;

    // Wakes the loop whenever an item finishes, so the end is noticed at once.
    QEventLoop loop;
    for (const auto& item : session.items()) {
        QObject::connect(item.get(), &DownloadItem::phaseChanged, &loop, [&] {
            if (session.allFinished()) loop.quit();
        });
    }
    if (!session.allFinished()) loop.exec();

    int failed = badInput;
    for (const auto& item : session.items()) {
        const Phase& phase = item->phase();
        if (phase.kind() == Phase::done) {
            Cli::out(QStringLiteral("已保存：") + SafeText::forTerminal(phase.file()) + u'\n');
            continue;
        }
        ++failed;
        const Failure& failure = phase.failure();
        if (failure.isCancel) continue;
        // The advice may quote the tool's error output: each of its lines made printable.
        QStringList advice = failure.advice.split(u'\n');
        for (QString& adviceLine : advice) adviceLine = SafeText::forTerminal(adviceLine);
        QString message = QStringLiteral("%1：%2\n")
                              .arg(SafeText::forTerminal(failure.title), advice.join(u'\n'));
        if (failure.actions.contains(Failure::Action(Failure::Action::loginYuanbao))) {
            message += QStringLiteral(
                "登录方法：打开 "
                "Quorvin，在面板的「⋯」菜单里选择登录元宝并扫码，然后再运行这条命令。\n");
        }
        const QString link = SafeText::withoutUserInfo(item->linkText());
        Cli::err(QStringLiteral("[%1] ").arg(SafeText::forTerminal(link)) + message);
    }
    if (stopSignal != 0) return 128 + stopSignal;
    return failed > 0 ? 1 : 0;
}

}  // namespace

QUORVIN_CLI_COMMAND(get, "get",
                    "get [LINK…]       download links (or a share text on standard input) "
                    "to the Desktop, showing progress",
                    runGet)
