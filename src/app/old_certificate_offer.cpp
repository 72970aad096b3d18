#include "app/old_certificate_offer.h"

#include "app/certificate_prompt.h"
#include "legacy/legacy.h"
#include "support/settings.h"

namespace OldCertificateOffer {

void run(bool fromMenu, Legacy::CleanUp legacy) {
    if (!legacy.hasOldCertificate()) return;
    const CertificatePrompt::Answer answer =
        CertificatePrompt::ask(fromMenu, legacy.removalExplanation());
    if (answer.suppress) Settings::setSkipOldCertPrompt(true);
    if (answer.remove) legacy.removeOldCertificate();
}

}  // namespace OldCertificateOffer
