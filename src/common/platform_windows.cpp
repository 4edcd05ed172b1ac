// The platform seam on Windows: file handles through the wide-character
// API, so that a name in any script opens whatever the code page; path names
// in UTF-8 inside the program, with drive letters, UNC names and both
// separators.
#include <windows.h>
// shellapi.h needs windows.h before it.
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <climits>

#include "common/ascii.hpp"
#include "common/platform.hpp"
#include "common/platform_paths.hpp"

namespace kapolex::platform {

namespace {

HANDLE handleOf(NativeHandle handle) {
  return reinterpret_cast<HANDLE>(handle);
}

NativeHandle nativeOf(HANDLE handle) {
  return reinterpret_cast<NativeHandle>(handle);
}

std::wstring wideOf(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(std::min<std::size_t>(text.size(), INT_MAX));
  const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), length);
  return wide;
}

std::string utf8Of(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = static_cast<int>(std::min<std::size_t>(wide.size(), INT_MAX));
  const int length =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, text.data(), length, nullptr, nullptr);
  return text;
}

// Attributes of an existing file or folder; INVALID_FILE_ATTRIBUTES if none.
DWORD attributesOf(const std::string& path) {
  return ::GetFileAttributesW(wideOf(path).c_str());
}

bool isFolder(DWORD attributes) {
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Windows takes "a\..\b" for "b" before it looks at "a"; a POSIX system
// walks through "a", which must then be a folder. The program keeps ".."
// steps (see absolutePath), and here it refuses them the same way.
OpenFailure failureOfDotDotSteps(const std::string& path) {
  for (std::size_t at = path.find(".."); at != std::string::npos; at = path.find("..", at + 2)) {
    const bool wholeStep = at > 0 && isPathSeparator(path[at - 1]) &&
                           (at + 2 == path.size() || isPathSeparator(path[at + 2]));
    if (!wholeStep) continue;
    const DWORD attributes = attributesOf(path.substr(0, at - 1));
    if (attributes == INVALID_FILE_ATTRIBUTES) return OpenFailure::notFound;
    if (!isFolder(attributes)) return OpenFailure::other;
  }
  return OpenFailure::none;
}

OpenFailure openFailureOf(DWORD error, const std::string& path) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return OpenFailure::notFound;
    case ERROR_ACCESS_DENIED:
      // What Windows calls access to a folder is an open failure elsewhere.
      return isFolder(attributesOf(path)) ? OpenFailure::other : OpenFailure::permissionDenied;
    case ERROR_WRITE_PROTECT:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return OpenFailure::permissionDenied;
    default:
      return OpenFailure::other;
  }
}

OpenedFile openWith(const std::string& path, DWORD access, DWORD disposition) {
  if (const OpenFailure failure = failureOfDotDotSteps(path); failure != OpenFailure::none) {
    return {invalidHandle, failure, false};
  }
  const HANDLE file = ::CreateFileW(wideOf(path).c_str(), access,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return {invalidHandle, openFailureOf(::GetLastError(), path), false};
  }
  return {nativeOf(file), OpenFailure::none, ::GetFileType(file) == FILE_TYPE_DISK};
}

// One call's share of a large transfer: the system counts in 32 bits.
constexpr std::size_t largestTransfer = std::size_t{1} << 30;

DWORD transferSize(std::size_t size) {
  return static_cast<DWORD>(std::min(size, largestTransfer));
}

// The path that a drive-relative name ("D:x") starts from: that drive's own
// working folder.
std::string driveFolder(char drive) {
  const wchar_t name[] = {static_cast<wchar_t>(drive), L':', L'\0'};
  wchar_t full[MAX_PATH];
  const DWORD length = ::GetFullPathNameW(name, MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return std::string{drive, ':', '\\'};
  return utf8Of(std::wstring_view(full, length));
}

std::string currentFolder() {
  const DWORD length = ::GetCurrentDirectoryW(0, nullptr);
  if (length == 0) return {};
  std::wstring folder(length, L'\0');
  const DWORD written = ::GetCurrentDirectoryW(length, folder.data());
  if (written == 0 || written >= length) return {};
  folder.resize(written);
  return utf8Of(folder);
}

// The length of "\\server\share" at the start of a UNC name.
std::size_t uncRootLength(std::string_view name) {
  std::size_t at = 2;
  for (int steps = 0; steps < 2 && at <= name.size(); ++steps) {
    while (at < name.size() && !isPathSeparator(name[at])) ++at;
    if (steps == 0 && at < name.size()) ++at;
  }
  return std::min(at, name.size());
}

// The root of a UNC name or a drive ("C:") with separators written the
// system's way.
std::string rootText(std::string_view root) {
  std::string text(root);
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

}  // namespace

OpenedFile openForReading(const std::string& path) {
  return openWith(path, GENERIC_READ, OPEN_EXISTING);
}

OpenedFile openForWriting(const std::string& path) {
  return openWith(path, GENERIC_WRITE, OPEN_ALWAYS);
}

bool closeHandle(NativeHandle handle) {
  return ::CloseHandle(handleOf(handle)) != 0;
}

std::ptrdiff_t readSome(NativeHandle handle, void* bytes, std::size_t size) {
  DWORD got = 0;
  if (::ReadFile(handleOf(handle), bytes, transferSize(size), &got, nullptr)) {
    return static_cast<std::ptrdiff_t>(got);
  }
  // A pipe whose writer has closed it has simply ended.
  const DWORD error = ::GetLastError();
  if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) return 0;
  return -1;
}

bool writeAll(NativeHandle handle, const void* bytes, std::size_t count) {
  const char* next = static_cast<const char*>(bytes);
  while (count > 0) {
    DWORD done = 0;
    if (!::WriteFile(handleOf(handle), next, transferSize(count), &done, nullptr)) return false;
    if (done == 0) return false;
    next += done;
    count -= done;
  }
  return true;
}

bool writeAllAt(NativeHandle handle, const void* bytes, std::size_t count, std::uint64_t offset) {
  // A write at an offset moves a file's position on Windows; it is put back.
  LARGE_INTEGER position{};
  if (!::SetFilePointerEx(handleOf(handle), LARGE_INTEGER{}, &position, FILE_CURRENT)) {
    return false;
  }
  const char* next = static_cast<const char*>(bytes);
  bool written = true;
  while (written && count > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    written = ::WriteFile(handleOf(handle), next, transferSize(count), &done, &at) && done > 0;
    next += done;
    count -= done;
    offset += done;
  }
  return ::SetFilePointerEx(handleOf(handle), position, nullptr, FILE_BEGIN) && written;
}

bool truncate(NativeHandle handle, std::uint64_t size) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  return ::SetFileInformationByHandle(handleOf(handle), FileEndOfFileInfo, &end, sizeof end) != 0;
}

NativeHandle standardHandle(StandardStream stream) {
  switch (stream) {
    case StandardStream::input:
      return nativeOf(::GetStdHandle(STD_INPUT_HANDLE));
    case StandardStream::output:
      return nativeOf(::GetStdHandle(STD_OUTPUT_HANDLE));
    case StandardStream::error:
      return nativeOf(::GetStdHandle(STD_ERROR_HANDLE));
  }
  return invalidHandle;
}

NativeHandle ownStandardInput(std::size_t /*pipeCapacity*/) {
  // A pipe's capacity is fixed by whoever made it.
  HANDLE own = INVALID_HANDLE_VALUE;
  const HANDLE process = ::GetCurrentProcess();
  if (!::DuplicateHandle(process, ::GetStdHandle(STD_INPUT_HANDLE), process, &own, 0, FALSE,
                         DUPLICATE_SAME_ACCESS)) {
    return invalidHandle;
  }
  return nativeOf(own);
}

LocalDateTime localTime() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

const char pathSeparator = '\\';

bool isPathSeparator(char c) {
  return c == '\\' || c == '/';
}

namespace {

bool isDriveName(std::string_view name) {
  return name.size() >= 2 && isLetter(name[0]) && name[1] == ':';
}

bool isUncName(std::string_view name) {
  return name.size() >= 2 && isPathSeparator(name[0]) && isPathSeparator(name[1]);
}

std::size_t rootLength(std::string_view name) {
  if (isUncName(name)) return uncRootLength(name);
  if (isDriveName(name)) return name.size() > 2 && isPathSeparator(name[2]) ? 3 : 2;
  return !name.empty() && isPathSeparator(name[0]) ? 1 : 0;
}

std::string rootFolder(std::string_view root) {
  // "C:" without a separator: that drive's own working folder.
  if (root.size() == 2 && isDriveName(root)) return driveFolder(root[0]);
  if (root.size() > 1) return rootText(root);
  // A lone separator: the root of the working folder's drive or share.
  const std::string folder = currentFolder();
  if (folder.empty()) return folder;
  return isUncName(folder) ? folder.substr(0, uncRootLength(folder)) : folder.substr(0, 2) + '\\';
}

// Windows numbers every file within its volume; the pair names it. A path
// that a POSIX system could not walk ("missing\..\x") leads to no file.
std::optional<FileIdentity> identityOf(const std::string& path) {
  if (failureOfDotDotSteps(path) != OpenFailure::none) return std::nullopt;
  const HANDLE file =
      ::CreateFileW(wideOf(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = ::GetFileInformationByHandle(file, &info) != 0;
  ::CloseHandle(file);
  if (!known) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

// File names as Windows compares them: regardless of case.
bool sameName(std::string_view first, std::string_view second) {
  const std::wstring a = wideOf(first);
  const std::wstring b = wideOf(second);
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

const PathSystem& thisSystem() {
  static constexpr PathSystem windows{pathSeparator, isPathSeparator, rootLength, rootFolder,
                                      currentFolder, identityOf,      sameName};
  return windows;
}

PathKind pathKind(const std::string& path) {
  if (const OpenFailure failure = failureOfDotDotSteps(path); failure != OpenFailure::none) {
    return failure == OpenFailure::notFound ? PathKind::missing : PathKind::other;
  }
  const DWORD attributes = ::GetFileAttributesW(wideOf(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? PathKind::missing
                                                                          : PathKind::other;
  }
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? PathKind::folder : PathKind::other;
}

bool renameFile(const std::string& from, const std::string& to) {
  return ::MoveFileExW(wideOf(from).c_str(), wideOf(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

namespace {

FileState stateOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber,
          (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
          (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow};
}

// The console's events reach the process on a thread of their own, through
// a handler that takes no argument: the two flags it shares with the run
// are the process's own, and live here, in the one place that must have
// them.
struct ConsoleStops {
  std::atomic<bool> requested{false};
  std::atomic<bool> watching{false};
};

ConsoleStops& consoleStops() {
  static ConsoleStops stops;
  return stops;
}

// The system ends the process once the handler of a console's closing
// returns (after at most 5 s): it waits while the run finishes its files.
constexpr int closingWaitSteps = 45;
constexpr DWORD closingWaitMilliseconds = 100;

BOOL WINAPI onConsoleEvent(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  ConsoleStops& stops = consoleStops();
  stops.requested = true;
  for (int step = 0; event == CTRL_CLOSE_EVENT && stops.watching && step < closingWaitSteps;
       ++step) {
    ::Sleep(closingWaitMilliseconds);
  }
  return TRUE;
}

// Windows is asked again this often: a pipe whether it holds bytes, a
// file whether it grew.
constexpr int pollingMilliseconds = 100;

}  // namespace

std::optional<FileState> fileState(NativeHandle handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handleOf(handle), &info)) return std::nullopt;
  return stateOf(info);
}

std::optional<FileState> fileStateAt(const std::string& path) {
  if (failureOfDotDotSteps(path) != OpenFailure::none) return std::nullopt;
  const HANDLE file =
      ::CreateFileW(wideOf(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<FileState> state = fileState(nativeOf(file));
  ::CloseHandle(file);
  return state;
}

bool rewind(NativeHandle handle) {
  LARGE_INTEGER start{};
  return ::SetFilePointerEx(handleOf(handle), start, nullptr, FILE_BEGIN) != 0;
}

LogWatch::LogWatch(const std::string& path) : path_(path) {
  consoleStops().watching = true;
  ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

LogWatch::~LogWatch() {
  ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
  consoleStops().requested = false;
  consoleStops().watching = false;
}

void LogWatch::rewatch() {}

LogWatch::Wake LogWatch::wait(NativeHandle pipe, int timeoutMilliseconds) {
  const ConsoleStops& stops = consoleStops();
  for (int waited = 0;; waited += pollingMilliseconds) {
    if (stops.requested) return Wake::stop;
    if (pipe != invalidHandle) {
      DWORD available = 0;
      // A pipe whose writer is gone, or a console, is read at once.
      if (!::PeekNamedPipe(handleOf(pipe), nullptr, 0, nullptr, &available, nullptr) ||
          available > 0) {
        return Wake::change;
      }
    } else if (waited > 0) {
      return Wake::change;
    }
    if (timeoutMilliseconds >= 0 && waited >= timeoutMilliseconds) return Wake::timeout;
    int step = pollingMilliseconds;
    if (timeoutMilliseconds >= 0) step = std::min(step, timeoutMilliseconds - waited);
    ::Sleep(static_cast<DWORD>(step));
  }
}

std::vector<std::string> startProcess(int /*argc*/, char** /*argv*/) {
  // A stream the parent did not give reads as empty and swallows what is
  // written, as the null device does.
  const DWORD streams[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  for (const DWORD stream : streams) {
    const HANDLE given = ::GetStdHandle(stream);
    if (given != nullptr && given != INVALID_HANDLE_VALUE) continue;
    const HANDLE null =
        ::CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (null != INVALID_HANDLE_VALUE) ::SetStdHandle(stream, null);
  }
  // The streams are binary as they are: the program writes and reads them
  // through their handles, never through the C library's text-mode streams.

  // The arguments as typed, in any script: the narrow ones have passed
  // through the ANSI code page.
  std::vector<std::string> arguments;
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(utf8Of(wide[i]));
  ::LocalFree(wide);
  return arguments;
}

}  // namespace kapolex::platform
