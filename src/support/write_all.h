#pragma once

#include <QByteArrayView>

// Writes every byte to a file descriptor, going on after interrupted or partial writes. One call
// per line keeps lines whole in a file opened with O_APPEND. False when the descriptor refuses.
bool writeAll(int fd, QByteArrayView bytes);
