// The sink's count of bytes taken and its rewrite of bytes already written,
// in memory and on a real file, and the outputs it must refuse to rewrite.
#include "common/output_sink.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/platform.hpp"
#include "support/program_run.hpp"

namespace kapolex {
namespace {

using testing::ScratchFolder;

constexpr std::size_t smallBuffer = 8;  // flushes every few bytes

// Writes "0123456789" in pieces through a small buffer, replaces "3456"
// with "abcd" (bytes out of the buffer already) and "89" with "XY" (still
// partly in the buffer), and writes on.
void writeAndRewrite(OutputSink& sink) {
  sink.write("0123");
  sink.write("456789");
  EXPECT_EQ(sink.position(), 10U);
  EXPECT_TRUE(sink.rewrite(3, "abcd"));
  sink.write("ZZ");
  EXPECT_TRUE(sink.rewrite(8, "XY"));
  EXPECT_EQ(sink.position(), 12U);
}

TEST(OutputSink, RewritesBytesInMemoryAfterWhatTheMemoryHeld) {
  std::string memory = "before:";
  OutputSink sink(memory, 2, "z.obs", smallBuffer);
  EXPECT_TRUE(sink.rewritable());
  writeAndRewrite(sink);
  sink.flush();
  EXPECT_EQ(memory, "before:012abcd7XYZZ");
}

TEST(OutputSink, RewritesBytesOfARegularFileCutAtTheFirstWrite) {
  const ScratchFolder folder;
  folder.write("z.obs", std::string(40, '-'));
  const std::string path = (folder.path() / "z.obs").string();
  {
    OutputSink sink(FileHandle(platform::openForWriting(path).handle), 2, path, smallBuffer, true);
    EXPECT_TRUE(sink.rewritable());
    writeAndRewrite(sink);
    EXPECT_TRUE(sink.close());
  }
  EXPECT_EQ(folder.read("z.obs"), "012abcd7XYZZ");
}

TEST(OutputSink, RefusesToRewriteWhatItCannotReach) {
  const ScratchFolder folder;
  const std::string path = (folder.path() / "z.obs").string();
  FileHandle borrowed;
  struct Case {
    const char* name;
    std::function<OutputSink()> open;
    std::uint64_t offset;
    bool rewritable;
    const char* file;  // what the file holds in the end
  };
  const Case cases[] = {
      // Not cut at the first write, as a pipe or a terminal is opened: its
      // offsets need not be the sink's.
      {"a file written forward only",
       [&] {
         return OutputSink(FileHandle(platform::openForWriting(path).handle), 2, path, 64, false);
       },
       0, false, "0123456789t"},
      {"a borrowed regular file",
       [&] {
         borrowed = FileHandle(platform::openForWriting(path).handle);
         return OutputSink::borrowing(borrowed.get(), 2, path, 64);
       },
       0, false, "0123456789t"},
      {"bytes not written yet",
       [&] {
         return OutputSink(FileHandle(platform::openForWriting(path).handle), 2, path, 64, true);
       },
       9, true, "0123456789"},
  };
  for (const Case& c : cases) {
    folder.write("z.obs", "old content");
    OutputSink sink = c.open();
    sink.write("0123456789");
    EXPECT_EQ(sink.rewritable(), c.rewritable) << c.name;
    EXPECT_FALSE(sink.rewrite(c.offset, "ab")) << c.name;
    EXPECT_TRUE(sink.close()) << c.name;
    EXPECT_EQ(folder.read("z.obs"), c.file) << c.name;
  }

  OutputSink closed(FileHandle(platform::openForWriting(path).handle), 2, path, 64, true);
  closed.write("0123456789");
  EXPECT_TRUE(closed.close());
  EXPECT_FALSE(closed.rewritable());
  EXPECT_FALSE(closed.rewrite(0, "ab"));
}

}  // namespace
}  // namespace kapolex
