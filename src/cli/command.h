#pragma once

#include <QStringList>

// A subcommand of quorvin-cli. Each lives in its own file and registers itself with
// QUORVIN_CLI_COMMAND, so adding one touches nothing else.
struct CliCommand {
    const char* name;
    const char* usage;                         // one line for the help text
    int (*run)(const QStringList& arguments);  // arguments after the subcommand's name
};

namespace Cli {

void registerCommand(const CliCommand& command);
const QList<CliCommand>& commands();

// Everything on standard input, as bytes.
QByteArray readStandardInput();
// Writes UTF-8 text to standard output or standard error, unbuffered. False when the stream
// refuses it (its reader has gone).
bool out(const QString& text);
bool err(const QString& text);

}  // namespace Cli

#define QUORVIN_CLI_COMMAND(identifier, ...)           \
    namespace {                                        \
    const bool identifier##Registered = [] {           \
        Cli::registerCommand(CliCommand{__VA_ARGS__}); \
        return true;                                   \
    }();                                               \
    }
