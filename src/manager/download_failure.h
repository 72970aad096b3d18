#pragma once

#include "core/failure.h"

#include <exception>

// Turns whatever a download threw into the failure its row shows: a Failure as it is, a
// Channels Problem as its failure, anything else as a network problem.
Failure classifyDownloadError(std::exception_ptr error);
