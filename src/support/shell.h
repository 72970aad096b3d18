#pragma once

#include "support/command_result.h"

#include <QProcessEnvironment>
#include <QStringList>

#include <optional>

// Short commands run to completion. The name is the one callers know; no shell is involved: the
// program is started directly by path with an argument list, so nothing in an argument is ever
// interpreted. Standard input from the null device, output and error through one channel.
// Blocking: call it off the main thread.
namespace Shell {

// With the program's own environment.
CommandResult run(const QString& path, const QStringList& args);

// With the given environment instead (Tools::run passes the tool environment).
CommandResult run(const QString& path, const QStringList& args,
                  const std::optional<QProcessEnvironment>& environment);

}  // namespace Shell
