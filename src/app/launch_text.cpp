#include "app/launch_text.h"

#include "core/link_handoff.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

namespace LaunchText {

namespace {

// Standard input as a pipe or a file: what a text can come from.
std::optional<bool> stdinIsPipe() {
    struct stat info {};
    if (::fstat(STDIN_FILENO, &info) != 0) return std::nullopt;
    if (S_ISFIFO(info.st_mode)) return true;
    if (S_ISREG(info.st_mode)) return false;
    return std::nullopt;
}

// A pipe may belong to a launcher that never writes to it nor closes it: only what arrives
// without a pause is read, so such a launch starts all the same.
constexpr int kPipePauseMs = 50;

bool moreArrives(bool isPipe) {
    if (!isPipe) return true;
    pollfd waiting{STDIN_FILENO, POLLIN, 0};
    int ready = 0;
    do {
        ready = ::poll(&waiting, 1, kPipePauseMs);
    } while (ready < 0 && errno == EINTR);
    return ready > 0;
}

void appendStdin(QByteArray& text, bool isPipe) {
    char buffer[8192];
    while (text.size() <= LinkHandoff::kMaxBytes && moreArrives(isPipe)) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        text.append(buffer, got);
    }
}

}  // namespace

QByteArray read(int argc, char** argv) {
    QByteArray text;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') continue;  // options are main's
        if (!text.isEmpty()) text += '\n';
        text += argv[i];
        if (text.size() > LinkHandoff::kMaxBytes) return text;
    }
    if (const std::optional<bool> isPipe = stdinIsPipe()) {
        if (!text.isEmpty()) text += '\n';
        appendStdin(text, *isPipe);
    }
    return text.trimmed();
}

}  // namespace LaunchText
