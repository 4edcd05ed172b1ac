// Runs a real program of the project in a fresh temporary folder with a
// given z.log and standard input, and collects everything it left behind.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kapolex::testing {

struct ProgramResult {
  int exitStatus = -1;  // the low 8 bits the system reports; -1 if killed by a signal
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

// Forks a child that runs inChild, which must end in an exec or _exit, and
// waits for it: whileRunning, if given, is called with the child's pid every
// millisecond, and a child that runs for more than five minutes is killed.
ChildEnd runChild(const std::function<void()>& inChild,
                  const std::function<void(pid_t)>& whileRunning = {});

// Runs the program in the folder with the given standard input text (or
// with standard input closed) and waits for it.
ProgramResult runIn(const ScratchFolder& folder, const std::string& program,
                    const std::vector<std::string>& arguments,
                    const std::optional<std::string>& standardInput);

// The files of a folder by their paths from it ("out/x.06o").
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
