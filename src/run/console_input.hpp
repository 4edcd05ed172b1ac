// Standard input for the week dialogue, read through a small buffer so the
// answer can be scanned character by character however long its line is.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace kapolex {

struct ConsoleInput {
  int fd = -1;              // -1 when the input is given in memory
  std::string_view memory;  // a memory input's remaining characters
  std::array<char, 4096> buffer{};
  std::size_t position = 0;
  std::size_t filled = 0;
  bool ended = false;
};

constexpr int endOfConsoleInput = -1;

ConsoleInput consoleFromFd(int fd);
ConsoleInput consoleFromText(std::string_view text);

// The next character (0 to 255), or endOfConsoleInput. A read failure other
// than the end of input stops the run.
int nextConsoleChar(ConsoleInput& input);

}  // namespace kapolex
