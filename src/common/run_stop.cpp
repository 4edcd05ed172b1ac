#include "common/run_stop.hpp"

#include <cstdint>

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

// The diagnostic's line: "kapolex: severe (N): TEXT, unit U, file NAME".
std::string diagnosticLine(Diagnostic diagnostic, int unit, std::string_view file) {
  std::string line(severityTag);
  line += " (";
  line += std::to_string(static_cast<int>(diagnostic));
  line += "): ";
  line += diagnosticText(diagnostic);
  line += ", unit ";
  line += std::to_string(unit);
  line += ", file ";
  line += file;
  return line;
}

}  // namespace

RunStop::RunStop(Diagnostic diagnostic, int unit, std::string_view file)
    : kind_(Kind::diagnostic),
      diagnostic_(diagnostic),
      unit_(unit),
      file_(file),
      line_(diagnosticLine(diagnostic, unit, file)) {}

RunStop RunStop::prnOutOfRange() {
  RunStop stop;
  stop.line_ = std::to_string(prnStopCode);
  return stop;
}

int RunStop::exitStatus() const {
  if (kind_ == Kind::prnOutOfRange) return prnStopCode;
  return static_cast<int>(stopStatusBase | static_cast<std::uint32_t>(diagnostic_));
}

void stopRun(Diagnostic diagnostic, int unit, std::string_view file) {
  throw RunStop(diagnostic, unit, file);
}

void stopOnPrnOutOfRange() {
  throw RunStop::prnOutOfRange();
}

}  // namespace kapolex
