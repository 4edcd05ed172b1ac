// The RINEX observation reader: what it reads from a well-formed file of
// either version and which faults of form it reports.
#include "physical/rinex_observation_reader.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace kapolex::physical {
namespace {

using Lines = std::vector<std::string>;

const Lines headerLines = {
    "     2.10           OBSERVATION DATA    G (GPS)             RINEX VERSION / TYPE",
    "kapolex  060120     your name here      20060120 09:05:07ET PGM / RUN BY / DATE",
    "XXXX                                                        MARKER NAME",
    "0001                                                        MARKER NUMBER",
    "your name here      <private>                               OBSERVER / AGENCY",
    "nnnnn               QZT KELVANTIS OEM   490-117305-opt08    REC # / TYPE / VERS",
    "AT575-70QZTW        AeroAntenna Tech.                       ANT # / TYPE",
    "  1095790.2358 -4831326.5883  4003934.2615                  APPROX POSITION XYZ",
    "        0.0000        0.0000        0.0000                  ANTENNA: DELTA H/E/N",
    "     2     0                                                WAVELENGTH FACT L1/2",
    "     2    L1    C1                                          # / TYPES OF OBSERV",
    "     5.0000                                                 INTERVAL",
    "Forced Modulo Decimation to 5 seconds                       COMMENT",
    "  2006    01    01    00    00    0.0000000     GPS         TIME OF FIRST OBS",
    "                                                            END OF HEADER",
};

const Lines dataLines = {
    "  6  1  1  0  0  0.0000000  0  3G 5G12G 7",
    "    226724.83247  20443859.691",
    "   -164541.63455  20465593.923",
    "     28962.47949  20961540.222",
    "  6  1  1  0  0  5.0000000  0  2G 5G12",
    "    226700.00047  20443855.111",
    "   -164500.00041  20465590.000",
};

Lines wellFormed() {
  Lines all = headerLines;
  all.insert(all.end(), dataLines.begin(), dataLines.end());
  return all;
}

std::string joined(const Lines& lines, const std::string& end = "\r\n") {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

std::size_t indexOf(const Lines& lines, const std::string& start) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].starts_with(start)) return i;
  }
  throw std::logic_error("no line starting with " + start);
}

std::size_t labelIndex(const Lines& lines, const std::string& label) {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].size() > 60 && lines[i].substr(60) == label) return i;
  }
  throw std::logic_error("no label " + label);
}

std::string allProblems(const ReadResult& r) {
  std::string text;
  for (const std::string& p : r.problems) text += p + "\n";
  return text;
}

TEST(RinexReader, ReadsHeaderEpochsAndObservationsOfAWellFormedFile) {
  const ReadResult r = readObservationFile(joined(wellFormed()));
  ASSERT_TRUE(r.problems.empty()) << allProblems(r);
  const ObservationFile& f = r.file;
  EXPECT_EQ(f.header.version, "2.10");
  EXPECT_EQ(f.header.fileType, 'O');
  EXPECT_EQ(f.header.system, 'G');
  EXPECT_EQ(f.header.observationTypes, (std::vector<std::string>{"L1", "C1"}));
  EXPECT_EQ(f.header.timeSystem, "GPS");
  EXPECT_EQ(f.header.labels.size(), headerLines.size());
  ASSERT_TRUE(f.header.firstObservation);
  EXPECT_EQ(f.header.firstObservation->year, 2006);

  ASSERT_EQ(f.epochs.size(), 2U);
  const ObservationEpoch& e = f.epochs[0];
  EXPECT_EQ(e.line, headerLines.size() + 1);
  EXPECT_EQ(e.time.year, 2006);
  EXPECT_EQ(e.time.month, 1);
  EXPECT_EQ(e.time.day, 1);
  EXPECT_EQ(e.time.second, 0.0);
  EXPECT_EQ(e.flag, 0);
  EXPECT_EQ(e.satellites, (std::vector<std::string>{"G05", "G12", "G07"}));
  ASSERT_EQ(e.observations.size(), 3U);
  EXPECT_EQ(e.observations[1][0].value, -164541.634);
  EXPECT_EQ(e.observations[1][0].lossOfLock, 5);
  EXPECT_EQ(e.observations[1][0].signalStrength, 5);
  EXPECT_EQ(e.observations[1][1].value, 20465593.923);
  EXPECT_EQ(e.observations[1][1].lossOfLock, -1);
  EXPECT_EQ(e.observations[1][1].signalStrength, -1);
  EXPECT_EQ(f.epochs[1].time.second, 5.0);
  EXPECT_EQ(f.epochs[1].satellites.size(), 2U);
}

TEST(RinexReader, AcceptsWhatTheFormatAllows) {
  using Edit = std::function<void(Lines&)>;
  struct Case {
    const char* name;
    Edit edit;
    std::size_t epochs;
  };
  const Case cases[] = {
      {"two-digit year with a leading zero",
       [](Lines& l) {
         l[indexOf(l, "  6  1  1  0  0  0")] = " 06  1  1  0  0  0.0000000  0  3G 5G12G 7";
       },
       2},
      {"blank system letter and a zero-padded PRN",
       [](Lines& l) {
         l[indexOf(l, "  6  1  1  0  0  5")] = "  6  1  1  0  0  5.0000000  0  2 05G12";
       },
       2},
      {"an epoch without satellites",
       [](Lines& l) { l.push_back("  6  1  1  0  0 10.0000000  0  0"); }, 3},
      {"a receiver clock offset after the satellites",
       [](Lines& l) {
         const std::string line = "  6  1  1  0  0  5.0000000  0  2G 5G12";
         l[indexOf(l, "  6  1  1  0  0  5")] =
             line + std::string(68 - line.size(), ' ') + "-0.123456789";
       },
       2},
      {"an event with one comment record",
       [](Lines& l) {
         l.push_back("  6  1  1  0  0  7.0000000  4  1");
         l.push_back("ANTENNA MOVED                                               COMMENT");
       },
       2},
      {"a blank observation", [](Lines& l) { l.back() = "   -164500.00041"; }, 2},
      {"blanks after the last observation", [](Lines& l) { l.back() += "          "; }, 2},
  };
  for (const Case& c : cases) {
    Lines lines = wellFormed();
    c.edit(lines);
    const ReadResult r = readObservationFile(joined(lines));
    EXPECT_TRUE(r.problems.empty()) << c.name << ":\n" << allProblems(r);
    EXPECT_EQ(r.file.epochs.size(), c.epochs) << c.name;
  }
}

TEST(RinexReader, ReadsMoreThanTwelveSatellitesFromContinuationLines) {
  Lines lines = headerLines;
  lines.push_back("  6  1  1  0  0  0.0000000  0 14G 1G 2G 3G 4G 5G 6G 7G 8G 9G10G11G12");
  lines.push_back("                                G13G14");
  for (int s = 1; s <= 14; ++s) lines.push_back("   1000000.00049  20000000.000");
  const ReadResult r = readObservationFile(joined(lines));
  ASSERT_TRUE(r.problems.empty()) << allProblems(r);
  ASSERT_EQ(r.file.epochs.size(), 1U);
  EXPECT_EQ(r.file.epochs[0].satellites.size(), 14U);
  EXPECT_EQ(r.file.epochs[0].satellites[13], "G14");
  EXPECT_EQ(r.file.epochs[0].observations.size(), 14U);
}

TEST(RinexReader, ReportsEveryMissingMandatoryHeaderRecord) {
  const char* mandatory[] = {"PGM / RUN BY / DATE",  "MARKER NAME",          "OBSERVER / AGENCY",
                             "REC # / TYPE / VERS",  "ANT # / TYPE",         "APPROX POSITION XYZ",
                             "ANTENNA: DELTA H/E/N", "WAVELENGTH FACT L1/2", "TIME OF FIRST OBS"};
  for (const char* label : mandatory) {
    Lines lines = wellFormed();
    lines.erase(lines.begin() + static_cast<long>(labelIndex(lines, label)));
    const ReadResult r = readObservationFile(joined(lines));
    EXPECT_NE(allProblems(r).find(std::string("mandatory header record ") + label),
              std::string::npos)
        << label << ":\n"
        << allProblems(r);
  }
}

TEST(RinexReader, ReportsFaultsOfForm) {
  using Edit = std::function<void(Lines&)>;
  struct Case {
    const char* name;
    Edit edit;
    const char* problem;
  };
  auto replace = [](const std::string& start, const std::string& by) {
    return [start, by](Lines& l) { l[indexOf(l, start)] = by; };
  };
  const Case cases[] = {
      {"version record not first", [](Lines& l) { std::swap(l[0], l[1]); },
       "the first line must be RINEX VERSION / TYPE"},
      {"label one column early",
       replace("XXXX", "XXXX                                                       MARKER NAME"),
       "unknown header label"},
      {"label cut off", replace("XXXX", "XXXX"), "without a label in columns 61-80"},
      {"line over 80 columns",
       replace("XXXX",
               "XXXX                                                        MARKER NAME"
               "          x"),
       "longer than 80 columns"},
      {"no END OF HEADER",
       [](Lines& l) { l.erase(l.begin() + static_cast<long>(labelIndex(l, "END OF HEADER"))); },
       "END OF HEADER"},
      {"more observation types announced than listed",
       replace("     2    L1",
               "     3    L1    C1                                          "
               "# / TYPES OF OBSERV"),
       "TYPES OF OBSERV"},
      {"position not F14.4",
       replace("  1095790",
               "    1095790.23 -4831326.5883  4003934.2615                  "
               "APPROX POSITION XYZ"),
       "APPROX POSITION XYZ: value 1"},
      {"not an observation file",
       replace("     2.10",
               "     2.10           NAVIGATION DATA     G (GPS)             "
               "RINEX VERSION / TYPE"),
       "file type is not O"},
      {"time of first observation not that of the first epoch",
       replace("  2006    01",
               "  2006    01    01    00    00    5.0000000     GPS         "
               "TIME OF FIRST OBS"),
       "TIME OF FIRST OBS differs"},
      {"seconds with six decimals",
       replace("  6  1  1  0  0  5", "  6  1  1  0  0   5.000000  0  2G 5G12"),
       "not an epoch record"},
      {"fewer satellites listed than counted",
       replace("  6  1  1  0  0  5", "  6  1  1  0  0  5.0000000  0  3G 5G12"),
       "satellite entry 3 of 3"},
      {"more satellites listed than counted",
       replace("  6  1  1  0  0  0", "  6  1  1  0  0  0.0000000  0  2G 5G12G 7"),
       "text after the satellite list"},
      {"receiver clock offset with five decimals",
       [](Lines& l) {
         const std::string line = "  6  1  1  0  0  5.0000000  0  2G 5G12";
         l[indexOf(l, "  6  1  1  0  0  5")] =
             line + std::string(68 - line.size(), ' ') + "    -0.12345";
       },
       "receiver clock offset in columns 69-80 is not F12.9"},
      {"thirteen satellites on one line",
       [](Lines& l) {
         l.push_back("  6  1  1  0  0 10.0000000  0 13G 1G 2G 3G 4G 5G 6G 7G 8G 9G10G11G12G13");
         for (int s = 0; s < 13; ++s) l.push_back("   1000000.00049  20000000.000");
       },
       "does not start with 32 blanks"},
      {"observation with two decimals",
       replace("    226724.83247", "     226724.8347  20443859.691"), "is not F14.3,I1,I1"},
      {"observation record with a third field",
       replace("     28962.47949", "     28962.47949  20961540.222  20961540.222"),
       "longer than its 2 fields"},
      {"observation line missing at the end", [](Lines& l) { l.pop_back(); },
       "the file ends inside the observations of G12"},
      {"tab in a line", replace("    226700", "    226700.000\t7  20443855.111"),
       "not printable ASCII"},
  };
  for (const Case& c : cases) {
    Lines lines = wellFormed();
    c.edit(lines);
    const ReadResult r = readObservationFile(joined(lines));
    EXPECT_NE(allProblems(r).find(c.problem), std::string::npos)
        << c.name << ": expected \"" << c.problem << "\" among:\n"
        << allProblems(r);
  }
}

TEST(RinexReader, LineEndsMustBeCrLfUnlessLfIsAllowed) {
  const std::string lfOnly = joined(wellFormed(), "\n");
  const ReadResult strict = readObservationFile(lfOnly);
  EXPECT_NE(allProblems(strict).find("line 1: line ends with LF, not CR LF"), std::string::npos);
  const ReadResult lenient = readObservationFile(lfOnly, ReaderRules{.crLfLineEnds = false});
  EXPECT_TRUE(lenient.problems.empty()) << allProblems(lenient);
  EXPECT_EQ(lenient.file.epochs.size(), 2U);

  std::string unended = joined(wellFormed());
  unended.resize(unended.size() - 2);
  EXPECT_NE(allProblems(readObservationFile(unended)).find("the last line has no line end"),
            std::string::npos);
}

const Lines rinex3HeaderLines = {
    "     3.04           OBSERVATION DATA    G                   RINEX VERSION / TYPE",
    "kapolex  060120     your name here      20060120 090507 LCL PGM / RUN BY / DATE",
    "XXXX                                                        MARKER NAME",
    "your name here      <private>                               OBSERVER / AGENCY",
    "nnnnn               QZT KELVANTIS OEM   490-117305-opt08    REC # / TYPE / VERS",
    "AT575-70QZTW        AeroAntenna Tech.                       ANT # / TYPE",
    "  1095790.2358 -4831326.5883  4003934.2615                  APPROX POSITION XYZ",
    "        0.0000        0.0000        0.0000                  ANTENNA: DELTA H/E/N",
    "G    3 C1C L1C S1C                                          SYS / # / OBS TYPES",
    "DBHZ                                                        SIGNAL STRENGTH UNIT",
    "     5.000                                                  INTERVAL",
    "  2006    01    01    00    00    0.0000000     GPS         TIME OF FIRST OBS",
    "  2006    01    01    00    00    5.0000000     GPS         TIME OF LAST OBS",
    "G L1C  0.00000                                              SYS / PHASE SHIFT",
    "                                                            END OF HEADER",
};

const Lines rinex3DataLines = {
    "> 2006 01 01 00 00  0.0000000  0  3",
    "G05  20443859.691      226724.83247        44.000",
    "G12  20465593.923     -164541.63455        40.250",
    "G07  20961540.222       28962.47949        38.000",
    "> 2006 01 01 00 00  5.0000000  0  2",
    "G05  20443855.111      226700.00047        44.000",
    "G12  20465590.000     -164500.00041",
};

Lines wellFormedRinex3() {
  Lines all = rinex3HeaderLines;
  all.insert(all.end(), rinex3DataLines.begin(), rinex3DataLines.end());
  return all;
}

TEST(RinexReader, ReadsARinex3File) {
  const ReadResult r = readObservationFile(joined(wellFormedRinex3()));
  ASSERT_TRUE(r.problems.empty()) << allProblems(r);
  const ObservationFile& f = r.file;
  EXPECT_EQ(f.header.version, "3.04");
  EXPECT_EQ(f.header.majorVersion, 3);
  EXPECT_EQ(f.header.system, 'G');
  EXPECT_EQ(f.header.observationTypes, (std::vector<std::string>{"C1C", "L1C", "S1C"}));
  EXPECT_EQ(f.header.signalStrengthUnit, "DBHZ");
  ASSERT_TRUE(f.header.lastObservation);
  EXPECT_EQ(f.header.lastObservation->second, 5.0);
  ASSERT_EQ(f.epochs.size(), 2U);
  const ObservationEpoch& e = f.epochs[0];
  EXPECT_EQ(e.line, rinex3HeaderLines.size() + 1);
  EXPECT_EQ(e.time.year, 2006);
  EXPECT_EQ(e.satellites, (std::vector<std::string>{"G05", "G12", "G07"}));
  EXPECT_EQ(e.observations[1][0].value, 20465593.923);
  EXPECT_EQ(e.observations[1][0].lossOfLock, -1);
  EXPECT_EQ(e.observations[1][1].value, -164541.634);
  EXPECT_EQ(e.observations[1][1].lossOfLock, 5);
  EXPECT_EQ(e.observations[1][1].signalStrength, 5);
  EXPECT_EQ(e.observations[1][2].value, 40.25);
  EXPECT_FALSE(f.epochs[1].observations[1][2].value);
}

TEST(RinexReader, AcceptsWhatRinex3Allows) {
  using Edit = std::function<void(Lines&)>;
  struct Case {
    const char* name;
    Edit edit;
  };
  const std::string secondEpoch = "> 2006 01 01 00 00  5.0000000  0  2";
  const Case cases[] = {
      {"a receiver clock offset",
       [&](Lines& l) { l[indexOf(l, secondEpoch)] = secondEpoch + "      -0.123456789012"; }},
      {"an event with one comment record",
       [](Lines& l) {
         l.push_back("> 2006 01 01 00 00  7.0000000  4  1");
         l.push_back("ANTENNA MOVED                                               COMMENT");
       }},
      {"a phase shift for two satellites",
       [](Lines& l) {
         l[labelIndex(l, "SYS / PHASE SHIFT")] =
             "G L1C  0.00000  02 G05 G12                                  SYS / PHASE SHIFT";
       }},
      {"a moving marker without a position",
       [](Lines& l) {
         l[labelIndex(l, "APPROX POSITION XYZ")] =
             "AIRBORNE                                                    MARKER TYPE";
       }},
      {"observation records longer than 80 columns",
       [](Lines& l) {
         l[labelIndex(l, "SYS / # / OBS TYPES")] =
             "G    6 C1C L1C S1C C5Q L5Q S5Q                              SYS / # / OBS TYPES";
         for (std::string& line : l) {
           if (line.starts_with("G") && line.size() < 60) {
             line.resize(51, ' ');
             line += "  20443859.691      226724.83247        44.000";
           }
         }
       }},
  };
  for (const Case& c : cases) {
    Lines lines = wellFormedRinex3();
    c.edit(lines);
    const ReadResult r = readObservationFile(joined(lines));
    EXPECT_TRUE(r.problems.empty()) << c.name << ":\n" << allProblems(r);
    EXPECT_EQ(r.file.epochs.size(), 2U) << c.name;
  }
}

TEST(RinexReader, ReportsEveryMissingMandatoryRinex3Record) {
  const char* mandatory[] = {"PGM / RUN BY / DATE",  "MARKER NAME",         "OBSERVER / AGENCY",
                             "REC # / TYPE / VERS",  "ANT # / TYPE",        "APPROX POSITION XYZ",
                             "ANTENNA: DELTA H/E/N", "SYS / # / OBS TYPES", "TIME OF FIRST OBS",
                             "SYS / PHASE SHIFT"};
  for (const char* label : mandatory) {
    Lines lines = wellFormedRinex3();
    lines.erase(lines.begin() + static_cast<long>(labelIndex(lines, label)));
    EXPECT_NE(allProblems(readObservationFile(joined(lines)))
                  .find(std::string("mandatory header record ") + label),
              std::string::npos)
        << label;
  }
}

TEST(RinexReader, ReportsFaultsOfRinex3Form) {
  using Edit = std::function<void(Lines&)>;
  struct Case {
    const char* name;
    Edit edit;
    const char* problem;
  };
  auto header = [](const std::string& label, const std::string& content) {
    return [label, content](Lines& l) {
      l[labelIndex(l, label)] = content + std::string(60 - content.size(), ' ') + label;
    };
  };
  auto replace = [](const std::string& start, const std::string& by) {
    return [start, by](Lines& l) { l[indexOf(l, start)] = by; };
  };
  const Case cases[] = {
      {"a RINEX 2 record",
       [](Lines& l) {
         l[labelIndex(l, "SYS / # / OBS TYPES")] =
             "     3    C1    L1    S1                                    # / TYPES OF OBSERV";
       },
       "unknown header label \"# / TYPES OF OBSERV\""},
      {"the RINEX 2 run date",
       header("PGM / RUN BY / DATE", "kapolex  060120     your name here      20060120 09:05:07ET"),
       "date is not \"yyyymmdd hhmmss zone\""},
      {"more types announced than listed", header("SYS / # / OBS TYPES", "G    4 C1C L1C S1C"),
       "announces 4 types of G but lists 3"},
      {"a RINEX 2 type", header("SYS / # / OBS TYPES", "G    3 C1  L1C S1C"),
       "entry 1 is not 1X,A3"},
      {"INTERVAL with four decimals", header("INTERVAL", "     5.0000"), "INTERVAL: not F10.3"},
      {"a phase shift of an unlisted code", header("SYS / PHASE SHIFT", "G L2W  0.00000"),
       "SYS / PHASE SHIFT: not a listed phase code"},
      {"a month without its zero",
       replace("> 2006 01 01 00 00  5", "> 2006  1 01 00 00  5.0000000  0  2"),
       "not an epoch record"},
      {"a RINEX 2 epoch line",
       replace("> 2006 01 01 00 00  5", "  6  1  1  0  0  5.0000000  0  2G 5G12"),
       "not an epoch record"},
      {"a satellite list on the epoch record",
       replace("> 2006 01 01 00 00  5", "> 2006 01 01 00 00  5.0000000  0  2G05G12"),
       "not an epoch record"},
      {"a receiver clock offset with nine decimals",
       replace("> 2006 01 01 00 00  5", "> 2006 01 01 00 00  5.0000000  0  2         -0.123456789"),
       "receiver clock offset in columns 42-56 is not F15.12"},
      {"a satellite number without its zero",
       replace("G07", "G 7  20961540.222       28962.47949        38.000"),
       "observation record 3 of 3 does not start with a satellite"},
      {"a system without types",
       replace("G07", "R07  20961540.222       28962.47949        38.000"),
       "observation record 3 of 3 does not start with a satellite"},
      {"a fourth field",
       replace("G07", "G07  20961540.222       28962.47949        38.000         1.000"),
       "longer than its 3 fields"},
      {"TIME OF LAST OBS after the last epoch",
       header("TIME OF LAST OBS", "  2006    01    01    00    00   10.0000000     GPS"),
       "TIME OF LAST OBS differs from the last epoch"},
      {"an observation record missing at the end", [](Lines& l) { l.pop_back(); },
       "the file ends inside the observations"},
  };
  for (const Case& c : cases) {
    Lines lines = wellFormedRinex3();
    c.edit(lines);
    const ReadResult r = readObservationFile(joined(lines));
    EXPECT_NE(allProblems(r).find(c.problem), std::string::npos)
        << c.name << ": expected \"" << c.problem << "\" among:\n"
        << allProblems(r);
  }
}

TEST(RinexReader, TwoDigitYearsFollowTheRinexCentury) {
  EXPECT_EQ(fullYear(80), 1980);
  EXPECT_EQ(fullYear(99), 1999);
  EXPECT_EQ(fullYear(0), 2000);
  EXPECT_EQ(fullYear(6), 2006);
  EXPECT_EQ(fullYear(79), 2079);
}

}  // namespace
}  // namespace kapolex::physical
