#pragma once

#include "common/http_test_server.h"

// The loopback server that plays the Yuanbao and Channels services for one test program. The
// engine reads the service origins once per process, so the first call (made before main() by
// the program's fixture) points both at this server.
HttpTestServer& serviceServer();
