// Every line layout of the system, next to each other so that they can be
// compared with the RINEX 2.10 and 3.04 record descriptions. Each is parsed
// while compiling, and every record written with it is checked against it
// then; a mistyped layout, or a value of the wrong kind for its field, does
// not build.
#pragma once

#include "rinex/layout.hpp"

namespace kapolex {

// The week prompt; the answer is typed on the same row.
inline constexpr Layout promptLayout = layoutOf("(A,$)");

// Epoch line: yy mm dd hh mm ss.sssssss, epoch flag, satellite count and up
// to twelve satellites.
inline constexpr Layout epochLayout = layoutOf("(5I3,F11.7,I3,I3,12('G',I2))");

// Further satellites of an epoch with more than twelve, twelve per line,
// under the first line's list; the text value is 32 blanks.
inline constexpr Layout epochContinuationLayout = layoutOf("(A,12('G',I2))");

// Observation line: L1 phase, loss-of-lock and signal digits, C1 range.
inline constexpr Layout observationLayout = layoutOf("(F14.3,2I1,F14.3)");

// The same with S1 after C1, whose loss-of-lock and signal columns stay blank.
inline constexpr Layout observationWithSnrLayout = layoutOf("(F14.3,2I1,F14.3,'  ',F14.3)");

// Header line PGM / RUN BY / DATE.
inline constexpr Layout runDateLayout = layoutOf("(A,A,A,I4,2I2.2,I3.2,A,I2.2,A,I2.2,A,A)");

// Header lines TIME OF FIRST OBS and TIME OF LAST OBS, in both versions.
inline constexpr Layout observationTimeLayout = layoutOf("(5I6.2,F13.7,A,A)");

// Every other header line: the 60-column content, then the label.
inline constexpr Layout headerLineLayout = layoutOf("(A,A)");

// Header lines APPROX POSITION XYZ and ANTENNA: DELTA H/E/N when a run gives
// them: three coordinates, blanks to column 60, the label; and the three
// coordinates alone, to check that they fit.
inline constexpr Layout coordinatesLineLayout = layoutOf("(3F14.4,A,A)");
inline constexpr Layout coordinatesLayout = layoutOf("(3F14.4)");

// Header line INTERVAL: the seconds, blanks to column 60, the label.
inline constexpr Layout intervalLineLayout = layoutOf("(F11.4,A,A)");

// RINEX 3.04 records.

// Epoch record: '>', yyyy mm dd hh mm ss.sssssss, epoch flag and satellite
// count; the satellites follow on their own lines, and the optional receiver
// clock offset is left out.
inline constexpr Layout rinex3EpochLayout = layoutOf("('> ',I4,4(' ',I2.2),F11.7,'  ',I1,I3)");

// Observation record: the satellite, C1C, and L1C with its loss-of-lock and
// signal digits; C1C's two digit columns stay blank.
inline constexpr Layout rinex3ObservationLayout = layoutOf("('G',I2.2,F14.3,'  ',F14.3,2I1)");

// The same with S1C after L1C, whose digit columns stay blank.
inline constexpr Layout rinex3ObservationWithSnrLayout =
    layoutOf("('G',I2.2,F14.3,'  ',F14.3,2I1,F14.3)");

// Header line PGM / RUN BY / DATE, with the date as yyyymmdd hhmmss zone.
inline constexpr Layout rinex3RunDateLayout = layoutOf("(A,A,A,I4,2I2.2,A,3I2.2,A,A)");

// Header line INTERVAL: the seconds as F10.3, blanks to column 60, the label.
inline constexpr Layout rinex3IntervalLineLayout = layoutOf("(F10.3,A,A)");

}  // namespace kapolex
