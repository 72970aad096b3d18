#pragma once

#include <QByteArray>

// What a launch of quorvin was given to download: its non-option arguments ("quorvin LINK…",
// what a desktop entry's %U passes), then a share text on standard input when that is a pipe or
// a file (never a terminal, and never the null device an autostart gives it); a pipe is read
// only while text keeps arriving, so one that a launcher holds open and silent costs 50 ms. Read
// with a bound one byte past the largest text taken, so an oversized input is refused, not cut.
// Empty when there is nothing.
namespace LaunchText {

QByteArray read(int argc, char** argv);

}  // namespace LaunchText
