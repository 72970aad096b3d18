#pragma once

// Milestones of the helper's start, for the start-up benchmark. When QUORVIN_LOGIN_TRACE names
// a file, each mark appends "<name> <milliseconds since 1970>" to it; otherwise marks cost
// nothing.
namespace LoginTrace {

bool enabled();
void mark(const char* name);

}  // namespace LoginTrace
