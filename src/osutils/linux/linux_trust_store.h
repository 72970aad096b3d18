#pragma once

#include "osutils/trust_store.h"

namespace OsUtils {

// The previous edition had its certificate trusted only on the system it ran on, never in a
// Linux trust store: here the certificate is a leftover file that goes with the others, and no
// prompt is needed.
class LinuxTrustStore final : public TrustStore {
public:
    bool canHoldTrust() const override { return false; }
    QString removalExplanation() const override;
    void removeTrust(const QString&) override {}
    std::optional<bool> stillTrusted(const QString&) override { return false; }
};

}  // namespace OsUtils
