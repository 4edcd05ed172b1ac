// The project's own option scanner, shared by kapolex and zlogsim, so that
// the same command line reads the same way on every system: GNU rules,
// without a C library's getopt and its differences between systems.
// Long options may be abbreviated while the abbreviation names one option
// (a name written in full wins over the names it begins), and take their
// value after '=' or as the next argument; short options may be grouped
// ("-qw 1356", "-w1356"); options may follow operands; "--" ends the
// options, and "-" is an operand. What the arguments mean, and what a
// program says about a fault, is left to the program.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kapolex::options {

// The short name of an option that has none.
inline constexpr char longOnly = '\0';

// An option as the scanner sees it.
struct OptionName {
  std::string_view longName;  // without its dashes; empty for none
  char shortName = longOnly;
  bool takesValue = false;
};

enum class ScanKind {
  option,           // a known option, with its value if it takes one
  operand,          // an argument that is no option: "-", and all after "--"
  unknownLong,      // "--name" that names no option and begins none
  ambiguousLong,    // "--name" that begins more than one option
  unknownShort,     // "-x" for a letter that is no option's
  unexpectedValue,  // "--switch=value": an option without a value given one
  missingValue,     // an option that takes a value, last without one
};

// What one argument, or an option and its value, is.
struct ScanItem {
  ScanKind kind = ScanKind::operand;
  std::size_t option = 0;     // its place in the table: option, unexpectedValue, missingValue
  std::string_view value;     // an option's value, or the operand
  bool valueGiven = false;    // a long option written with '='
  std::string_view argument;  // the whole argument the item comes from: "-qw", "--we=1"
  std::string_view written;   // a long option's name as written: "--we"
  char letter = longOnly;     // a short option's letter
};

// The option as written: "--we" or "-w".
std::string writtenName(const ScanItem& item);

// Reads arguments (those after the program's name) against a table of
// options, one item at a time. Both must outlive the scanner.
class OptionScanner {
 public:
  OptionScanner(std::span<const OptionName> table, std::span<const char* const> arguments);

  // The next item, in the order written; nothing after the last.
  std::optional<ScanItem> next();

 private:
  ScanItem longOption(std::string_view argument);
  ScanItem shortOption();
  // An option that takes a value and has none in its own argument: the
  // next argument, whatever it is, or a missing value.
  ScanItem withNextArgument(ScanItem item);

  std::span<const OptionName> table_;
  std::span<const char* const> arguments_;
  std::size_t next_ = 0;            // the next argument to read
  std::string_view group_;          // short options still to read: "-qw" after 'q' is "w"
  std::string_view groupArgument_;  // the whole argument the group comes from
  bool optionsEnded_ = false;       // "--" was read
};

}  // namespace kapolex::options
