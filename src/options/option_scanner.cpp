#include "options/option_scanner.hpp"

#include <algorithm>

namespace kapolex::options {

namespace {

constexpr std::string_view endOfOptions = "--";

}  // namespace

std::string writtenName(const ScanItem& item) {
  if (!item.written.empty()) return std::string(item.written);
  return std::string{'-', item.letter};
}

OptionScanner::OptionScanner(std::span<const OptionName> table,
                             std::span<const char* const> arguments)
    : table_(table), arguments_(arguments) {}

std::optional<ScanItem> OptionScanner::next() {
  if (!group_.empty()) return shortOption();
  while (next_ < arguments_.size()) {
    const std::string_view argument = arguments_[next_++];
    // "" and "-" are operands, as is everything after "--".
    if (optionsEnded_ || argument.size() < 2 || argument.front() != '-') {
      ScanItem item;
      item.value = argument;
      item.argument = argument;
      return item;
    }
    if (argument == endOfOptions) {
      optionsEnded_ = true;
      continue;
    }
    if (argument.starts_with(endOfOptions)) return longOption(argument);
    group_ = argument.substr(1);
    groupArgument_ = argument;
    return shortOption();
  }
  return std::nullopt;
}

ScanItem OptionScanner::longOption(std::string_view argument) {
  ScanItem item;
  item.argument = argument;
  const std::string_view body = argument.substr(endOfOptions.size());
  const std::size_t equals = body.find('=');
  const std::string_view name = body.substr(0, equals);
  item.written = argument.substr(0, endOfOptions.size() + name.size());
  if (equals != std::string_view::npos) {
    item.valueGiven = true;
    item.value = body.substr(equals + 1);
  }
  const auto named = [&](const OptionName& entry) {
    return !entry.longName.empty() && entry.longName == name;
  };
  const auto begun = [&](const OptionName& entry) {
    return !entry.longName.empty() && entry.longName.starts_with(name);
  };
  auto found = std::find_if(table_.begin(), table_.end(), named);
  if (found == table_.end()) {
    found = std::find_if(table_.begin(), table_.end(), begun);
    if (found == table_.end()) {
      item.kind = ScanKind::unknownLong;
      return item;
    }
    if (std::find_if(found + 1, table_.end(), begun) != table_.end()) {
      item.kind = ScanKind::ambiguousLong;
      return item;
    }
  }
  item.option = static_cast<std::size_t>(found - table_.begin());
  if (!found->takesValue) {
    item.kind = item.valueGiven ? ScanKind::unexpectedValue : ScanKind::option;
    return item;
  }
  item.kind = ScanKind::option;
  return item.valueGiven ? item : withNextArgument(item);
}

ScanItem OptionScanner::shortOption() {
  ScanItem item;
  item.argument = groupArgument_;
  item.letter = group_.front();
  const std::string_view rest = group_.substr(1);
  group_ = rest;
  const auto found = std::find_if(table_.begin(), table_.end(), [&](const OptionName& entry) {
    return entry.shortName != longOnly && entry.shortName == item.letter;
  });
  if (found == table_.end()) {
    item.kind = ScanKind::unknownShort;
    return item;
  }
  item.kind = ScanKind::option;
  item.option = static_cast<std::size_t>(found - table_.begin());
  if (!found->takesValue) return item;
  // The rest of the group is the value: "-w1356".
  group_ = {};
  if (!rest.empty()) {
    item.value = rest;
    return item;
  }
  return withNextArgument(item);
}

ScanItem OptionScanner::withNextArgument(ScanItem item) {
  if (next_ < arguments_.size()) {
    item.value = arguments_[next_++];
  } else {
    item.kind = ScanKind::missingValue;
  }
  return item;
}

}  // namespace kapolex::options
