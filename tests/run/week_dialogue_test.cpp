#include "run/week_dialogue.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/run_stop.hpp"
#include "run/stream_numbers.hpp"

namespace kapolex {
namespace {

struct DialogueCase {
  const char* name;
  std::string input;
  std::optional<std::int32_t> week;  // nullopt: the input ends before a week is accepted
  int prompts;
};

struct DialogueOutcome {
  std::optional<std::int32_t> week;
  std::string console;
  std::optional<RunStop> stop;
};

DialogueOutcome converse(const std::string& input) {
  ConsoleInput console = ConsoleInput::fromText(input);
  std::string shown;
  DialogueOutcome outcome;
  {
    OutputSink sink(shown, consoleOutputUnit, "CONOUT$", 64);
    try {
      outcome.week = askWeek(console, sink);
    } catch (const RunStop& stop) {
      outcome.stop = stop;
    }
    sink.flushQuietly();
  }
  outcome.console = shown;
  return outcome;
}

std::string prompts(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += " GPS week = ";
  return text;
}

TEST(WeekDialogue, AnswersAreReadInFreeForm) {
  const DialogueCase cases[] = {
      {"plain", "1380\n", 1380, 1},
      {"blanks before, words after", "   1380 other words\n", 1380, 1},
      {"tabs", "\t1380\tgps\n", 1380, 1},
      {"leading zeros and plus sign", "+0001380\n", 1380, 1},
      {"comma ends the value", "1380,7\n", 1380, 1},
      {"slash ends the value", "1380/\n", 1380, 1},
      {"last line without line end", "1380", 1380, 1},
      {"CR LF line end", "1380\r\n", 1380, 1},
      {"CR at the end of input", "1380\r", 1380, 1},
      {"CR inside the line is text", "1380\r5\n1381\n", 1381, 2},
      {"empty lines wait without a new prompt", "\n\n   \n\t\n1380\n", 1380, 1},
      {"zero asks again", "0\n1380\n", 1380, 2},
      {"negative asks again", "-5\n1380\n", 1380, 2},
      {"text asks again", "abc\n1380\n", 1380, 2},
      {"digits then text ask again", "12abc\n7\n", 7, 2},
      {"sign alone asks again", "-\n1\n", 1, 2},
      {"comma first keeps the week", ",\n1380\n", 1380, 2},
      {"slash first keeps the week", "  /1380\n1381\n", 1381, 2},
      {"kept week is still checked", "-5\n,\n1\n", 1, 3},
      {"largest week", "2147483647\n", 2147483647, 1},
      {"beyond 32 bits asks again", "2147483648\n99999999999999999999\n9\n", 9, 3},
      {"long blank run", std::string(10000, ' ') + "1380\n", 1380, 1},
      {"no input at all", "", std::nullopt, 1},
      {"only empty lines", "\n\n \r\n", std::nullopt, 1},
      {"unusable last line", "abc", std::nullopt, 2},
      {"zero then end", "0\n", std::nullopt, 2},
  };
  for (const DialogueCase& c : cases) {
    SCOPED_TRACE(c.name);
    const DialogueOutcome outcome = converse(c.input);
    EXPECT_EQ(outcome.week, c.week);
    EXPECT_EQ(outcome.console, prompts(c.prompts));
    if (!c.week) {
      ASSERT_TRUE(outcome.stop.has_value());
      EXPECT_EQ(outcome.stop->line(),
                "kapolex: severe (24): end-of-file during read, unit -4, file CONIN$");
      EXPECT_EQ(outcome.stop->exitStatus() & 0xFF, 24);
    }
  }
}

}  // namespace
}  // namespace kapolex
