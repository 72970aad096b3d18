#pragma once

#include <QString>

#include <optional>

namespace OsUtils {

// The store of certificates the user trusts, where the previous edition had its own certificate
// trusted. Removing that trust is the user's decision, so it is asked for first.
class TrustStore {
public:
    virtual ~TrustStore() = default;
    // Whether this system can hold the trust the previous edition gave its certificate. Where it
    // cannot, the certificate is a mere leftover file and there is nothing to ask about.
    virtual bool canHoldTrust() const = 0;
    // What removing involves here, said to the user under the prompt's first paragraph.
    virtual QString removalExplanation() const = 0;
    // Removes the certificate's trust and the certificate from the store. The system may ask the
    // user for a password; this blocks until it is answered.
    virtual void removeTrust(const QString& certificateFile) = 0;
    // Whether the system still trusts the certificate; nullopt when the check could not run.
    virtual std::optional<bool> stillTrusted(const QString& certificateFile) = 0;
};

}  // namespace OsUtils
