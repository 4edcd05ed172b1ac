// The program following a log that this test writes while it runs: a log
// appended in chunks cut at random bytes, renamed and started again, cut
// short, fed through a FIFO, and ended by each stop signal (between epochs,
// inside a message, during a rename) or by --idle-exit. Its files must be a
// normal run's over the bytes it was given (header line 2, the run's date,
// apart), and while it runs every observation file must end at an epoch's
// last line. Linux only: it looks in /proc for when the program holds its
// stop signals and how far it has read.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/program_run.hpp"

namespace kapolex::testing {
namespace {

namespace fs = std::filesystem;

// Every message of the logs here is 149 bytes: twelve channels, one a
// second; 200 seconds from GPS second 3500 of the week cross an hour.
constexpr std::size_t messageSize = 149;
constexpr std::size_t messages = 200;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

// Whether an observation file being written ends at an epoch's last line:
// after the header, the last epoch line is followed by one line for each
// satellite it names.
bool endsAtEpochBoundary(const std::string& text) {
  if (text.empty()) return true;
  if (text.back() != '\n') return false;
  const std::vector<std::string> lines = linesOf(text);
  std::size_t body = lines.size();
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find("END OF HEADER") != std::string::npos) body = i + 1;
  }
  if (body >= lines.size()) return true;
  std::size_t lastEpoch = lines.size();
  for (std::size_t i = body; i < lines.size(); ++i) {
    // An epoch line: " YY MM DD HH MM SS.SSSSSSS  0NN...".
    if (lines[i].size() > 32 && lines[i][3] == ' ' && lines[i][26] == ' ' && lines[i][28] == '0') {
      lastEpoch = i;
    }
  }
  if (lastEpoch == lines.size()) return false;
  const std::size_t satellites = std::stoul(lines[lastEpoch].substr(29, 3));
  return lines.size() - lastEpoch - 1 == satellites;
}

// The process holds SIGINT blocked: it has taken its stop requests over.
bool holdsStopSignals(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("SigBlk:", 0) == 0) {
      const std::uint64_t mask = std::stoull(line.substr(7), nullptr, 16);
      return (mask >> (SIGINT - 1) & 1U) != 0;
    }
  }
  return false;
}

// How far the process has read the file at path; nothing if it has not
// opened it.
std::optional<std::uint64_t> readPosition(pid_t pid, const fs::path& path) {
  const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(fds, error)) {
    std::error_code linkError;
    if (fs::read_symlink(entry.path(), linkError) != path) continue;
    std::ifstream info("/proc/" + std::to_string(pid) + "/fdinfo/" +
                       entry.path().filename().string());
    for (std::string line; std::getline(info, line);) {
      if (line.rfind("pos:", 0) == 0) return std::stoull(line.substr(4));
    }
  }
  return std::nullopt;
}

void appendTo(const fs::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary | std::ios::app);
  file << bytes;
}

// What the writer does, step by step, while the program runs; a step
// returns false while it waits for the program.
struct Writer {
  pid_t pid = 0;
  fs::path folder;
  const std::string* log = nullptr;
  std::size_t fed = 0;
  std::mt19937 random{7};
  int fifo = -1;
  bool boundaryHeld = true;
  int looks = 0;  // the looks at the files that counted

  fs::path logPath() const { return folder / "z.log"; }
};
using Step = std::function<bool(Writer&)>;

Step ready() {
  return [](Writer& w) { return holdsStopSignals(w.pid); };
}

// Appends up to byte `to` of the log in chunks of 1 to 1500 bytes, one per
// turn of the launcher's millisecond loop.
Step appendUpTo(std::size_t to) {
  return [to](Writer& w) {
    const std::size_t chunk = std::uniform_int_distribution<std::size_t>(1, 1500)(w.random);
    const std::size_t count = std::min(chunk, to - w.fed);
    const std::string bytes = w.log->substr(w.fed, count);
    if (w.fifo >= 0) {
      if (::write(w.fifo, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        return false;
      }
    } else {
      appendTo(w.logPath(), bytes);
    }
    w.fed += count;
    return w.fed == to;
  };
}

Step consumed() {
  return [](Writer& w) {
    std::error_code error;
    const std::uint64_t size = fs::file_size(w.logPath(), error);
    return !error && readPosition(w.pid, w.logPath()) == size;
  };
}

Step renamed() {
  return [](Writer& w) {
    fs::rename(w.logPath(), w.folder / "z.log.1");
    return true;
  };
}

Step cutShort() {
  return [](Writer& w) {
    fs::resize_file(w.logPath(), 0);
    return true;
  };
}

Step stopWith(int signal) {
  return [signal](Writer& w) {
    ::kill(w.pid, signal);
    return true;
  };
}

Step openFifo() {
  return [](Writer& w) {
    w.fifo = ::open(w.logPath().c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (w.fifo < 0) return false;
    ::fcntl(w.fifo, F_SETFL, 0);
    return true;
  };
}

Step closeFifo() {
  return [](Writer& w) {
    ::close(w.fifo);
    w.fifo = -1;
    return true;
  };
}

[[noreturn]] void execIn(const fs::path& folder, const std::vector<std::string>& arguments) {
  if (::chdir(folder.c_str()) != 0) ::_exit(126);
  const int out = ::open("console.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::dup2(out, 1);
  ::dup2(out, 2);
  ::close(out);
  std::vector<char*> argv{const_cast<char*>(KAPOLEX_BINARY)};
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  ::execv(KAPOLEX_BINARY, argv.data());
  ::_exit(127);
}

// The observation files of a folder, header line 2 (the run's date) left
// out, by name.
FolderFiles observationFiles(const FolderFiles& files) {
  FolderFiles observations;
  for (const auto& [name, content] : files) {
    if (name.ends_with(".obs") || name.ends_with(".06o") || name.ends_with(".part")) {
      std::vector<std::string> lines = linesOf(content);
      if (lines.size() > 1) lines.erase(lines.begin() + 1);
      std::string text;
      for (const std::string& line : lines) text += line + "\n";
      observations[name] = text;
    }
  }
  return observations;
}

// How many bytes the process has written so far, by /proc's count.
std::optional<std::string> writtenCount(pid_t pid) {
  std::ifstream io("/proc/" + std::to_string(pid) + "/io");
  for (std::string line; std::getline(io, line);) {
    if (line.rfind("wchar:", 0) == 0) return line;
  }
  return std::nullopt;
}

FolderFiles filesIn(const fs::path& folder);

// Looks at the observation files between two of the program's writes: a
// read that a write overlaps may see part of it, as with any file, so only
// a look during which the program wrote nothing counts.
void checkBoundaries(Writer& writer) {
  const std::optional<std::string> before = writtenCount(writer.pid);
  const FolderFiles files = filesIn(writer.folder);
  if (!before || writtenCount(writer.pid) != before) return;
  ++writer.looks;
  for (const auto& [name, content] : files) {
    if ((name.ends_with(".obs") || name.ends_with(".part")) && !endsAtEpochBoundary(content)) {
      writer.boundaryHeld = false;
    }
  }
}

// Every regular file of a folder, by its name.
FolderFiles filesIn(const fs::path& folder) {
  FolderFiles files;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    if (const std::optional<std::string> content = readFile(entry.path())) {
      files[entry.path().filename().string()] = *content;
    }
  }
  return files;
}

TEST(Follow, FilesAreTheNormalRunsOverTheBytesGivenAndEndAtEpochsWhileWritten) {
  const std::optional<std::string> log = simulatedLog(
      {"--week", "1356", "--sow", "3500", "--duration", std::to_string(messages), "--mask", "-10"});
  ASSERT_TRUE(log.has_value());
  ASSERT_EQ(log->size(), messages * messageSize);
  const std::size_t whole = log->size();
  const std::vector<std::string> split = {"-w", "1356", "--split", "hour", "-o", ".", "z.log"};
  const std::vector<std::string> plain = {"-w", "1356", "-o", "z.obs", "z.log"};
  struct Case {
    const char* name;
    std::vector<std::string> arguments;  // of both runs
    bool fifo;
    bool idleExit;  // ends itself after a second without a byte
    std::vector<Step> steps;
    std::size_t expectedBytes;  // of the log, as a normal run converts them
    const char* remark;         // a console line the run must print
  };
  const Case cases[] = {
      {"SIGINT between epochs, split by hour",
       split,
       false,
       false,
       {ready(), appendUpTo(whole), consumed(), stopWith(SIGINT)},
       whole,
       ""},
      {"SIGTERM inside a message",
       plain,
       false,
       false,
       {ready(), appendUpTo(120 * messageSize + 70), consumed(), stopWith(SIGTERM)},
       120 * messageSize,
       ""},
      {"SIGHUP during a rename",
       split,
       false,
       false,
       {ready(), appendUpTo(100 * messageSize + 30), consumed(), renamed(), stopWith(SIGHUP)},
       100 * messageSize,
       ""},
      {"rotation by rename, a message cut across the two files",
       split,
       false,
       false,
       {ready(), appendUpTo(90 * messageSize + 50), consumed(), renamed(), appendUpTo(whole),
        consumed(), stopWith(SIGINT)},
       whole,
       " The log was renamed and a new one started under its name: reading on in the new one."},
      {"truncation",
       plain,
       false,
       false,
       {ready(), appendUpTo(150 * messageSize), consumed(), cutShort(), appendUpTo(whole),
        consumed(), stopWith(SIGINT)},
       whole,
       " The log was cut short: reading it again from its start."},
      {"--idle-exit", plain, false, true, {ready(), appendUpTo(whole)}, whole, ""},
      {"a FIFO, ended by its writer",
       plain,
       true,
       false,
       {openFifo(), appendUpTo(whole), closeFifo()},
       whole,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // The normal run over the bytes the followed one is given.
    FolderFiles given{{"z.log", log->substr(0, c.expectedBytes)}};
    const FolderRun normal = runWithFiles(KAPOLEX_BINARY, c.arguments, given);
    ASSERT_EQ(normal.result.exitStatus, 0) << normal.result.err;

    const ScratchFolder folder;
    const fs::path where = fs::canonical(folder.path());
    if (c.fifo) {
      ASSERT_EQ(::mkfifo((where / "z.log").c_str(), 0600), 0);
    } else {
      folder.write("z.log", "");
    }
    std::vector<std::string> arguments = {"--follow"};
    if (c.idleExit) arguments.insert(arguments.end(), {"--idle-exit", "1"});
    arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
    Writer writer{0, where, &*log};
    std::size_t step = 0;
    const ChildEnd end = runChild([&] { execIn(where, arguments); },
                                  [&](pid_t pid) {
                                    writer.pid = pid;
                                    checkBoundaries(writer);
                                    if (step < c.steps.size() && c.steps[step](writer)) ++step;
                                  });
    EXPECT_EQ(end.exitStatus, 0);
    EXPECT_EQ(step, c.steps.size());
    EXPECT_TRUE(writer.boundaryHeld) << "an observation file ended inside an epoch";
    EXPECT_GT(writer.looks, 0);
    const FolderFiles after = filesIn(where);
    EXPECT_EQ(observationFiles(after), observationFiles(normal.files));
    const std::string console = after.count("console.txt") ? after.at("console.txt") : "";
    for (const std::string& line : linesOf(normal.result.out)) {
      EXPECT_NE(console.find(line + "\n"), std::string::npos) << line << "\n" << console;
    }
    if (*c.remark != '\0') {
      EXPECT_NE(console.find(c.remark), std::string::npos) << console;
    }
  }
}

}  // namespace
}  // namespace kapolex::testing
