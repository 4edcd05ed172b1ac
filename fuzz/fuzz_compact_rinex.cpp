// The Compact RINEX encoder against the plain RINEX writer: random epoch
// sequences (satellites appearing, vanishing and listed twice, steady arcs,
// huge jumps, values too wide for their fields, every flag digit) go
// through the observation writer once as plain text and once as Compact
// RINEX; the test decoder must restore the plain lines, with the documented
// changes: a value printed as asterisks is a blank field (in RINEX 2 its
// flags with it), and a satellite listed again in an epoch is left out.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/utc_clock.hpp"
#include "fuzz_support.hpp"
#include "rinex/compact_rinex_encoder.hpp"
#include "rinex/observation_writer.hpp"
#include "support/compact_rinex_decoder.hpp"

namespace {

using kapolex::fuzzing::require;

// Reads the input a byte at a time; zeros once it is used up.
class Bytes {
 public:
  Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  std::uint8_t next() { return at_ < size_ ? data_[at_++] : 0; }
  bool done() const { return at_ >= size_; }
  std::uint32_t next32() {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | next();
    return value;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// A value's next step: steady, a jump of any size, too wide, or any double.
double nextValue(Bytes& in, double previous) {
  const std::uint8_t kind = in.next();
  const double step = static_cast<std::int32_t>(in.next32()) / 1000.0;
  switch (kind % 8) {
    case 0:
    case 1:
    case 2:
      return previous + step / 4096.0;  // a steady arc
    case 3:
      return previous + step * 1000.0;  // a jump of up to about 2e9
    case 4:
      return (kind & 0x80) != 0 ? -1.5e9 + step : 2e10 + step;  // asterisks
    case 5: {
      std::uint64_t bits = static_cast<std::uint64_t>(in.next32()) << 32 | in.next32();
      double any = 0;
      std::memcpy(&any, &bits, sizeof any);
      return any;
    }
    default:
      return step;
  }
}

struct Track {
  double phase = 1e6;
  double range = 2e7;
  double snr = 40;
};

const kapolex::LocalClock& pinnedClock() {
  static const kapolex::LocalClock clock{[] {
                                           return kapolex::LocalDate{2006, 1, 20};
                                         },
                                         [] {
                                           return kapolex::LocalTimeOfDay{9, 5, 7};
                                         }};
  return clock;
}

// The plain file as Compact RINEX restores it, with the documented changes:
// each observation field of asterisks blank, in RINEX 2 its flags with it.
std::string expectedLines(const std::string& plain, bool rinex3) {
  const std::string lines = kapolex::testing::restoredLines(plain);
  const std::string asterisks(14, '*');
  const std::size_t firstField = rinex3 ? 3 : 0;
  const std::size_t blanked = rinex3 ? 14 : 16;
  const std::size_t body = lines.find("END OF HEADER\n");
  std::string expected = lines.substr(0, body);
  for (std::size_t at = body; at < lines.size();) {
    const std::size_t end = lines.find('\n', at);
    std::string line = lines.substr(at, end - at);
    for (std::size_t field = firstField; field + 14 <= line.size(); field += 16) {
      if (line.compare(field, 14, asterisks) == 0) {
        line.replace(field, std::min(blanked, line.size() - field),
                     std::string(std::min(blanked, line.size() - field), ' '));
      }
    }
    expected += line + '\n';
    at = end + 1;
  }
  return kapolex::testing::restoredLines(expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace kapolex;
  Bytes in(data, size);
  const std::uint8_t setup = in.next();
  const bool rinex3 = (setup & 1) != 0;
  HeaderFields fields;
  fields.dialect = rinex3 ? &rinex3Dialect : &rinex2Dialect;
  fields.withSnr = (setup & 2) != 0;
  fields.withLastObservation = rinex3;
  const UtcClock utc{[] { return std::int64_t{1796880839}; }};
  CompactRinexTally tally;

  std::string plain;
  std::string compact;
  {
    ObservationWriter plainWriter(OutputSink(plain, 2, "z.obs", 1 << 16), fields);
    ObservationWriter compactWriter(
        OutputSink(compact, 2, "z.crx", 1 << 16), fields,
        compactRinexEncoder(*fields.dialect, fields.withSnr, "kapolex", utc, tally));
    plainWriter.writeHeader("060120", pinnedClock());
    compactWriter.writeHeader("060120", pinnedClock());
    std::array<Track, 41> tracks{};
    auto epoch = std::make_unique<MeasurementEpoch>();
    epoch->time = {2006, 1, 1, 0, 0, 0.0};
    for (int count = 0; !in.done() && count < 200; ++count) {
      const std::uint8_t shape = in.next();
      epoch->time.second += (shape & 0x80) != 0 ? 0.0 : 5.0;  // a repeated epoch now and then
      if (epoch->time.second >= 60.0) {
        epoch->time.second -= 60.0;
        epoch->time.minute = (epoch->time.minute + 1) % 60;
      }
      const int channels = shape & 0x1F;
      epoch->channelCount = channels;
      // The plain file of the same epoch, each satellite listed once.
      auto listedOnce = std::make_unique<MeasurementEpoch>(*epoch);
      listedOnce->channelCount = 0;
      std::array<bool, 41> listed{};
      for (int k = 0; k < channels; ++k) {
        const std::uint8_t flags = in.next();
        const int prn = 1 + in.next() % 40;
        Track& track = tracks[static_cast<std::size_t>(prn)];
        track.phase = nextValue(in, track.phase);
        track.range = nextValue(in, track.range);
        track.snr = (flags & 0x40) != 0 ? nextValue(in, track.snr) : track.snr;
        ChannelMeasurement& channel = epoch->channels[static_cast<std::size_t>(k)];
        channel = {
            prn, track.phase, track.range, (flags & 1) != 0 ? 5 : 4, (flags >> 1) % 11, track.snr,
            0};
        if (!listed[static_cast<std::size_t>(prn)]) {
          listed[static_cast<std::size_t>(prn)] = true;
          listedOnce->channels[static_cast<std::size_t>(listedOnce->channelCount++)] = channel;
        }
      }
      plainWriter.writeEpoch(*listedOnce);
      compactWriter.writeEpoch(*epoch);
    }
    require(plainWriter.close(), "the plain file closes");
    require(compactWriter.close(), "the Compact RINEX file closes");
  }
  const testing::DecodedCompactRinex decoded = testing::decodeCompactRinex(compact);
  require(decoded.problem.empty(), "the Compact RINEX file decodes");
  std::string expected = expectedLines(plain, rinex3);
  if (plain.find("END OF HEADER") == std::string::npos) {
    expected += std::string(60, ' ') + "END OF HEADER\n";  // a file without epochs
  }
  if (decoded.rinex != expected) {
    // The first line that differs, to see the case.
    std::size_t at = 0;
    while (at < expected.size() && at < decoded.rinex.size() && expected[at] == decoded.rinex[at]) {
      ++at;
    }
    const std::size_t from =
        expected.rfind('\n', at) == std::string::npos ? 0 : expected.rfind('\n', at) + 1;
    if (std::getenv("KAPOLEX_FUZZ_DUMP") != nullptr) {
      std::fprintf(stderr, "%s\n====\n%s\n====\n%s\n", expected.c_str(), decoded.rinex.c_str(),
                   compact.c_str());
    }
    std::fprintf(stderr, "plain:   %s\ndecoded: %s\n",
                 expected.substr(from, expected.find('\n', from) - from).c_str(),
                 decoded.rinex.substr(from, decoded.rinex.find('\n', from) - from).c_str());
  }
  require(decoded.rinex == expected, "the decoded lines are the plain file's");
  return 0;
}
