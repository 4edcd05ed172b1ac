// gzip output through the sink, read back by zlib and, where it is
// installed, by gzip itself: the header as a stored member of its own and
// the body deflated after it; a header record replaced in place with its
// member's CRC-32; rewrites outside the header refused; the same bytes on
// every run and every system; every line kept at a stop, and a failed write
// reported at close.
#include "common/gzip_encoder.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/output_sink.hpp"
#include "common/platform.hpp"
#include "common/run_stop.hpp"
#include "support/gzip_reader.hpp"
#include "support/program_run.hpp"

namespace kapolex {
namespace {

using testing::GzipMember;
using testing::ScratchFolder;

constexpr std::size_t smallBuffer = 4096;  // many flushes for a body of a few hundred KB

// Numbers from a fixed 64-bit generator, the same on every system.
class Numbers {
 public:
  std::uint32_t next(std::uint32_t below) {
    state_ = state_ * 6364136223846793005U + 1442695040888963407U;
    return static_cast<std::uint32_t>(state_ >> 33) % below;
  }

 private:
  std::uint64_t state_ = 1;
};

// A RINEX-like header of 80-column lines, CR LF each, ending with END OF
// HEADER; the line of TIME OF LAST OBS is at lastObservationLine.
constexpr std::size_t headerLines = 20;
constexpr std::size_t lastObservationLine = 12;
std::string headerText() {
  std::string text;
  for (std::size_t n = 0; n < headerLines; ++n) {
    const std::string label = n == lastObservationLine ? "TIME OF LAST OBS"
                              : n + 1 == headerLines   ? "END OF HEADER"
                                                       : "COMMENT";
    std::string line(60, ' ');
    line.replace(0, 8, "  header");
    line += label;
    line.resize(80, ' ');
    text += line + "\r\n";
  }
  return text;
}

// Observation-like lines of F14.3 fields with their flags, about size bytes.
std::string bodyText(std::size_t size) {
  Numbers numbers;
  std::string text;
  while (text.size() < size) {
    for (int field = 0; field < 3; ++field) {
      // One number per statement: the operands of + are taken in no set order.
      const std::uint32_t whole = numbers.next(1000000000U);
      const std::uint32_t thousandths = numbers.next(1000U);
      const std::uint32_t lossOfLock = numbers.next(2U);
      const std::uint32_t signal = 1 + numbers.next(9U);
      const std::string value =
          std::to_string(whole) + "." + std::to_string(1000 + thousandths).substr(1);
      text += std::string(14 - value.size(), ' ') + value + std::to_string(lossOfLock) +
              std::to_string(signal);
    }
    text += "\r\n";
  }
  return text;
}

const std::string header = headerText();
const std::string body = bodyText(300000);

// Writes header, marking its end when asked, then body, in pieces of up to
// 100 bytes as lines are written.
void writeThrough(OutputSink& sink, std::string_view first, bool markEnd, std::string_view rest) {
  const auto pieces = [&](std::string_view text) {
    for (std::size_t at = 0; at < text.size(); at += 100) sink.write(text.substr(at, 100));
  };
  pieces(first);
  if (markEnd) sink.endStoredPart();
  pieces(rest);
}

OutputSink gzipSink(std::string& memory, std::size_t bufferSize = smallBuffer) {
  OutputSink sink(memory, 2, "z.obs.gz", bufferSize);
  sink.encodeWith(gzipEncoder());
  return sink;
}

OutputSink gzipFileSink(const std::string& path, std::size_t bufferSize = smallBuffer) {
  OutputSink sink(FileHandle(platform::openForWriting(path).handle), 2, path, bufferSize, true);
  sink.encodeWith(gzipEncoder());
  return sink;
}

// How a case is written and what its members must be: the stored member's
// text if there is one, then the deflated member's.
struct Layout {
  const char* name;
  std::string first;
  bool markEnd;
  std::string rest;
  std::vector<std::string> storedThenDeflated;
};

std::vector<Layout> layouts() {
  const std::string large = bodyText(200000);
  return {
      {"nothing written", "", false, "", {}},
      {"a header only, as at a stop inside the first epoch", header, false, "", {header}},
      {"a header and a body larger than the buffer", header, true, body, {header, body}},
      {"a body only, the end marked at once", "", true, body, {body}},
      {"no end marked: the stored part ends at its limit",
       large,
       false,
       "",
       {large.substr(0, gzipStoredPartLimit), large.substr(gzipStoredPartLimit)}},
  };
}

void expectMembers(const std::string& gzip, const Layout& layout) {
  const std::optional<std::vector<GzipMember>> members = testing::gzipMembers(gzip);
  ASSERT_TRUE(members) << "zlib finds the stream damaged";
  ASSERT_EQ(members->size(), layout.storedThenDeflated.size());
  for (std::size_t n = 0; n < members->size(); ++n) {
    EXPECT_TRUE((*members)[n].text == layout.storedThenDeflated[n]) << "member " << n;
    const bool stored = n == 0 && members->size() == 2;
    const bool headerOnly = members->size() == 1 && !layout.markEnd;
    EXPECT_EQ((*members)[n].stored, stored || headerOnly) << "member " << n;
  }
}

TEST(GzipOutput, HeaderIsAStoredMemberAndBodyADeflatedOne) {
  const ScratchFolder folder;
  const std::string path = (folder.path() / "z.obs.gz").string();
  for (const Layout& layout : layouts()) {
    SCOPED_TRACE(layout.name);
    std::string memory;
    {
      OutputSink sink = gzipSink(memory);
      writeThrough(sink, layout.first, layout.markEnd, layout.rest);
      EXPECT_EQ(sink.position(), layout.first.size() + layout.rest.size());
      EXPECT_TRUE(sink.close());
    }
    expectMembers(memory, layout);
    // A file, cut at the first write, holds the same bytes; nothing
    // written leaves an existing file as it was.
    folder.write("z.obs.gz", "old content");
    {
      OutputSink sink = gzipFileSink(path);
      writeThrough(sink, layout.first, layout.markEnd, layout.rest);
      EXPECT_TRUE(sink.close());
    }
    EXPECT_EQ(folder.read("z.obs.gz"), memory.empty() ? "old content" : memory);
  }
}

TEST(GzipOutput, BytesAreTheSameOnEveryRunAndSystem) {
  const auto written = [](std::size_t bufferSize) {
    std::string memory;
    OutputSink sink = gzipSink(memory, bufferSize);
    writeThrough(sink, header, true, body);
    EXPECT_TRUE(sink.close());
    return memory;
  };
  const std::string gzip = written(smallBuffer);
  EXPECT_EQ(gzip, written(smallBuffer));
  // Each member's header: deflate, no flags (no name), modification time
  // 0, no extra flags, system 255.
  const std::string memberHeader("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
  const std::size_t storedMemberSize = memberHeader.size() + 5 + header.size() + 8;
  EXPECT_EQ(gzip.substr(0, memberHeader.size()), memberHeader);
  EXPECT_EQ(gzip.substr(storedMemberSize, memberHeader.size()), memberHeader);
  // The bytes that the Linux and the Windows build both write with zlib
  // 1.2.13: the stored member as the format lays it out, and the body as
  // zlib deflates it in one call at its default level (worked out apart
  // from kapolex). Where the sink's buffer cuts the body does not change
  // them.
  if (std::string_view(zlibVersion()) != "1.2.13") {
    GTEST_SKIP() << "the expected bytes are zlib 1.2.13's; this is zlib " << zlibVersion();
  }
  for (const std::size_t bufferSize : {smallBuffer, fileOutputBufferSize}) {
    const std::string bytes = written(bufferSize);
    EXPECT_EQ(bytes.size(), 146736U) << bufferSize;
    EXPECT_EQ(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()), 4141480170U)
        << bufferSize;
  }
}

TEST(GzipOutput, RewritesOnlyTheHeaderInPlaceWithItsCrc) {
  const ScratchFolder folder;
  const std::string path = (folder.path() / "z.obs.gz").string();
  const std::uint64_t recordAt = lastObservationLine * 82;
  const std::string record = "  2006     1    19     0     1   40.0000000     GPS         ";
  struct Case {
    const char* name;
    bool borrowed;         // a stream written forward only
    bool beforeItsEnd;     // rewritten while the header is still being written
    std::uint64_t offset;  // from the first byte, before compression
    std::string bytes;
    bool accepted;
  };
  const Case cases[] = {
      {"the header record, written out", false, false, recordAt, record, true},
      {"the header record, the header not ended yet", false, true, recordAt, record, true},
      {"the header's first and last bytes", false, false, 0, "X", true},
      {"the header's last byte", false, false, header.size() - 1, "!", true},
      {"across the end of the header", false, false, header.size() - 2, "abcd", false},
      {"in the body", false, false, header.size() + 10, "abcd", false},
      {"a borrowed stream", true, false, recordAt, record, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    folder.write("z.obs.gz", "");
    FileHandle borrowed(platform::openForWriting(path).handle);
    OutputSink sink = c.borrowed ? OutputSink::borrowing(borrowed.get(), 2, path, smallBuffer)
                                 : gzipFileSink(path);
    if (c.borrowed) sink.encodeWith(gzipEncoder());
    EXPECT_EQ(sink.rewritable(), !c.borrowed);
    sink.write(header);
    if (c.beforeItsEnd) {
      EXPECT_EQ(sink.rewrite(c.offset, c.bytes), c.accepted);
    }
    sink.endStoredPart();
    sink.write(body);
    if (!c.beforeItsEnd) {
      EXPECT_EQ(sink.rewrite(c.offset, c.bytes), c.accepted);
    }
    EXPECT_TRUE(sink.close());
    std::string text = header + body;
    if (c.accepted) text.replace(c.offset, c.bytes.size(), c.bytes);
    // zlib checks the stored member's CRC-32 against its new bytes.
    EXPECT_TRUE(testing::gunzip(folder.read("z.obs.gz").value_or("")) == text);
  }
}

TEST(GzipOutput, GzipItselfReadsTheOutput) {
  const std::optional<std::filesystem::path> gzip = testing::onPath("gzip");
  if (!gzip) GTEST_SKIP() << "gzip is not on the PATH here";
  const ScratchFolder folder;
  const std::string path = (folder.path() / "z.obs.gz").string();
  std::vector<Layout> cases = layouts();
  cases.push_back({"a header rewritten in place", header, true, body, {}});
  for (const Layout& layout : cases) {
    if (layout.first.empty() && layout.rest.empty()) continue;  // no bytes: no gzip stream
    SCOPED_TRACE(layout.name);
    std::string text = layout.first + layout.rest;
    {
      OutputSink sink = gzipFileSink(path);
      writeThrough(sink, layout.first, layout.markEnd, layout.rest);
      if (layout.storedThenDeflated.empty()) {
        ASSERT_TRUE(sink.rewrite(lastObservationLine * 82, "rewritten"));
        text.replace(lastObservationLine * 82, 9, "rewritten");
      }
      ASSERT_TRUE(sink.close());
    }
    const testing::ProgramResult tested = testing::runIn(folder, gzip->string(), {"-t", path}, "");
    EXPECT_EQ(tested.exitStatus, 0) << tested.err;
    const testing::ProgramResult unpacked =
        testing::runIn(folder, gzip->string(), {"-dc", path}, "");
    EXPECT_EQ(unpacked.exitStatus, 0) << unpacked.err;
    EXPECT_TRUE(unpacked.out == text);
  }
}

TEST(GzipOutput, ASinkLeftUnclosedStillEndsItsStream) {
  std::string memory;
  {
    OutputSink sink = gzipSink(memory);
    writeThrough(sink, header, true, body);
    // Unwound past its close, as by an unexpected exception.
  }
  EXPECT_TRUE(testing::gunzip(memory) == header + body);
  // Made anew in its place, as a run's next file is.
  std::string first;
  std::string second;
  std::optional<OutputSink> slot;
  slot.emplace(gzipSink(first));
  slot->write(header);
  slot.emplace(gzipSink(second));
  slot->write(body);
  slot.reset();
  EXPECT_EQ(testing::gunzip(first), header);
  EXPECT_TRUE(testing::gunzip(second) == body);
}

TEST(GzipOutput, AFailedWriteIsReportedAtClose) {
  const ScratchFolder folder;
  const std::string path = (folder.path() / "z.obs.gz").string();
  folder.write("z.obs.gz", "");
  // Open for reading only, so that every write is refused.
  const auto refusing = [&](std::size_t bufferSize = smallBuffer) {
    OutputSink sink(FileHandle(platform::openForReading(path).handle), 2, path, bufferSize, false);
    sink.encodeWith(gzipEncoder());
    return sink;
  };
  {
    SCOPED_TRACE("the header's member, at the end of the header");
    OutputSink sink = refusing();
    sink.write(header);
    EXPECT_THROW(sink.endStoredPart(), RunStop);
    EXPECT_FALSE(sink.close());
  }
  {
    SCOPED_TRACE("a body past the stored part's limit, at a flush");
    OutputSink sink = refusing(fileOutputBufferSize);
    sink.write(body);
    EXPECT_FALSE(sink.flushQuietly());
    EXPECT_FALSE(sink.rewrite(0, "X"));
    EXPECT_FALSE(sink.close());
  }
  {
    SCOPED_TRACE("a header alone, at close");
    OutputSink sink = refusing();
    sink.write(header);
    EXPECT_TRUE(sink.flushQuietly());
    EXPECT_FALSE(sink.close());
  }
}

}  // namespace
}  // namespace kapolex
