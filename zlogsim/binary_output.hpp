// Standard output as a byte stream: a log written to it must reach the file
// or pipe unchanged, which on Windows takes a switch out of text mode. One
// implementation per system.
#pragma once

#include <cstdio>

namespace zlogsim {

// Puts standard output in binary mode and returns it.
std::FILE* binaryStandardOutput();

}  // namespace zlogsim
