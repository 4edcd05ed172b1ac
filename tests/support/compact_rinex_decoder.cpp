#include "support/compact_rinex_decoder.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <vector>

namespace kapolex::testing {
namespace {

constexpr std::size_t labelColumn = 60;

std::string_view trimmed(std::string_view line) {
  while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.remove_suffix(1);
  return line;
}

// A number from columns [from, from + width), blanks allowed around it.
int numberAt(std::string_view line, std::size_t from, std::size_t width) {
  if (from >= line.size()) return -1;
  std::string_view text = line.substr(from, width);
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  int value = -1;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

struct Arc {
  int order = -1;
  std::array<std::int64_t, 4> differences{};
};

struct Satellite {
  std::vector<Arc> arcs;
  std::string flags;
};

class Decoder {
 public:
  explicit Decoder(std::string_view text) : text_(text) {}

  DecodedCompactRinex run() {
    readHeader();
    while (problem_.empty() && !atEnd()) readEpoch();
    return {out_, problem_};
  }

 private:
  bool atEnd() const { return at_ >= text_.size(); }

  std::optional<std::string_view> nextLine() {
    if (atEnd()) return std::nullopt;
    const std::size_t end = text_.find('\n', at_);
    if (end == std::string_view::npos) {
      fail("a line without its LF");
      return std::nullopt;
    }
    const std::string_view line = text_.substr(at_, end - at_);
    at_ = end + 1;
    ++lineNumber_;
    if (line.find('\r') != std::string_view::npos) fail("a CR in a line");
    return line;
  }

  void fail(const std::string& what) {
    if (problem_.empty()) problem_ = "line " + std::to_string(lineNumber_) + ": " + what;
  }

  void emit(std::string_view line) {
    out_ += trimmed(line);
    out_ += '\n';
  }

  void readHeader() {
    const auto first = nextLine();
    if (!first || first->substr(std::min(first->size(), labelColumn)) != "CRINEX VERS   / TYPE") {
      return fail("no CRINEX VERS / TYPE");
    }
    version3_ = first->substr(0, 3) == "3.0";
    if (!version3_ && first->substr(0, 3) != "1.0") return fail("an unknown CRINEX version");
    const auto second = nextLine();
    if (!second || second->substr(std::min(second->size(), labelColumn)) != "CRINEX PROG / DATE") {
      return fail("no CRINEX PROG / DATE");
    }
    while (const auto line = nextLine()) {
      emit(*line);
      const std::string_view label = line->size() > labelColumn ? line->substr(labelColumn) : "";
      if (label == "# / TYPES OF OBSERV" && (*line)[5] != ' ') types_ = numberAt(*line, 0, 6);
      if (label == "SYS / # / OBS TYPES" && (*line)[0] != ' ') types_ = numberAt(*line, 3, 3);
      if (label == "END OF HEADER") return;
    }
    fail("no END OF HEADER");
  }

  void applyEpochDifference(std::string_view compact) {
    const bool complete = !compact.empty() && compact[0] == (version3_ ? '>' : '&');
    if (complete) {
      epochText_ = std::string(compact);
      if (!version3_) epochText_[0] = ' ';
      satellites_.clear();
      return;
    }
    if (epochText_.empty()) return fail("a differenced epoch line with nothing before it");
    if (epochText_.size() < compact.size()) epochText_.resize(compact.size(), ' ');
    for (std::size_t i = 0; i < compact.size(); ++i) {
      if (compact[i] == '&') {
        epochText_[i] = ' ';
      } else if (compact[i] != ' ') {
        epochText_[i] = compact[i];
      }
    }
    epochText_ = std::string(trimmed(epochText_));
  }

  void readEpoch() {
    const auto compact = nextLine();
    if (!compact) return;
    applyEpochDifference(*compact);
    const auto clock = nextLine();
    if (!clock) return fail("no clock line");
    if (!clock->empty()) return fail("a clock offset, which kapolex never writes");
    const std::size_t countColumn = version3_ ? 32 : 29;
    const std::size_t listColumn = version3_ ? 41 : 32;
    if (epochText_.size() < countColumn + 3) return fail("an epoch line too short");
    const int flag = version3_ ? numberAt(epochText_, 31, 1) : numberAt(epochText_, 28, 1);
    if (flag > 1) return fail("an event epoch, which kapolex never writes");
    const int count = numberAt(epochText_, countColumn, 3);
    // Without satellites the text ends before the list's column.
    const std::size_t listEnd = listColumn + 3 * static_cast<std::size_t>(std::max(count, 0));
    if (count < 0 || (count > 0 && epochText_.size() != listEnd) ||
        (count == 0 && epochText_.size() > listColumn)) {
      return fail("an epoch text whose satellite list does not match its count");
    }
    std::vector<std::string> ids;
    for (int k = 0; k < count; ++k) {
      ids.push_back(epochText_.substr(listColumn + 3 * static_cast<std::size_t>(k), 3));
    }
    writeEpochLines(ids);
    std::map<std::string, Satellite> next;
    for (const std::string& id : ids) {
      if (next.count(id) != 0) return fail("a satellite twice in one epoch");
      const auto line = nextLine();
      if (!line) return fail("a missing satellite line");
      const auto previous = satellites_.find(id);
      Satellite satellite = previous != satellites_.end() ? previous->second : Satellite{};
      const bool isNew = previous == satellites_.end();
      if (isNew) {
        satellite.arcs.assign(static_cast<std::size_t>(types_), Arc{});
        satellite.flags.assign(2 * static_cast<std::size_t>(types_), ' ');
      }
      writeObservations(id, *line, satellite, isNew);
      next[id] = satellite;
    }
    satellites_ = std::move(next);
  }

  void writeEpochLines(const std::vector<std::string>& ids) {
    if (version3_) return emit(epochText_.substr(0, 41));
    emit(epochText_.substr(0, 32 + 3 * std::min<std::size_t>(12, ids.size())));
    for (std::size_t first = 12; first < ids.size(); first += 12) {
      std::string line(32, ' ');
      for (std::size_t k = first; k < std::min(ids.size(), first + 12); ++k) line += ids[k];
      emit(line);
    }
  }

  // Restores one value from its field; nothing for an empty field.
  std::optional<std::int64_t> restoreValue(std::string_view field, Arc& arc) {
    if (field.empty()) {
      arc.order = -1;
      return std::nullopt;
    }
    std::int64_t number = 0;
    const bool start = field.substr(0, 2) == "3&";
    const std::string_view digits = start ? field.substr(2) : field;
    const auto parsed = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (parsed.ec != std::errc() || parsed.ptr != digits.data() + digits.size()) {
      fail("an unreadable value field '" + std::string(field) + "'");
      return std::nullopt;
    }
    if (start) {
      arc.order = 0;
      arc.differences[0] = number;
      return number;
    }
    if (arc.order < 0) {
      fail("a difference where no arc runs");
      return std::nullopt;
    }
    const int order = std::min(arc.order + 1, 3);
    std::array<std::int64_t, 4> next{};
    next[static_cast<std::size_t>(order)] = number;
    for (int j = order; j >= 1; --j) {
      const auto k = static_cast<std::size_t>(j);
      next[k - 1] = next[k] + arc.differences[k - 1];
    }
    arc.order = order;
    arc.differences = next;
    return next[0];
  }

  static std::string fixedField(std::int64_t thousandths) {
    const std::int64_t magnitude = thousandths < 0 ? -thousandths : thousandths;
    std::string text = std::to_string(magnitude / 1000) + '.';
    const std::string fraction = std::to_string(magnitude % 1000 + 1000).substr(1);
    text = (thousandths < 0 ? "-" : "") + text + fraction;
    return std::string(text.size() < 14 ? 14 - text.size() : 0, ' ') + text;
  }

  void writeObservations(const std::string& id, std::string_view line, Satellite& satellite,
                         bool isNew) {
    const auto types = static_cast<std::size_t>(types_);
    std::vector<std::optional<std::int64_t>> values;
    std::size_t at = 0;
    for (std::size_t t = 0; t < types; ++t) {
      std::string_view field;
      if (at < line.size()) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        field = line.substr(at, end - at);
        at = end + 1;
      }
      values.push_back(restoreValue(field, satellite.arcs[t]));
    }
    const std::string_view flagText = at < line.size() ? line.substr(at) : "";
    if (flagText.size() > 2 * types) return fail("flags beyond the last type");
    std::string flags = satellite.flags;
    if (isNew) {
      flags.assign(2 * types, ' ');
      for (std::size_t i = 0; i < flagText.size(); ++i) {
        flags[i] = flagText[i] == '&' && version3_ ? ' ' : flagText[i];
      }
    } else {
      for (std::size_t t = 0; t < types && !version3_; ++t) {
        if (!values[t]) flags.replace(2 * t, 2, "  ");
      }
      for (std::size_t i = 0; i < flagText.size(); ++i) {
        if (flagText[i] == '&') {
          flags[i] = ' ';
        } else if (flagText[i] != ' ') {
          flags[i] = flagText[i];
        }
      }
    }
    satellite.flags = flags;
    std::string rinex = version3_ ? id : "";
    for (std::size_t t = 0; t < types; ++t) {
      if (!version3_ && t > 0 && t % 5 == 0) {
        emit(rinex);
        rinex.clear();
      }
      rinex += values[t] ? fixedField(*values[t]) : std::string(14, ' ');
      rinex += flags.substr(2 * t, 2);
    }
    emit(rinex);
  }

  std::string_view text_;
  std::size_t at_ = 0;
  std::size_t lineNumber_ = 0;
  bool version3_ = false;
  int types_ = 0;
  std::string epochText_;
  std::map<std::string, Satellite> satellites_;
  std::string out_;
  std::string problem_;
};

}  // namespace

DecodedCompactRinex decodeCompactRinex(std::string_view crinex) {
  return Decoder(crinex).run();
}

std::string restoredLines(std::string_view rinex) {
  std::string lines;
  while (!rinex.empty()) {
    const std::size_t end = std::min(rinex.find('\n'), rinex.size());
    lines += trimmed(rinex.substr(0, end));
    lines += '\n';
    rinex.remove_prefix(std::min(end + 1, rinex.size()));
  }
  return lines;
}

}  // namespace kapolex::testing
