#include "osutils/macos/mac_trust_store.h"

#include "support/app_paths.h"
#include "support/shell.h"

#include <utility>

namespace OsUtils {

MacTrustStore::MacTrustStore(Commands commands) : m_commands(std::move(commands)) {}

QString MacTrustStore::removalExplanation() const {
    return QStringLiteral(
        "旧版曾在你的登录钥匙串里信任过一张本机证书，建议移除。macOS 会弹窗请你输入登录密码。");
}

void MacTrustStore::removeTrust(const QString& certificateFile) {
    Shell::run(m_commands.security, {QStringLiteral("remove-trusted-cert"), certificateFile});

    // The certificate itself is found in the keychain by its SHA-1 fingerprint.
    const CommandResult fingerprintRun =
        Shell::run(m_commands.openssl, {QStringLiteral("x509"), QStringLiteral("-in"),
                                        certificateFile, QStringLiteral("-noout"),
                                        QStringLiteral("-fingerprint"), QStringLiteral("-sha1")});
    const QStringList pieces = fingerprintRun.output.split(u'=', Qt::SkipEmptyParts);
    const QString fingerprint =
        pieces.isEmpty() ? QString() : QString(pieces.last()).remove(u':').trimmed();
    if (fingerprint.isEmpty()) return;
    Shell::run(m_commands.security,
               {QStringLiteral("delete-certificate"), QStringLiteral("-Z"), fingerprint,
                AppPaths::home() + QStringLiteral("/Library/Keychains/login.keychain-db")});
}

std::optional<bool> MacTrustStore::stillTrusted(const QString& certificateFile) {
    const CommandResult verify = Shell::run(
        m_commands.security, {QStringLiteral("verify-cert"), QStringLiteral("-c"), certificateFile,
                              QStringLiteral("-p"), QStringLiteral("basic"), QStringLiteral("-l"),
                              QStringLiteral("-L"), QStringLiteral("-q")});
    // A check that could not even start says nothing about the trust.
    if (verify.status == -1) return std::nullopt;
    return verify.status == 0;
}

}  // namespace OsUtils
