// The real program stopped after its output buffer has already been written
// out once, and with console streams missing: every stop reports exactly its
// diagnostic and leaves every line produced before it in z.obs, and the
// output lost to a missing console never lands in a file. Any system can
// arrange these (fault_e2e_test.cpp holds the faults only Linux can).
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/output_sink.hpp"
#include "robust_support.hpp"
#include "support/log_builder.hpp"

namespace kapolex {
namespace {

using testing::carrierWord;
using testing::ChannelRecord;
using testing::convertInMemory;
using testing::diagnosticLine;
using testing::folderFile;
using testing::keptEpochs;
using testing::launchKapolex;
using testing::LaunchOptions;
using testing::LogBuilder;
using testing::ProgramResult;
using testing::ScratchFolder;
using testing::Stream;
using testing::weekAnswer;
using testing::weekPrompt;

std::size_t outputSizeOf(const LogBuilder& log) {
  return convertInMemory(log.bytes(), weekAnswer).observations.size();
}

// A stop after the output buffer has gone out at least once: z.obs must
// equal the file of the same log cut right before the failing message.
TEST(Faults, StopsAfterALargeOutputKeepEveryLine) {
  const LogBuilder before = keptEpochs(2500);
  ASSERT_GT(outputSizeOf(before), fileOutputBufferSize);
  ScratchFolder referenceFolder;
  referenceFolder.write("z.log", before.text());
  const ProgramResult reference = launchKapolex(referenceFolder, {weekAnswer}).result;
  ASSERT_EQ(reference.exitStatus, 0);

  std::vector<ChannelRecord> many(20, ChannelRecord{4, 99, 1234, carrierWord(55, 0), 0});
  std::vector<ChannelRecord> badPrn(5, ChannelRecord{4, 99, 1234, carrierWord(55, 0), 0});
  badPrn[3].prnByte = 0x27;  // PRN 40
  struct Case {
    const char* name;
    std::function<std::string()> failingTail;
    int exitStatus;
    std::function<std::string(const ScratchFolder&)> diagnostic;
  };
  const Case cases[] = {
      {"end of the log inside a channel record",
       [&] {
         const std::string message = LogBuilder().measurement(12505.0, many).text();
         return message.substr(0, 4 + 11 + 11 * 17 + 6);
       },
       24,
       [](const ScratchFolder& folder) {
         return diagnosticLine(24, "end-of-file during read", 1, folderFile(folder, "z.log"));
       }},
      {"end of the log inside the body's head",
       [&] { return LogBuilder().measurement(12505.0, many).text().substr(0, 4 + 7); }, 24,
       [](const ScratchFolder& folder) {
         return diagnosticLine(24, "end-of-file during read", 1, folderFile(folder, "z.log"));
       }},
      {"PRN outside 1 to 32 in the fourth channel",
       [&] { return LogBuilder().measurement(12505.0, badPrn).other(7, 9).text(); }, 98463 & 0xFF,
       [](const ScratchFolder&) { return std::string("98463\n"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScratchFolder folder;
    folder.write("z.log", before.text() + c.failingTail());
    const ProgramResult stopped = launchKapolex(folder, {weekAnswer}).result;
    EXPECT_EQ(stopped.signal, 0);
    EXPECT_EQ(stopped.exitStatus, c.exitStatus);
    EXPECT_EQ(stopped.err, c.diagnostic(folder));
    EXPECT_EQ(stopped.out, weekPrompt) << "no summary after a stop";
    ASSERT_TRUE(stopped.observations.has_value());
    EXPECT_TRUE(testing::linesWithoutRunDate(*stopped.observations) ==
                testing::linesWithoutRunDate(*reference.observations))
        << "lines lost or added at the stop";
    EXPECT_TRUE(stopped.observations->ends_with("\r\n"));
  }
}

// Closed standard streams must not become the files the program opens:
// the output lost to a closed console may not end up in z.obs.
TEST(Faults, ClosedConsoleStreamsLeaveTheObservationFileAlone) {
  const LogBuilder log = keptEpochs(20);
  const std::string expected = convertInMemory(log.bytes(), weekAnswer).observations;
  for (const Stream closed : {Stream::file, Stream::closed}) {
    LaunchOptions options{weekAnswer};
    options.outputKind = closed;
    options.errorKind = closed;
    ScratchFolder folder;
    folder.write("z.log", log.text());
    const ProgramResult result = launchKapolex(folder, options).result;
    EXPECT_EQ(result.signal, 0);
    EXPECT_EQ(result.exitStatus, 0);
    ASSERT_TRUE(result.observations.has_value());
    EXPECT_TRUE(testing::linesWithoutRunDate(*result.observations) ==
                testing::linesWithoutRunDate(expected));
  }
  // A stop with standard error closed: its line goes nowhere, not into z.obs.
  std::vector<ChannelRecord> badPrn(1, ChannelRecord{0x20, 99, 1234, 0, 0});
  ScratchFolder folder;
  folder.write("z.log", LogBuilder(log).measurement(105.0, badPrn).text());
  LaunchOptions options{weekAnswer};
  options.errorKind = Stream::closed;
  const ProgramResult result = launchKapolex(folder, options).result;
  EXPECT_EQ(result.exitStatus, 98463 & 0xFF);
  ASSERT_TRUE(result.observations.has_value());
  EXPECT_TRUE(testing::linesWithoutRunDate(*result.observations) ==
              testing::linesWithoutRunDate(expected));
}

}  // namespace
}  // namespace kapolex
