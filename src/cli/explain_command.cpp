// quorvin-cli explain: what Quorvin would tell the user about a yt-dlp error output. Support
// pastes a user's error and sees the title, the advice and the remedies the row would offer.

#include "cli/command.h"
#include "core/platform.h"
#include "sites/ytdlp.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

// yt-dlp's standard error is kept to about 200,000 bytes while it runs; a paste far beyond that
// keeps its beginning and its end (where the decisive ERROR line is).
constexpr qsizetype kKeptBytes = 8 * 1024 * 1024;

QString rawValues(const QStringList& values) {
    return values.join(QStringLiteral(", "));
}

int usageError(const QString& message) {
    Cli::err(QStringLiteral("quorvin-cli explain: ") + message +
             QStringLiteral("\nusage: quorvin-cli explain --platform RAW [--browser RAW] [--json] "
                            "< error-output.txt\n"));
    return 2;
}

int runExplain(const QStringList& arguments) {
    std::optional<QString> platformRaw;
    std::optional<QString> browserRaw;
    bool json = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        auto value = [&](const QString& name) -> std::optional<QString> {
            if (argument.startsWith(name + QLatin1Char('='))) return argument.mid(name.size() + 1);
            if (argument == name && i + 1 < arguments.size()) return arguments[++i];
            return std::nullopt;
        };
        if (argument == u"--json") {
            json = true;
        } else if (argument.startsWith(QLatin1String("--platform"))) {
            platformRaw = value(QStringLiteral("--platform"));
            if (!platformRaw) return usageError(QStringLiteral("--platform needs a value"));
        } else if (argument.startsWith(QLatin1String("--browser"))) {
            browserRaw = value(QStringLiteral("--browser"));
            if (!browserRaw) return usageError(QStringLiteral("--browser needs a value"));
        } else {
            return usageError(QStringLiteral("unknown argument \"%1\"").arg(argument));
        }
    }

    QStringList platformValues;
    for (Platform platform : Platform::allCases()) platformValues << platform.rawValue();
    if (!platformRaw) {
        return usageError(
            QStringLiteral("--platform is required (one of: %1)").arg(rawValues(platformValues)));
    }
    const std::optional<Platform> platform = Platform::fromRawValue(*platformRaw);
    if (!platform) {
        return usageError(QStringLiteral("unknown platform \"%1\" (one of: %2)")
                              .arg(*platformRaw, rawValues(platformValues)));
    }
    std::optional<Browser> browser;
    if (browserRaw) {
        browser = Browser::fromRawValue(*browserRaw);
        if (!browser) {
            QStringList browserValues;
            for (Browser each : Browser::allCases()) browserValues << each.rawValue();
            return usageError(QStringLiteral("unknown browser \"%1\" (one of: %2)")
                                  .arg(*browserRaw, rawValues(browserValues)));
        }
    }

    QByteArray input = Cli::readStandardInput();
    if (input.size() > 2 * kKeptBytes) {
        input = input.left(kKeptBytes) + '\n' + input.right(kKeptBytes);
    }
    // Invalid UTF-8 becomes replacement characters, as in the runner.
    const Failure failure =
        YtDlp::failure(QString::fromUtf8(input), *platform, browser, Tools::Settings{});

    if (json) {
        QJsonArray actions;
        for (const Failure::Action& action : failure.actions) actions.append(action.key());
        // Keys in the documented order (title, advice, actions); a QJsonObject would sort them.
        const auto compact = [](const QJsonArray& array) {
            return QJsonDocument(array).toJson(QJsonDocument::Compact);
        };
        const QByteArray title = compact({failure.title}).chopped(1).mid(1);
        const QByteArray advice = compact({failure.advice}).chopped(1).mid(1);
        Cli::out(QString::fromUtf8("{\"title\":" + title + ",\"advice\":" + advice +
                                   ",\"actions\":" + compact(actions) + "}\n"));
        return 0;
    }
    QString text = failure.title + QLatin1Char('\n') + failure.advice + QLatin1Char('\n');
    for (const Failure::Action& action : failure.actions) text += action.key() + QLatin1Char('\n');
    Cli::out(text);
    return 0;
}

}  // namespace

QUORVIN_CLI_COMMAND(explain, "explain",
                    "explain --platform RAW [--browser RAW] [--json]   read a yt-dlp error output "
                    "on standard input; print the failure Quorvin would show (title, advice, one "
                    "action per line)",
                    runExplain)
