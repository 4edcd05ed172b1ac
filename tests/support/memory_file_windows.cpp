// The memory file on Windows: a temporary file that the system keeps in its
// cache where it can and deletes when its last handle closes.
#include <windows.h>

#include <stdexcept>

#include "support/memory_file.hpp"

namespace kapolex::testing {

FileHandle memoryFileOf(std::span<const std::uint8_t> bytes) {
  wchar_t folder[MAX_PATH + 1];
  wchar_t name[MAX_PATH + 1];
  if (::GetTempPathW(MAX_PATH + 1, folder) == 0 ||
      ::GetTempFileNameW(folder, L"zlg", 0, name) == 0) {
    throw std::runtime_error("cannot name a memory file");
  }
  const HANDLE handle = ::CreateFileW(
      name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
      CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (handle == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot make a memory file");
  FileHandle file(reinterpret_cast<platform::NativeHandle>(handle));
  const bool written = platform::writeAll(file.get(), bytes.data(), bytes.size());
  LARGE_INTEGER start{};
  if (!written || !::SetFilePointerEx(handle, start, nullptr, FILE_BEGIN)) {
    throw std::runtime_error("cannot fill a memory file");
  }
  return file;
}

}  // namespace kapolex::testing
