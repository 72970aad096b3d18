#include "cli/command.h"
#include "support/write_all.h"

#include <QList>

#include <unistd.h>
#include <cerrno>

namespace {

QList<CliCommand>& registry() {
    static QList<CliCommand> list;
    return list;
}

}  // namespace

namespace Cli {

void registerCommand(const CliCommand& command) {
    registry().append(command);
}
const QList<CliCommand>& commands() {
    return registry();
}

QByteArray readStandardInput() {
    QByteArray bytes;
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.append(buffer, n);
    }
    return bytes;
}

bool out(const QString& text) {
    return writeAll(STDOUT_FILENO, text.toUtf8());
}
bool err(const QString& text) {
    return writeAll(STDERR_FILENO, text.toUtf8());
}

}  // namespace Cli
