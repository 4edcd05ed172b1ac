// The observation file's one writer. It owns the file and knows whether the
// header is still open: the fixed lines go out when the run starts, and the
// first kept epoch closes the header with its own time before its lines.
// The header fields choose the RINEX dialect; the epoch encoder (plain RINEX
// text unless the run gives another) writes the data section. A run that
// cuts its output into several files goes on in the next one through the
// same writer, and each file, when it is closed, can carry the time of its
// last epoch in its header.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/epoch_time.hpp"
#include "common/measurement.hpp"
#include "common/output_sink.hpp"
#include "common/run_stop.hpp"
#include "rinex/epoch_encoder.hpp"
#include "rinex/header_fields.hpp"
#include "rinex/local_clock.hpp"

namespace kapolex {

class ObservationWriter {
 public:
  // Writes to file, with the header (and dialect) saying what fields give,
  // and the epochs as encoder writes them; without an encoder, in the
  // dialect's plain RINEX text.
  explicit ObservationWriter(OutputSink file, HeaderFields fields = {},
                             std::unique_ptr<EpochEncoder> encoder = nullptr);
  // A writer whose first file comes with startNextFile, for a run that
  // names its files by their epochs. Until then it has nothing to flush or
  // close, no epoch may be written, and diagnostics name its stream unit.
  ObservationWriter(HeaderFields fields, int unit, std::unique_ptr<EpochEncoder> encoder = nullptr);

  // Writes the fixed header lines with the run's local date and time and the
  // program's 6-character version text; the header stays open. Every later
  // file of the run gets its fixed lines from the same version text and
  // clock, which must outlive the writer. Without a file yet, only keeps
  // them.
  void writeHeader(std::string_view version, const LocalClock& clock);

  // Writes a kept epoch, closing the header first if it is still open.
  void writeEpoch(const MeasurementEpoch& epoch);

  // Closes the current file, if any, as close() does and goes on in next,
  // writing its fixed header lines at once (with a new reading of the
  // clock); the next kept epoch closes its header. writeHeader must have
  // been called. If the current file cannot be closed cleanly, the run
  // stops with a write error for it.
  void startNextFile(OutputSink next);

  bool headerOpen() const { return headerOpen_; }
  // The times of the current file's first and last written epochs; none
  // before its first epoch.
  const std::optional<EpochTime>& firstEpochTime() const { return firstEpochTime_; }
  const std::optional<EpochTime>& lastEpochTime() const { return lastEpochTime_; }
  // The current file's stream number and path; before the first file, the
  // number the writer was made with and no path.
  int unit() const { return file_ ? file_->unit() : unit_; }
  const std::string& path() const;

  // Writes out what is buffered; a refused write stops the run.
  void flush() {
    if (file_) file_->flush();
  }
  // Writes out what is buffered when fewer than room bytes are left, so
  // that the buffer never fills, and goes out, in the middle of an epoch
  // of at most room bytes.
  void flushUnlessRoomFor(std::size_t room) {
    if (file_ && file_->capacity() - file_->buffered() < room) file_->flush();
  }
  // The same for the stop path: false if the system refused the bytes.
  bool flushQuietly() { return !file_ || file_->flushQuietly(); }
  // Writes out what is buffered, fills in TIME OF LAST OBS with the last
  // written epoch's time if the header carries the record, and closes the
  // file; false if any of it failed. Also the stop path's last step: what
  // was written before the stop keeps a true TIME OF LAST OBS.
  bool close();

 private:
  void writeFixedLines();
  // Writes header lines through a staging sink into the encoder; returns
  // where the line that writeLines marked went in the file.
  template <class WriteLines>
  std::uint64_t writeHeaderLines(WriteLines writeLines);

  std::optional<OutputSink> file_;
  HeaderFields fields_;
  std::unique_ptr<EpochEncoder> encoder_;
  int unit_ = 0;  // before the first file
  std::string version_;
  std::string headerText_;  // the header lines on their way to the encoder
  const LocalClock* clock_ = nullptr;
  bool headerOpen_ = false;
  std::optional<EpochTime> firstEpochTime_;
  std::optional<EpochTime> lastEpochTime_;
  // Where TIME OF LAST OBS stands in the file, until it is filled in.
  std::optional<std::uint64_t> lastObservationOffset_;
};

}  // namespace kapolex
