// Standard input for the week dialogue, read through a small buffer so the
// answer can be scanned character by character however long its line is.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace kapolex {

class ConsoleInput {
 public:
  static constexpr int endOfInput = -1;

  // Reads a descriptor that stays open, such as standard input.
  static ConsoleInput fromDescriptor(int fd);
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

  int fd_ = -1;              // -1 when the input is given in memory
  std::string_view memory_;  // a memory input's remaining characters
  std::array<char, 4096> buffer_{};
  std::size_t position_ = 0;
  std::size_t filled_ = 0;
  bool ended_ = false;
};

}  // namespace kapolex
