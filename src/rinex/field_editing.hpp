// The numeric field editors behind every record layout. They run four times
// per satellite per epoch, so they write straight into the caller's columns
// and never allocate; printf is kept off the common path.
#pragma once

#include <cstdint>
#include <span>

namespace kapolex {

// Widest numeric field a layout may declare; the fallback of the fixed-point
// editor sizes its scratch text by it.
inline constexpr int maxFieldWidth = 99;

// Writes value as Iw.m into all of field (w = field.size(), m = minDigits):
// the digits flush right, zero-filled on the left to m digits, a "-" right
// before them for a negative value, blanks in front; w asterisks when that
// does not fit. A minDigits below 1 counts as 1.
void editInteger(std::span<char> field, int minDigits, std::int64_t value);

// Writes value as Fw.d into all of field (w = field.size(), d = decimals):
// the exact binary value rounded to d decimals, ties to even; no minus on a
// value that rounds to zero; a "0" before the point only if a column is left
// after the sign; w asterisks when the result does not fit. A NaN or an
// infinity, which have no digits, and a width beyond maxFieldWidth, which the
// layouts never declare, are written as asterisks too.
void editFixed(std::span<char> field, int decimals, double value);

}  // namespace kapolex
