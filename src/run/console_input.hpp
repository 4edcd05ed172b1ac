// Standard input for the week dialogue, read through a small buffer so the
// answer can be scanned character by character however long its line is.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "common/platform.hpp"

namespace kapolex {

class ConsoleInput {
 public:
  static constexpr int endOfInput = -1;

  // Reads a file that stays open, such as standard input.
  static ConsoleInput fromFile(platform::NativeHandle file);
  // Reads the given text, which must outlive the input.
  static ConsoleInput fromText(std::string_view text);

  // The next character (0 to 255), or endOfInput. A read failure other than
  // the end of input stops the run.
  int next() {
    if (position_ == filled_) {
      if (ended_) return endOfInput;
      refill();
      if (ended_) return endOfInput;
    }
    return static_cast<unsigned char>(buffer_[position_++]);
  }

 private:
  ConsoleInput() = default;
  void refill();

  platform::NativeHandle file_ = platform::invalidHandle;  // invalid when given in memory
  std::string_view memory_;                                // a memory input's remaining characters
  std::array<char, 4096> buffer_{};
  std::size_t position_ = 0;
  std::size_t filled_ = 0;
  bool ended_ = false;
};

}  // namespace kapolex
