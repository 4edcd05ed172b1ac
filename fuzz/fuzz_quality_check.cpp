// Arbitrary log bytes through the conversion with the quality check on. The
// check sees every epoch, kept or not, with whatever times and channels a
// damaged log holds; besides the sanitizers' findings this checks that it
// never changes what the conversion writes, that its JSON is valid JSON,
// that it counts the same messages as the summary, and that every usable
// and unusable measurement message is accounted for.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

#include "fuzz_support.hpp"
#include "receiver_log/message_header.hpp"
#include "support/json_value.hpp"

namespace {

using kapolex::fuzzing::convertInMemory;
using kapolex::fuzzing::MemoryRun;
using kapolex::fuzzing::require;
using kapolex::testing::JsonValue;

constexpr const char* answer = "1356\n";

// The message counts of the summary: lines " id= N count= C".
std::map<long long, long long> summaryCounts(const std::string& console) {
  std::map<long long, long long> counts;
  std::istringstream lines(console);
  std::string line;
  while (std::getline(lines, line)) {
    long long id = 0;
    long long count = 0;
    // The first follows the prompt on its line.
    const std::size_t at = line.find(" id=");
    if (at == std::string::npos) continue;
    if (std::sscanf(line.c_str() + at, " id= %lld count= %lld", &id, &count) == 2)
      counts[id] = count;
  }
  return counts;
}

long long integerOf(const JsonValue& value) {
  require(value.kind == JsonValue::Kind::number, "a count is not a number");
  return std::stoll(value.text);
}

void checkReports(const MemoryRun& run) {
  require(run.qualityText.ends_with("\n"), "text report missing or cut short");
  require(run.plot.ends_with("</svg>\n"), "plot missing or cut short");
  JsonValue report;
  try {
    report = kapolex::testing::parseJson(run.qualityJson);
  } catch (const std::exception&) {
    require(false, "JSON report is not valid JSON");
  }
  const JsonValue& log = report["log"];
  std::map<long long, long long> counts;
  for (const JsonValue& message : log["messages"].elements) {
    counts[integerOf(message["id"])] = integerOf(message["count"]);
  }
  require(counts == summaryCounts(run.console), "messages by ID differ from the summary");
  long long measurements = 0;
  for (const auto& [id, count] : counts) {
    if (kapolex::isMeasurementMessage(static_cast<int>(id))) measurements += count;
  }
  require(integerOf(log["epochs"]) + integerOf(log["unusable_times"]) == measurements,
          "measurement messages not accounted for");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> log(data, size);
  const MemoryRun plain = convertInMemory(log, answer);
  const MemoryRun checked = kapolex::testing::convertInMemoryWithQuality(log, answer);
  require(checked.status == plain.status && checked.observations == plain.observations &&
              checked.console == plain.console && checked.errors == plain.errors,
          "the quality check changes the conversion");
  if (checked.status == 0) {
    checkReports(checked);
  } else {
    // A stopped run leaves no report that could pass for a whole one.
    require(checked.qualityText.empty() && checked.qualityJson.empty() && checked.plot.empty(),
            "reports written after a stop");
  }
  return 0;
}
