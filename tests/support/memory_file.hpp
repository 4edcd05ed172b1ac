// A file that lives only in memory (or as close to it as the system gets),
// for tests that read a log through a real file handle without leaving
// anything behind. One implementation per system.
#pragma once

#include <cstdint>
#include <span>

#include "common/file_handle.hpp"

namespace kapolex::testing {

// A file holding bytes, open for reading from its start; it is gone once
// closed. Throws when the system cannot make one.
FileHandle memoryFileOf(std::span<const std::uint8_t> bytes);

}  // namespace kapolex::testing
