#pragma once

#include "legacy/legacy.h"

#include <QElapsedTimer>
#include <QObject>

#include <chrono>

// The start-up sequence after the single-instance check, in order: the previous edition's log
// is taken over, the folders are made, the start is logged; then, once a tray host is there (or
// the wait is over), trayReady() asks for the icon and the panel. The first run follows on a
// timer. The previous edition's leftovers and those of a killed run of ours are cleared when the
// owner asks, once the panel's first frame is out: they touch the disk and may start processes,
// so they run off the main thread and the start does not wait for them. The old certificate's
// prompt follows that clean-up (which may remove the certificate), on its timer from the start.
class StartUp : public QObject {
    Q_OBJECT

public:
    // How long to wait for a tray to appear before creating the icon anyway.
    static constexpr std::chrono::milliseconds kTrayWait{15000};
    static constexpr std::chrono::milliseconds kFirstRunDelay{500};
    static constexpr std::chrono::milliseconds kCertificateDelay{1200};

    // `legacy` undoes what the previous edition left, on this system's side unless a test
    // brings its own.
    explicit StartUp(Legacy::CleanUp legacy = {}, QObject* parent = nullptr);

    void run(std::chrono::milliseconds trayWait = kTrayWait);
    // Clears the leftovers off the main thread; leftoversCleared() follows. Once per run; a
    // second call does nothing.
    void clearLeftovers();

Q_SIGNALS:
    // Make the icon, the panel and the rest of the desktop side now.
    void trayReady();
    // After trayReady(), once the receivers of trayReady() have run: the start is complete.
    void started();
    // kFirstRunDelay after the start, the first time Quorvin runs for this user.
    void firstRunDue();
    // kCertificateDelay after the start, while the previous edition's certificate is still
    // there and the user has not put the prompt off for good.
    void oldCertificatePromptDue();
    // The leftovers are cleared.
    void leftoversCleared();

private:
    void finish();
    void offerCertificateInTime();

    Legacy::CleanUp m_legacy;
    QElapsedTimer m_sinceStart;
    bool m_clearing = false;
};
