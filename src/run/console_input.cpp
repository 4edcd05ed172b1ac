#include "run/console_input.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "common/run_stop.hpp"

namespace kapolex {

ConsoleInput ConsoleInput::fromDescriptor(int fd) {
  ConsoleInput input;
  input.fd_ = fd;
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
  if (fd_ < 0) {
    const std::size_t part = std::min(memory_.size(), buffer_.size());
    memory_.copy(buffer_.data(), part);
    memory_.remove_prefix(part);
    filled_ = part;
    ended_ = part == 0;
    return;
  }
  for (;;) {
    const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
    if (got >= 0) {
      filled_ = static_cast<std::size_t>(got);
      ended_ = got == 0;
      return;
    }
    if (errno != EINTR) stopRun(Diagnostic::readError, consoleInputUnit, consoleInputName);
  }
}

}  // namespace kapolex
