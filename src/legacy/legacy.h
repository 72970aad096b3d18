#pragma once

#include "osutils/proxy_store.h"
#include "osutils/trust_store.h"

#include <QString>

#include <optional>

// Removes what the previous edition (Pellimor) left behind: its log, the automatic proxy
// setting it pointed at its local engine, the engine process, its working files and, when the
// user agrees, its trusted certificate. Every step is best effort and silent; only successes
// and one refusal reach the log.
namespace Legacy {

// The previous edition's record of the system changes it made ("session.json").
struct Session {
    qint32 enginePID = 0;
    QString enginePath;
    QString serviceID;
    QString serviceName;
    bool priorPACEnabled = false;
    QString priorPACURL;
    QString ourPACURL;

    // nullopt unless the text is a JSON object holding every key with the right type.
    static std::optional<Session> decode(const QByteArray& json);
};

QString sessionFile();      // "session.json" in the old support folder
QString certificateFile();  // "ca.pem"
QString keyFile();          // "ca.key"

// Moves the old log into place (unless a log exists) and deletes the old log folder.
void migrateLogs();

// Undoes what the previous edition changed in the system, through this system's proxy settings
// and trust store (tests bring their own).
class CleanUp {
public:
    CleanUp();  // this system's side
    CleanUp(OsUtils::ProxyStore& proxies, OsUtils::TrustStore& trust);

    // Picks up an interrupted undo, undoes the proxy change, stops the old engine, deletes the
    // old working files and the folder once it is empty.
    void cleanUpSilently();
    // The certificate is there and the system can still hold its trust.
    bool hasOldCertificate() const;
    // What removing it involves here, for the prompt that asks first.
    QString removalExplanation() const { return m_trust->removalExplanation(); }
    // Removes the old certificate's trust and the certificate itself; the system may ask the
    // user for a password. Blocks until the commands end.
    void removeOldCertificate();

private:
    void undoProxy(const Session& session);

    OsUtils::ProxyStore* m_proxies;
    OsUtils::TrustStore* m_trust;
};

// The same on this system's side.
inline void cleanUpSilently() {
    CleanUp().cleanUpSilently();
}
inline bool hasOldCertificate() {
    return CleanUp().hasOldCertificate();
}

}  // namespace Legacy
