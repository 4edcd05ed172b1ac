// The launcher of the robustness tests on Windows: standard streams that are
// files or missing altogether. Folders and full devices as streams, giving
// up privileges and the peak memory are Linux's (robust_launch_posix.cpp);
// the tests that need them are built on Linux only.
#include <stdexcept>

#include "robust_support.hpp"

namespace kapolex::testing {

LaunchResult launchKapolex(const ScratchFolder& folder, const LaunchOptions& options) {
  const auto fileOrClosed = [](Stream kind) {
    return kind == Stream::file || kind == Stream::closed;
  };
  if (options.asUnprivileged || !fileOrClosed(options.inputKind) ||
      !fileOrClosed(options.outputKind) || !fileOrClosed(options.errorKind)) {
    throw std::invalid_argument("this launch needs Linux");
  }
  // Without a text, standard input is missing, as it is closed on Linux.
  LaunchResult launched;
  launched.result = runIn(folder, KAPOLEX_BINARY, {}, options.standardInput,
                          {options.outputKind == Stream::file, options.errorKind == Stream::file});
  return launched;
}

}  // namespace kapolex::testing
