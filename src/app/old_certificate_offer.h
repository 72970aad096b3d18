#pragma once

#include "legacy/legacy.h"

// Offers to remove the trusted certificate the previous edition left behind, at launch
// (fromMenu false: the prompt can be put off for good) or from the panel's menu. Does nothing
// once the certificate is gone.
namespace OldCertificateOffer {

// `legacy` reaches the certificate through this system's trust store unless a test brings its
// own.
void run(bool fromMenu, Legacy::CleanUp legacy = {});

}  // namespace OldCertificateOffer
