// How a file's kept epochs become the bytes of its data section: the seam
// where an encoding plugs into the observation writer. Plain RINEX text
// writes each epoch's lines as the dialect lays them out; an encoding that
// keeps state from epoch to epoch (Compact RINEX writes each epoch as its
// differences from the one before) is fed the same epochs and starts
// afresh in each file.
#pragma once

#include <memory>

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
};

// Plain RINEX text: each epoch written by the dialect's writer for the
// run's observation types (with S1 or not), chosen here once.
std::unique_ptr<EpochEncoder> plainTextEncoder(const RinexDialect& dialect, bool withSnr);

}  // namespace kapolex
