// quorvin-cli detect: what Quorvin makes of a pasted text.

#include "cli/command.h"
#include "core/platform.h"

namespace {

int runDetect(const QStringList& arguments) {
    if (!arguments.isEmpty()) {
        Cli::err(
            QStringLiteral("quorvin-cli detect: takes no arguments; paste the text on "
                           "standard input\n"));
        return 2;
    }
    // Invalid UTF-8 turns into replacement characters, which end a link like any other symbol.
    const QString text = QString::fromUtf8(Cli::readStandardInput());
    const std::optional<QUrl> url = Platform::firstURL(text);
    if (!url) {
        Cli::out(QStringLiteral("\n"));
        return 0;
    }
    Cli::out(url->toString(QUrl::FullyEncoded) + QLatin1Char('\t') +
             Platform::detect(*url).rawValue() + QLatin1Char('\n'));
    return 0;
}

}  // namespace

QUORVIN_CLI_COMMAND(detect, "detect",
                    "detect            read a pasted text on standard input; print "
                    "the link and its platform, tab-separated (empty line: no link)",
                    runDetect)
