#include "app/start_up.h"

#include "app/tray_host.h"
#include "legacy/legacy.h"
#include "support/app_paths.h"
#include "support/log.h"
#include "support/settings.h"
#include "support/temp_files.h"

#include <QTimer>

StartUp::StartUp(Legacy::CleanUp legacy, QObject* parent) : QObject(parent), m_legacy(legacy) {}

void StartUp::run(std::chrono::milliseconds trayWait) {
    Legacy::migrateLogs();
    AppPaths::ensureDirectories();
    const QString version = QStringLiteral(QUORVIN_VERSION);
    Log::write(QStringLiteral("App 启动（") + (version.isEmpty() ? QStringLiteral("?") : version) +
               QStringLiteral("）"));
    m_legacy.cleanUpSilently();
    // What a killed run of ours left in the temporary folder or half-copied onto the Desktop.
    TempFiles::removeLeftovers();
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
    if (m_legacy.hasOldCertificate() && !Settings::skipOldCertPrompt()) {
        QTimer::singleShot(kCertificateDelay, this, &StartUp::oldCertificatePromptDue);
    }
    Q_EMIT started();
}
