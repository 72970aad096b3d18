#include "app/start_up.h"

#include "app/tray_host.h"
#include "core/background.h"
#include "legacy/legacy.h"
#include "support/app_paths.h"
#include "support/log.h"
#include "support/settings.h"
#include "support/startup_trace.h"
#include "support/temp_files.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>

StartUp::StartUp(Legacy::CleanUp legacy, QObject* parent) : QObject(parent), m_legacy(legacy) {}

void StartUp::run(std::chrono::milliseconds trayWait) {
    Legacy::migrateLogs();
    AppPaths::ensureDirectories();
    const QString version = QStringLiteral(QUORVIN_VERSION);
    Log::write(QStringLiteral("App 启动（") + (version.isEmpty() ? QStringLiteral("?") : version) +
               QStringLiteral("）"));
    StartupTrace::mark("log taken over, folders made, start logged");
    // There is no global main menu on Linux: its keys live in the panel window (Ctrl+Q, Ctrl+H,
    // Escape) and in the paste field (undo, cut, copy, paste, select all).

    auto* wait = new TrayHostWait(trayWait, this);
    connect(wait, &TrayHostWait::ready, this, [this, wait] {
        wait->deleteLater();
        finish();
    });
    wait->start();
}

void StartUp::finish() {
    Q_EMIT trayReady();
    if (!Settings::firstRunShown()) {
        Settings::setFirstRunShown(true);
        QTimer::singleShot(kFirstRunDelay, this, &StartUp::firstRunDue);
    }
    m_sinceStart.start();
    Q_EMIT started();
}

void StartUp::clearLeftovers() {
    if (m_clearing) return;
    m_clearing = true;
    StartupTrace::mark("leftovers: clearing");
    const auto clear = [legacy = m_legacy] {
        Legacy::CleanUp(legacy).cleanUpSilently();
        // What a killed run of ours left in the temporary folder or half-copied onto the
        // Desktop.
        TempFiles::removeLeftovers();
    };
    [](QPointer<StartUp> self, auto work) -> QCoro::Task<> {
        co_await offMainThread(work);
        if (!self) co_return;
        StartupTrace::mark("leftovers: cleared");
        Q_EMIT self->leftoversCleared();
        self->offerCertificateInTime();
    }(this, clear);
}

void StartUp::offerCertificateInTime() {
    if (!m_legacy.hasOldCertificate() || Settings::skipOldCertPrompt()) return;
    const auto since =
        std::chrono::milliseconds(m_sinceStart.isValid() ? m_sinceStart.elapsed() : 0);
    QTimer::singleShot(std::max(kCertificateDelay - since, std::chrono::milliseconds(0)), this,
                       &StartUp::oldCertificatePromptDue);
}
