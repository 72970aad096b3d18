#pragma once

#include <QString>
#include <QVariantMap>

#include <functional>
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

// The programs the clean-up runs; tests put recording stand-ins in their place.
struct Commands {
    QString networksetup = QStringLiteral("/usr/sbin/networksetup");
    QString security = QStringLiteral("/usr/bin/security");
    QString openssl = QStringLiteral("/usr/bin/openssl");
};
const Commands& commands();
void setCommandsForTesting(const Commands& replacement);

// The system configuration store's value under a key, when it is a dictionary. On Linux there
// is no such store and nothing is found; tests install their own lookup.
using DynamicStore = std::function<std::optional<QVariantMap>(const QString& key)>;
void setDynamicStoreForTesting(DynamicStore store);

QString sessionFile();      // "session.json" in the old support folder
QString certificateFile();  // "ca.pem"
QString keyFile();          // "ca.key"

// Moves the old log into place (unless a log exists) and deletes the old log folder.
void migrateLogs();
// Picks up an interrupted undo, undoes the proxy change, stops the old engine, deletes the
// old working files and the folder once it is empty.
void cleanUpSilently();
bool hasOldCertificate();
// Removes the old certificate's trust and the certificate itself; the system may ask the user
// for a password. Blocks until the commands end.
void removeOldCertificate();

}  // namespace Legacy
