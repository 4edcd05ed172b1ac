#include "run/console_input.hpp"

#include <algorithm>

#include "common/run_stop.hpp"
#include "run/stream_numbers.hpp"

namespace kapolex {

ConsoleInput ConsoleInput::fromFile(platform::NativeHandle file) {
  ConsoleInput input;
  input.file_ = file;
  return input;
}

ConsoleInput ConsoleInput::fromText(std::string_view text) {
  ConsoleInput input;
  input.memory_ = text;
  return input;
}

void ConsoleInput::refill() {
  position_ = 0;
  filled_ = 0;
  if (file_ == platform::invalidHandle) {
    const std::size_t part = std::min(memory_.size(), buffer_.size());
    memory_.copy(buffer_.data(), part);
    memory_.remove_prefix(part);
    filled_ = part;
    ended_ = part == 0;
    return;
  }
  const std::ptrdiff_t got = platform::readSome(file_, buffer_.data(), buffer_.size());
  if (got < 0) stopRun(Diagnostic::readError, consoleInputUnit, consoleInputName);
  filled_ = static_cast<std::size_t>(got);
  ended_ = got == 0;
}

}  // namespace kapolex
