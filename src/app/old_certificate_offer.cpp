#include "app/old_certificate_offer.h"

#include "app/certificate_prompt.h"
#include "legacy/legacy.h"
#include "support/settings.h"

namespace OldCertificateOffer {

void run(bool fromMenu) {
    if (!Legacy::hasOldCertificate()) return;
    const CertificatePrompt::Answer answer = CertificatePrompt::ask(fromMenu);
    if (answer.suppress) Settings::setSkipOldCertPrompt(true);
    if (answer.remove) Legacy::removeOldCertificate();
}

}  // namespace OldCertificateOffer
