// A Compact RINEX (CRINEX 1.0 and 3.0) decoder for the tests, written from
// the format's description alone and sharing nothing with the encoder: it
// restores the RINEX lines (LF ends, no trailing blanks) that a file was
// compressed from, and says where a file breaks the format. Epoch blocks
// with event flags and receiver clock offsets are outside what kapolex
// writes and are reported as problems.
#pragma once

#include <string>
#include <string_view>

namespace kapolex::testing {

struct DecodedCompactRinex {
  std::string rinex;    // the restored lines, each ended by LF
  std::string problem;  // "line N: what is wrong"; empty when the file is sound
};

DecodedCompactRinex decodeCompactRinex(std::string_view crinex);

// A RINEX file's lines as the format restores them: CRs and trailing
// blanks dropped, each line ended by LF.
std::string restoredLines(std::string_view rinex);

}  // namespace kapolex::testing
