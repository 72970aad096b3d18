#pragma once

#include "common/private_home.h"
#include "common/processes.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <iosfwd>

// Shared helpers for the test programs. Every test process starts with its own empty home folder
// (HOME, XDG_* and TMPDIR point into it), so tests never touch the developer's files.
namespace TestSupport {

// The temporary home folder of this test process.
QString home();

// Runs the main event loop until `done` returns true or the time-out passes; returns done().
bool waitUntil(const std::function<bool()>& done,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));

struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs a program to completion with the given standard input.
ProcessResult run(const QString& program, const QStringList& arguments,
                  const QByteArray& input = {},
                  std::chrono::milliseconds timeout = std::chrono::seconds(60));

// Path of the built quorvin-cli.
QString cliPath();

// The lines of the log file, without the final line break; none when there is no log.
QStringList logLines();

// Entries of the temporary folder named like Quorvin's temporary files and folders.
QStringList temporaryLeftovers();

// Writes a file (creating folders) and returns its path.
QString writeFile(const QString& path, const QByteArray& contents);

}  // namespace TestSupport

// GoogleTest prints a QString in a failed assertion as readable text through this, not as its
// UTF-16 code units one by one.
void PrintTo(const QString& text, std::ostream* out);
