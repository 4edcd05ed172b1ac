// The observation file's one writer. It owns the file and knows whether the
// header is still open: the fixed lines go out when the run starts, and the
// first kept epoch closes the header with its own time before its lines.
// The header fields choose the RINEX version.
#pragma once

#include <string_view>

#include "common/measurement.hpp"
#include "common/output_sink.hpp"
#include "rinex/header_fields.hpp"
#include "rinex/local_clock.hpp"

namespace kapolex {

class ObservationWriter {
 public:
  // Writes to file, with the header (and version) saying what fields give.
  explicit ObservationWriter(OutputSink file, HeaderFields fields = {})
      : file_(std::move(file)), fields_(std::move(fields)) {}

  // Writes the fixed header lines with the run's local date and time and the
  // program's 6-character version text; the header stays open.
  void writeHeader(std::string_view version, const LocalClock& clock);

  // Writes a kept epoch, closing the header first if it is still open.
  void writeEpoch(const MeasurementEpoch& epoch);

  bool headerOpen() const { return headerOpen_; }
  int unit() const { return file_.unit(); }
  const std::string& path() const { return file_.path(); }

  // Writes out what is buffered; a refused write stops the run.
  void flush() { file_.flush(); }
  // The same for the stop path: false if the system refused the bytes.
  bool flushQuietly() { return file_.flushQuietly(); }
  // Writes out what is buffered and closes the file; false if either failed.
  bool close() { return file_.close(); }

 private:
  OutputSink file_;
  HeaderFields fields_;
  bool headerOpen_ = false;
};

}  // namespace kapolex
