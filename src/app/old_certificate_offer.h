#pragma once

// Offers to remove the trusted certificate the previous edition left behind, at launch
// (fromMenu false: the prompt can be put off for good) or from the panel's menu. Does nothing
// once the certificate is gone.
namespace OldCertificateOffer {

void run(bool fromMenu);

}  // namespace OldCertificateOffer
