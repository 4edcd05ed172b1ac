// The names a run gives its outputs when the command line names none: the
// observation file takes the log's name.
#pragma once

#include <string>
#include <string_view>

namespace kapolex {

// The observation file for a log: its path with the last extension of its
// file name replaced by ".obs" (added when it has none).
std::string observationPathFor(std::string_view logPath);

}  // namespace kapolex
