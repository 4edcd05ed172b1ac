// The program's whole control flow: the week dialogue, the header, the walk
// over the log, the summary, and the one place where a stopped run reports
// its diagnostic and keeps the lines already produced.
#pragma once

#include "common/log_reader.hpp"
#include "common/output_sink.hpp"
#include "rinex/local_clock.hpp"
#include "run/console_input.hpp"

namespace kapolex {

// The streams of one run, opened by the caller: real files and the console
// for the program, memory for tests and fuzzing.
struct RunStreams {
  LogReader& log;
  OutputSink& observations;
  ConsoleInput& consoleIn;
  OutputSink& consoleOut;
  OutputSink& errorOut;
  const LocalClock& clock;
};

// Runs the conversion from the week prompt to the summary over open streams
// and returns the exit status. Every stream is flushed on return; a stop has
// written its diagnostic line to errorOut.
int runConversion(RunStreams& streams);

// The program: opens "z.log" and "z.obs" in the working directory, converts,
// closes both files and returns the exit status.
int runProgram();

}  // namespace kapolex
