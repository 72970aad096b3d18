#pragma once

#include <QString>

// What a short command run to completion gives back: its exit status (-1 when it could not be
// started or was ended by a signal) and its standard output and error interleaved, untrimmed.
struct CommandResult {
    int status = -1;
    QString output;
};
