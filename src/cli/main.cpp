// quorvin-cli: Quorvin's engines without a display, for support, scripts and tests.

#include "cli/command.h"
#include "support/names.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

void printUsage() {
    QList<CliCommand> list = Cli::commands();
    std::sort(list.begin(), list.end(),
              [](const CliCommand& a, const CliCommand& b) { return qstrcmp(a.name, b.name) < 0; });
    QString text = QStringLiteral("Usage: quorvin-cli <command> [options]\n\nCommands:\n");
    for (const CliCommand& command : list) {
        text += QStringLiteral("  ") + QString::fromUtf8(command.usage) + QLatin1Char('\n');
    }
    Cli::err(text);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(Names::app());
    QCoreApplication::setOrganizationName(Names::app());
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVIN_VERSION));

    QStringList arguments = QCoreApplication::arguments().mid(1);
    if (arguments.isEmpty() || arguments.first() == u"--help" || arguments.first() == u"-h") {
        printUsage();
        return arguments.isEmpty() ? 2 : 0;
    }
    if (arguments.first() == u"--version") {
        Cli::out(QStringLiteral("quorvin-cli " QUORVIN_VERSION "\n"));
        return 0;
    }
    const QString name = arguments.takeFirst();
    for (const CliCommand& command : Cli::commands()) {
        if (name == QString::fromUtf8(command.name)) return command.run(arguments);
    }
    Cli::err(QStringLiteral("quorvin-cli: unknown command \"%1\"\n\n").arg(name));
    printUsage();
    return 2;
}
