// The login keychain's side of the old certificate's removal: the system's own tools with the
// command lines they expect. Only the Apple build has that side.
#ifdef Q_OS_MACOS

#include "common/test_support.h"
#include "legacy/legacy.h"
#include "osutils/macos/mac_trust_store.h"
#include "support/app_paths.h"

#include <gtest/gtest.h>

#include <QFile>

namespace {

// A stand-in for a tool: appends its name and arguments, one call per line, to calls.txt, then
// runs `body`.
QString tool(const QString& name, const QByteArray& body) {
    const QString bin = TestSupport::home() + QStringLiteral("/bin");
    const QString path = bin + u'/' + name;
    TestSupport::writeFile(path, "#!/bin/sh\necho \"" + name.toUtf8() +
                                     " $*\" >> \"$(dirname \"$0\")/calls.txt\"\n" + body);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

QStringList calls() {
    QFile file(TestSupport::home() + QStringLiteral("/bin/calls.txt"));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

}  // namespace

TEST(MacKeychain, RemovesTheTrustAndTheCertificateByItsFingerprint) {
    OsUtils::MacTrustStore store(
        {tool(QStringLiteral("security"), "[ \"$1\" = verify-cert ] && exit 0\nexit 1\n"),
         tool(QStringLiteral("openssl"), "echo 'SHA1 Fingerprint=AB:CD:EF:01'\n")});
    const QString pem = Legacy::certificateFile();
    store.removeTrust(pem);
    EXPECT_EQ(store.stillTrusted(pem), std::optional<bool>(true));
    const QString keychain =
        AppPaths::home() + QStringLiteral("/Library/Keychains/login.keychain-db");
    EXPECT_EQ(calls(),
              (QStringList{QStringLiteral("security remove-trusted-cert ") + pem,
                           QStringLiteral("openssl x509 -in ") + pem +
                               QStringLiteral(" -noout -fingerprint -sha1"),
                           QStringLiteral("security delete-certificate -Z ABCDEF01 ") + keychain,
                           QStringLiteral("security verify-cert -c ") + pem +
                               QStringLiteral(" -p basic -l -L -q")}));
}

TEST(MacKeychain, AMissingSecurityToolSaysNothingAboutTheTrust) {
    OsUtils::MacTrustStore store({TestSupport::home() + QStringLiteral("/no/such/security"),
                                  QStringLiteral("/usr/bin/openssl")});
    EXPECT_FALSE(store.stillTrusted(Legacy::certificateFile()).has_value());
}

#endif
