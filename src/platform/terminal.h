#pragma once

#include <optional>

namespace vantu::platform {

// How many columns the terminal on standard output shows: $COLUMNS when it is set and sane,
// else what the terminal says; nullopt when standard output is no terminal (a pipe, a file),
// where every line is written whole.
std::optional<int> terminalColumns();

}  // namespace vantu::platform
