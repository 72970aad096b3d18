#pragma once

#include "core/download_item.h"
#include "core/failure.h"

#include <exception>

// Turns whatever a download threw into the failure its row shows: a Failure as it is, a
// Channels Problem as its failure, anything else as a network problem.
Failure classifyDownloadError(std::exception_ptr error);

// A failed row that offers the Yuanbao login: a completed login retries it.
bool offersLogin(const Phase& phase);
