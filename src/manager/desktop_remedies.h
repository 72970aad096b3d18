#pragma once

#include "core/failure.h"
#include "manager/desktop_services.h"
#include "sites/tools.h"

// Carries out a failure's remedy that only opens something on the desktop or puts text on the
// clipboard: the settings panes, the log folder, the install command, the download's `link` in
// the browser. Those leave the download list alone. Returns false for any other action.
bool performOnDesktop(const Failure::Action& action, const DesktopServices& services,
                      const Tools::Settings& tools, const QUrl& link);
