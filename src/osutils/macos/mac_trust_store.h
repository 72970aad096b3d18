#pragma once

#include "osutils/trust_store.h"

namespace OsUtils {

// The user's login keychain, where the previous edition had its certificate trusted. The
// keychain is changed with the system's own tools, which ask for the login password themselves.
class MacTrustStore final : public TrustStore {
public:
    struct Commands {
        QString security = QStringLiteral("/usr/bin/security");
        QString openssl = QStringLiteral("/usr/bin/openssl");
    };

    explicit MacTrustStore(Commands commands = {});
    bool canHoldTrust() const override { return true; }
    QString removalExplanation() const override;
    void removeTrust(const QString& certificateFile) override;
    std::optional<bool> stillTrusted(const QString& certificateFile) override;

private:
    Commands m_commands;
};

}  // namespace OsUtils
