// What the program needs of the operating system, said once: files by their
// native handle, the standard streams, the local time, path names and the
// start of the process. platform_posix.cpp and platform_windows.cpp fulfil
// it, and the build compiles the one for the system at hand; no other file
// of the program sees a system header or a raw system call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kapolex::platform {

// A file as the system knows it: a descriptor on POSIX systems, a HANDLE on
// Windows, carried in an integer wide enough for either.
using NativeHandle = std::intptr_t;
inline constexpr NativeHandle invalidHandle = -1;

// Why a file could not be opened, in the terms of the run's diagnostics.
enum class OpenFailure {
  none,
  notFound,          // the file, or a folder on its way, does not exist
  permissionDenied,  // the system refused access
  other,             // a folder where a file was expected, and every other cause
};

struct OpenedFile {
  NativeHandle handle = invalidHandle;  // invalidHandle unless failure is none
  OpenFailure failure = OpenFailure::none;
  bool isRegularFile = false;  // not a device, a pipe or a console
};

// Opens an existing file for reading, in binary. A folder is refused with
// OpenFailure::other.
OpenedFile openForReading(const std::string& path);

// Opens a file for writing, in binary, creating it when it is missing but
// leaving an existing one's content as it is (truncate cuts it). A folder is
// refused with OpenFailure::other.
OpenedFile openForWriting(const std::string& path);

// Closes the handle; false if the system reported a failure, which for a
// file just written can mean that data did not reach it.
bool closeHandle(NativeHandle handle);

// Reads up to size bytes at the file's position into bytes: the count read,
// 0 at the end of the file (or of a pipe whose writer is gone), -1 on a
// failure. An interrupted read is retried.
std::ptrdiff_t readSome(NativeHandle handle, void* bytes, std::size_t size);

// Writes all count bytes at the file's position; false on a failure, after
// which an unknown part may have been written.
bool writeAll(NativeHandle handle, const void* bytes, std::size_t count);

// Writes all count bytes at offset in a regular file, leaving the file's
// position where it was; false on a failure.
bool writeAllAt(NativeHandle handle, const void* bytes, std::size_t count, std::uint64_t offset);

// Cuts or extends a regular file to size bytes, leaving its position where
// it was; false on a failure.
bool truncate(NativeHandle handle, std::uint64_t size);

enum class StandardStream { input, output, error };

// The handle of a standard stream, which stays open for the whole process.
// startProcess makes sure each of them is there.
NativeHandle standardHandle(StandardStream stream);

// A handle of its own on standard input, for a reader that closes it when
// done; invalidHandle on a failure. A pipe is widened to hold at least
// pipeCapacity bytes where the system allows it, so that a large read
// takes few turns.
NativeHandle ownStandardInput(std::size_t pipeCapacity);

// The local wall clock's reading, fields as on a calendar; all zero if the
// system cannot break the time down.
struct LocalDateTime {
  int year = 0;    // four digits
  int month = 0;   // 1 to 12
  int day = 0;     // 1 to 31
  int hour = 0;    // 0 to 23
  int minute = 0;  // 0 to 59
  int second = 0;  // whole seconds, the fraction dropped
};
LocalDateTime localTime();

// The wall clock as UTC seconds since 1970-01-01, leap seconds not counted.
std::int64_t utcSeconds();

// The separator the system writes between the steps of a path name.
extern const char pathSeparator;

// Whether c separates the steps of a path name: '/' everywhere, and '\' too
// on Windows.
bool isPathSeparator(char c);

// The full path name to which name resolves from the working directory:
// empty steps and "." steps are left out, ".." steps are kept (they lead
// elsewhere when the step before is a link), and steps are joined with the
// system's separator. The name itself when the working directory is
// unknown.
std::string absolutePath(std::string_view name);

// Where the file name starts in a path name: after its last separator,
// and on Windows after a drive's colon ("C:site.log").
std::size_t fileNameStart(std::string_view path);

// Whether two full path names lead to one and the same file: the same
// existing file, or, for a file not there yet, the same name (as the system
// compares names: regardless of case on Windows) in one and the same
// existing folder.
bool sameFile(const std::string& first, const std::string& second);

enum class PathKind { missing, folder, other };

// What a full path name leads to.
PathKind pathKind(const std::string& path);

// Gives the file at from the name to, replacing a file there; false, with
// from left as it was, if the system refuses.
bool renameFile(const std::string& from, const std::string& to);

// Following a log that another program still writes.

// What an open file or a name is: its identity (which tells a log's
// successor under the same name from the log) and its size (which tells a
// log cut short).
struct FileState {
  std::uint64_t volume = 0;
  std::uint64_t file = 0;
  std::uint64_t size = 0;
  bool sameFileAs(const FileState& other) const {
    return volume == other.volume && file == other.file;
  }
};
// Of an open file; nothing if the system cannot say.
std::optional<FileState> fileState(NativeHandle handle);
// Of the file a name leads to; nothing if there is none.
std::optional<FileState> fileStateAt(const std::string& path);
// Moves an open file's position back to its start; false on a failure.
bool rewind(NativeHandle handle);

// Waits for a followed log without spinning, and takes the process's stop
// requests over while it lives: SIGINT, SIGTERM and SIGHUP on POSIX
// systems, Ctrl-C, Ctrl-Break and the console's closing on Windows no
// longer end the process but are seen by wait, so that the run can finish
// its files. Between waits a request is held, not lost, and a second one
// adds nothing: the run's finish is never cut short.
class LogWatch {
 public:
  // Watches the file at path for changes (a growing, rotated or truncated
  // regular file); an empty path watches nothing but the log's handle
  // itself (a pipe or standard input).
  explicit LogWatch(const std::string& path);
  // Gives the stop requests back to the system; a held one is dropped.
  ~LogWatch();
  LogWatch(const LogWatch&) = delete;
  LogWatch& operator=(const LogWatch&) = delete;

  // After the name came to lead to another file: watches that one.
  void rewatch();

  enum class Wake { change, stop, timeout };
  // Waits until a stop is requested (stop), until the watched file may
  // have changed or pipe has bytes or its end to read (change), or until
  // timeoutMilliseconds passed (timeout; a negative time waits without
  // limit). A change may be spurious: the caller reads and waits again.
  Wake wait(NativeHandle pipe, int timeoutMilliseconds);

 private:
  std::string path_;
  // The system's objects: a notification queue and its watches on Linux,
  // a signal queue; unused where the system has none.
  std::intptr_t changes_ = -1;
  std::intptr_t fileWatch_ = -1;
  std::intptr_t stops_ = -1;
};

// Readies the process before it opens anything: every standard stream is
// there (a closed one reads as empty and swallows what is written), all of
// them in binary, and a reader that went away gives a write failure rather
// than a signal. Returns the command line's arguments after the program's
// name, in UTF-8.
std::vector<std::string> startProcess(int argc, char** argv);

}  // namespace kapolex::platform
