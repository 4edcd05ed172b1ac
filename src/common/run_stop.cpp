#include "common/run_stop.hpp"

#include <cstdint>
#include <cstdio>

namespace kapolex {

namespace {

constexpr std::string_view severityTag = "kapolex: severe";
// Status words of stops carry the error class in the top bits and the
// diagnostic number in the low bits; Linux passes on the low 8 bits.
constexpr std::uint32_t stopStatusBase = 0xC0000000u;

std::string_view diagnosticText(Diagnostic diagnostic) {
  switch (diagnostic) {
    case Diagnostic::permissionDenied:
      return "permission to access file denied";
    case Diagnostic::endOfFile:
      return "end-of-file during read";
    case Diagnostic::fileNotFound:
      return "file not found";
    case Diagnostic::openFailure:
      return "open failure";
    case Diagnostic::writeError:
      return "error during write";
    case Diagnostic::readError:
      return "error during read";
  }
  return "unexpected failure";
}

}  // namespace

void stopRun(Diagnostic diagnostic, int unit, std::string_view file) {
  throw RunStop{false, diagnostic, unit, file};
}

void stopOnPrnOutOfRange() {
  throw RunStop{true, Diagnostic::openFailure, 0, {}};
}

std::string stopLine(const RunStop& stop) {
  if (stop.prnOutOfRange) return std::to_string(prnStopCode);
  std::string line(severityTag);
  line += " (";
  line += std::to_string(static_cast<int>(stop.diagnostic));
  line += "): ";
  line += diagnosticText(stop.diagnostic);
  line += ", unit ";
  line += std::to_string(stop.unit);
  line += ", file ";
  line += stop.file;
  return line;
}

int stopExitStatus(const RunStop& stop) {
  if (stop.prnOutOfRange) return prnStopCode;
  return static_cast<int>(stopStatusBase | static_cast<std::uint32_t>(stop.diagnostic));
}

}  // namespace kapolex
