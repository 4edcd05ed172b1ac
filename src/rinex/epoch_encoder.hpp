// How a file's kept epochs become the bytes of its data section: the seam
// where an encoding plugs into the observation writer. Plain RINEX text
// writes each epoch's lines as the dialect lays them out; an encoding that
// keeps state from epoch to epoch (Compact RINEX writes each epoch as its
// differences from the one before) is fed the same epochs and starts
// afresh in each file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/measurement.hpp"
#include "common/output_sink.hpp"
#include "rinex/dialect.hpp"

namespace kapolex {

class EpochEncoder {
 public:
  virtual ~EpochEncoder() = default;

  // Begins a new file, before its header is written: an encoding forgets
  // here what the previous file's epochs left, and writes what it puts in
  // front of the header, if anything.
  virtual void startFile(OutputSink& file) = 0;

  // Writes one kept epoch into file's data section. Called once per epoch,
  // never per line.
  virtual void writeEpoch(OutputSink& file, const MeasurementEpoch& epoch) = 0;

  // Writes header lines as the header writer lays them out (each ended by
  // CR LF) and returns the offset in file at which the line that starts at
  // marked in lines went. Plain text copies them as they are.
  virtual std::uint64_t writeHeaderLines(OutputSink& file, std::string_view lines,
                                         std::size_t marked);

  // Turns one header line, as the header writer lays it out, into the bytes
  // this encoding writes for it: the line that replaces a placeholder.
  virtual void encodeHeaderLine(std::string& /*line*/) const {}

  // Closes the header of a file that keeps no epoch, where the encoding
  // cannot be read without END OF HEADER. Plain text leaves it open, as
  // RINEX has always been written here.
  virtual void closeEmptyHeader(OutputSink& /*file*/) {}
};

// Plain RINEX text: each epoch written by the dialect's writer for the
// run's observation types (with S1 or not), chosen here once.
std::unique_ptr<EpochEncoder> plainTextEncoder(const RinexDialect& dialect, bool withSnr);

}  // namespace kapolex
