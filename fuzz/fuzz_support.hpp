// What the fuzz targets share beyond the conversion in memory of the test
// support: stopping on a broken property, and the statuses a run may end
// with.
#pragma once

#include "support/memory_run.hpp"

namespace kapolex::fuzzing {

using testing::convertInMemory;
using testing::MemoryRun;

// Stops the fuzzer with a message when a property does not hold.
void require(bool holds, const char* what);

// The stop statuses a run may end with, besides 0.
bool isSpecifiedStatus(int status);

}  // namespace kapolex::fuzzing
