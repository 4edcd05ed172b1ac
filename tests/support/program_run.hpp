// Runs a real program of the project in a fresh temporary folder with a
// given z.log and standard input, and collects everything it left behind.
// The launcher is one file per system (program_run_posix.cpp,
// program_run_windows.cpp); the rest is shared.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kapolex::testing {

struct ProgramResult {
  // The status's low 8 bits, as every system's shell shows it; -1 if the
  // program was killed by a signal.
  int exitStatus = -1;
  // The status as the system hands it to the parent: the low 8 bits on a
  // POSIX system, all 32 on Windows (see reportedExitStatus).
  std::int64_t wholeExitStatus = -1;
  int signal = 0;
  std::string out;
  std::string err;
  std::optional<std::string> observations;  // z.obs, if the run left one
};

// A temporary folder removed with its content at the end of the scope.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::filesystem::path& path() const { return path_; }
  void write(const std::string& name, const std::string& content) const;
  std::optional<std::string> read(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// How a child process ended.
struct ChildEnd {
  int exitStatus = -1;  // the low 8 bits the system reports; -1 if killed by a signal
  int signal = 0;
};

// The whole exit status that this system reports for a program that
// returns status from main.
std::int64_t reportedExitStatus(std::int64_t status);

// How this system separates the folders of PATH, and what ends a program's
// file name ("" or ".exe"); each launcher file says it for its system.
extern const char pathListSeparator;
extern const char* const programSuffix;

// The program of this name (its suffix added) in a folder of PATH; nothing
// if no folder holds it.
std::optional<std::filesystem::path> onPath(const std::string& program);

// The whole content of a file, in binary; nothing if it cannot be read.
std::optional<std::string> readFile(const std::filesystem::path& path);
// Writes content to a file, in binary, replacing it; throws on a failure.
void writeFile(const std::filesystem::path& path, const std::string& content);

// POSIX systems only: forks a child that runs inChild, which must end in an exec or _exit, and
// waits for it: whileRunning, if given, is called with the child's pid every
// millisecond, and a child that runs for more than five minutes is killed.
ChildEnd runChild(const std::function<void()>& inChild,
                  const std::function<void(pid_t)>& whileRunning = {});

// Which of standard output and standard error a started program is given
// (each a file beside the folder, collected afterwards); one not given is
// closed on a POSIX system and missing on Windows.
struct GivenStreams {
  bool output = true;
  bool error = true;
};

// Runs the program in the folder with the given standard input text (or
// with standard input closed) and waits for it.
ProgramResult runIn(const ScratchFolder& folder, const std::string& program,
                    const std::vector<std::string>& arguments,
                    const std::optional<std::string>& standardInput, GivenStreams given = {});

// The files of a folder by their paths from it, with forward slashes on
// every system ("out/x.06o").
using FolderFiles = std::map<std::string, std::string>;

struct FolderRun {
  ProgramResult result;
  FolderFiles files;   // every regular file the folder holds afterwards
  std::string folder;  // where the run took place, gone by now
};

// Runs the program in a new folder holding files (a name ending in '/' is
// an empty folder) with the given standard input (or with it closed), and
// collects every file the folder holds afterwards.
FolderRun runWithFiles(const std::string& program, const std::vector<std::string>& arguments,
                       const FolderFiles& files,
                       const std::optional<std::string>& standardInput = std::nullopt);

// The log zlogsim writes with these arguments, or nothing if it fails.
std::optional<std::string> simulatedLog(const std::vector<std::string>& zlogsimArguments);

// Runs kapolex in a new folder holding z.log (absent if nullopt).
ProgramResult runKapolex(const std::optional<std::string>& log, const std::string& standardInput,
                         const std::optional<std::string>& existingObservations = std::nullopt);

// A stop's diagnostic line on standard error, line end included.
std::string diagnosticLine(int number, const std::string& text, int unit, const std::string& file);

// The lines of a text split after each CR LF; a tail without CR LF is the
// last element.
std::vector<std::string> splitCrLfLines(const std::string& text);

}  // namespace kapolex::testing
