#pragma once

#include "core/failure.h"

#include <QString>

// The text of a failure remedy's button in a download row.
QString actionLabel(const Failure::Action& action);
