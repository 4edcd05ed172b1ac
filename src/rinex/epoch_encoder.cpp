// The plain text encoder: no state, nothing in front of the header, and each
// epoch handed to the writer the dialect chose for it.
#include "rinex/epoch_encoder.hpp"

namespace kapolex {

namespace {

class PlainTextEncoder final : public EpochEncoder {
 public:
  explicit PlainTextEncoder(EpochRecordWriter write) : write_(write) {}

  void startFile(OutputSink& /*file*/) override {}
  void writeEpoch(OutputSink& file, const MeasurementEpoch& epoch) override { write_(file, epoch); }

 private:
  EpochRecordWriter write_;
};

}  // namespace

std::uint64_t EpochEncoder::writeHeaderLines(OutputSink& file, std::string_view lines,
                                             std::size_t marked) {
  const std::uint64_t start = file.position();
  file.write(lines);
  return start + marked;
}

std::unique_ptr<EpochEncoder> plainTextEncoder(const RinexDialect& dialect, bool withSnr) {
  return std::make_unique<PlainTextEncoder>(dialect.epochRecords.writerFor(withSnr));
}

}  // namespace kapolex
