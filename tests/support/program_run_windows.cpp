// The program launcher on Windows: CreateProcessW with the standard streams
// handed over as files, and a wait with a time limit.
#include <windows.h>

#include <stdexcept>

#include "support/program_run.hpp"

namespace kapolex::testing {

namespace fs = std::filesystem;

namespace {

constexpr DWORD runTimeLimitMilliseconds = 5 * 60 * 1000;

std::wstring wideOf(const std::string& text) {
  if (text.empty()) return {};
  const int length =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        length);
  return wide;
}

// One argument as the C library of the started program splits it back out
// of the command line: quoted, with backslashes doubled before a quote.
void appendArgument(std::wstring& line, const std::wstring& argument) {
  if (!line.empty()) line += L' ';
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    line.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    line += c;
  }
  line.append(2 * backslashes, L'\\');
  line += L'"';
}

// A handle the child inherits; INVALID_HANDLE_VALUE when the file cannot be
// opened.
HANDLE inheritable(const fs::path& file, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return ::CreateFileW(file.wstring().c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                       disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  ~OwnedHandle() {
    if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

const char pathListSeparator = ';';
const char* const programSuffix = ".exe";

ProgramResult runIn(const ScratchFolder& folder, const std::string& program,
                    const std::vector<std::string>& arguments,
                    const std::optional<std::string>& standardInput, GivenStreams given) {
  const fs::path base = folder.path().parent_path();
  if (standardInput) writeFile(base / "stdin", *standardInput);
  // Without standard input the child finds none at all, as a POSIX child
  // finds descriptor 0 closed.
  OwnedHandle in(standardInput ? inheritable(base / "stdin", GENERIC_READ, OPEN_EXISTING)
                               : INVALID_HANDLE_VALUE);
  OwnedHandle out(inheritable(base / "stdout", GENERIC_WRITE, CREATE_ALWAYS));
  OwnedHandle err(inheritable(base / "stderr", GENERIC_WRITE, CREATE_ALWAYS));
  if ((standardInput && in.get() == INVALID_HANDLE_VALUE) || out.get() == INVALID_HANDLE_VALUE ||
      err.get() == INVALID_HANDLE_VALUE) {
    throw std::runtime_error("cannot open the standard streams of " + program);
  }

  // The build names the program by the path it has on the build machine.
  const std::wstring application = fs::absolute(program).wstring();
  std::wstring line;
  appendArgument(line, application);
  for (const std::string& argument : arguments) appendArgument(line, wideOf(argument));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in.get();
  startup.hStdOutput = given.output ? out.get() : INVALID_HANDLE_VALUE;
  startup.hStdError = given.error ? err.get() : INVALID_HANDLE_VALUE;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(application.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        folder.path().wstring().c_str(), &startup, &process)) {
    throw std::runtime_error("cannot start " + program);
  }
  OwnedHandle child(process.hProcess);
  OwnedHandle thread(process.hThread);
  if (::WaitForSingleObject(child.get(), runTimeLimitMilliseconds) != WAIT_OBJECT_0) {
    ::TerminateProcess(child.get(), 1);
    ::WaitForSingleObject(child.get(), INFINITE);
  }
  DWORD status = 0;
  if (!::GetExitCodeProcess(child.get(), &status)) {
    throw std::runtime_error("cannot read the exit status of " + program);
  }

  ProgramResult result;
  result.exitStatus = static_cast<int>(status & 0xFF);
  result.wholeExitStatus = status;
  result.out = readFile(base / "stdout").value_or("");
  result.err = readFile(base / "stderr").value_or("");
  result.observations = folder.read("z.obs");
  return result;
}

std::int64_t reportedExitStatus(std::int64_t status) {
  return status & 0xFFFFFFFF;
}

}  // namespace kapolex::testing
