#pragma once

#include <QString>

// Asks whether to remove the trusted certificate the previous edition left behind. At launch
// the user may put it off for good (a check box); from the panel's menu there is no check box.
namespace CertificatePrompt {

struct Answer {
    bool remove = false;
    bool suppress = false;  // "不再提醒" was ticked
};

// Runs the dialog modally and returns the choice. `explanation` says what removing involves on
// this system (the trust store's own words).
Answer ask(bool fromMenu, const QString& explanation);

}  // namespace CertificatePrompt
