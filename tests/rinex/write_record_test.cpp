#include "rinex/write_record.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "capture.hpp"
#include "rinex/layout.hpp"
#include "rinex/layouts.hpp"

namespace kapolex {
namespace {

std::string record(std::string_view layoutText, const std::vector<FieldValue>& values) {
  const std::optional<Layout> layout = parseLayout(layoutText);
  if (!layout) return "invalid layout";
  return testing::capture([&](OutputSink& sink) { writeRecord(sink, *layout, values); });
}

std::vector<FieldValue> integers(int first, int last) {
  std::vector<FieldValue> values;
  for (int v = first; v <= last; ++v) values.push_back(integerValue(v));
  return values;
}

TEST(LayoutParsing, AcceptsTheNotationAndRefusesAnythingElse) {
  std::string longLayout = "(I1";
  for (int i = 0; i < 32; ++i) longLayout += ",I1";
  longLayout += ")";
  const std::string valid[] = {
      "(A,$)",          "(5I3,F11.7,I3,I3,12('G',I2))", "(A,A,A,I4,2I2.2,I3.2,A,I2.2,A,I2.2,A,A)",
      "(I3,2('x'),I1)",  // reversion returns to the group and goes on to the I1
      "('it''s',I1)",   "(F5.0,F5.4,I99,255A)",         "('" + std::string(64, 'x') + "',I1)"};
  const std::string invalid[] = {"",
                                 "I3",
                                 "(I3",
                                 "(I3))",
                                 "(I3,)",
                                 "(,I3)",
                                 "()",
                                 "(2(),I1)",
                                 "(I0)",
                                 "(I3.0)",
                                 "(I3.4)",
                                 "(F5)",
                                 "(F5.5)",
                                 "(F100.2)",
                                 "(0I3)",
                                 "(256I3)",
                                 "(0(I3))",
                                 "(2'x',I1)",
                                 "(2$,I1)",
                                 "(2(I1,2(I1)))",  // one level of groups only
                                 "(I1,'x)",
                                 "(I1,'')",
                                 "(X3)",
                                 "(i3)",
                                 "(I 3)",
                                 "('x')",
                                 "(I3,2('x'))",
                                 "(I3,2('x'),'y')",  // values would never be used up
                                 longLayout,
                                 "('" + std::string(65, 'x') + "',I1)"};
  for (const std::string& text : valid) EXPECT_TRUE(parseLayout(text).has_value()) << text;
  for (const std::string& text : invalid) EXPECT_FALSE(parseLayout(text).has_value()) << text;
}

TEST(WriteRecord, LayoutWalk) {
  const char* const epoch = "(5I3,F11.7,I3,I3,12('G',I2))";
  std::vector<FieldValue> epochValues{integerValue(6), integerValue(1), integerValue(1),
                                      integerValue(0), integerValue(0), realValue(0.0),
                                      integerValue(0), integerValue(3)};
  const std::string head = "  6  1  1  0  0  0.0000000  0  3";
  const auto withGroupValues = [&](int count) {
    std::vector<FieldValue> values = epochValues;
    for (int v = 1; v <= count; ++v) values.push_back(integerValue(v * 2));
    return values;
  };
  struct Case {
    const char* layout;
    std::vector<FieldValue> values;
    std::string expected;
  };
  const Case cases[] = {
      // Values run out: the line ends before the next literal or value descriptor.
      {epoch, withGroupValues(0), head + "\r\n"},
      {epoch, withGroupValues(3), head + "G 2G 4G 6\r\n"},
      {epoch, withGroupValues(12), head + "G 2G 4G 6G 8G10G12G14G16G18G20G22G24\r\n"},
      // Values left at the end: a new line from the rightmost group.
      {epoch, withGroupValues(13), head + "G 2G 4G 6G 8G10G12G14G16G18G20G22G24\r\nG26\r\n"},
      {"(I2,'x',I2)", integers(1, 5), " 1x 2\r\n 3x 4\r\n 5\r\n"},  // no group: from the start
      {"(I1,2(I1),'-',2(I1))", integers(1, 9), "123-45\r\n67\r\n89\r\n"},
      {"(I3,2('x'),I1)", integers(1, 3), "  1xx2\r\nxx3\r\n"},
      {"(A,$)", {textValue(" GPS week = ")}, " GPS week = "},
      {"(A,$)", {textValue("a"), textValue("b")}, "ab"},
      {"(I1,$,I1)", integers(1, 1), "1"},       // a $ on the way takes effect
      {"(I1,'-',$)", integers(1, 1), "1\r\n"},  // but not one behind a literal
      {"(I1,2($,I1))", integers(1, 2), "12"},   // nor one that a group's repeat leads to
      {"('it''s ',A)", {textValue("x  ")}, "it's x  \r\n"},
      {"(F14.3,2I1,F14.3)",
       {realValue(123456.789), integerValue(4), integerValue(7), realValue(21234567.123)},
       "    123456.789"
       "47"
       "  21234567.123\r\n"},
      // A value of the wrong kind cannot be edited by the descriptor.
      {"(I3,A,F5.1,I1)",
       {realValue(1.0), integerValue(2), integerValue(3), integerValue(4)},
       "***"
       "*****"
       "4\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(record(c.layout, c.values), c.expected) << c.layout;
}

// A line written by plan must be the line that the layout walk writes, for
// every count of satellites the epoch line is planned for, with values that
// take the inline editors, the general ones and the asterisks.
template <LinePlan plan>
void expectPlanMatchesWalk(const Layout& layout, std::mt19937_64& random, int& mismatches) {
  std::uniform_int_distribution<int> small(-5, 120);
  std::uniform_real_distribution<double> real(-2.0e8, 2.0e10);
  std::uniform_int_distribution<int> pick(0, 9);
  for (int trial = 0; trial < 300; ++trial) {
    std::vector<FieldValue> values;
    for (std::size_t i = 0; i < plan.fieldCount; ++i) {
      const bool wrongKind = pick(random) == 0;
      const bool fixed = plan.fields[i].kind == DescriptorKind::fixed;
      if (fixed != wrongKind) {
        values.push_back(realValue(pick(random) < 3 ? real(random) * 1e-9 : real(random)));
      } else {
        values.push_back(integerValue(small(random)));
      }
    }
    const std::string walked =
        testing::capture([&](OutputSink& sink) { writeRecord(sink, layout, values); });
    const std::string planned =
        testing::capture([&](OutputSink& sink) { writePlannedLine<plan>(sink, values); });
    if (planned != walked && ++mismatches <= 10) {
      ADD_FAILURE() << plan.fieldCount << " values: \"" << planned << "\" != \"" << walked << "\"";
    }
  }
}

template <std::size_t... satellites>
void expectEpochPlansMatchWalk(std::index_sequence<satellites...>, std::mt19937_64& random,
                               int& mismatches) {
  (expectPlanMatchesWalk<planLine(epochLayout, 8 + satellites)>(epochLayout, random, mismatches),
   ...);
}

TEST(WriteRecord, PlannedLinesMatchTheLayoutWalk) {
  std::mt19937_64 random(2006);
  int mismatches = 0;
  expectEpochPlansMatchWalk(std::make_index_sequence<13>{}, random, mismatches);
  expectPlanMatchesWalk<planLine(observationLayout, 4)>(observationLayout, random, mismatches);
  EXPECT_EQ(mismatches, 0);
}

TEST(WriteRecord, PlannedLineKeepsTheLayoutsLiteralsAndLineEnd) {
  constexpr LinePlan epochPlan = planLine(epochLayout, 8 + 2);
  EXPECT_EQ(std::string(epochPlan.text.data(), epochPlan.length),
            std::string(32, ' ') + "G  G  \r\n");
  EXPECT_EQ(epochPlan.fieldCount, 10);
  EXPECT_EQ(epochPlan.fields[5].column, 15);
  EXPECT_EQ(epochPlan.fields[9].column, 36);
  // A $ on the way takes effect, one behind a literal does not.
  constexpr LinePlan openPlan = planLine(parseLayout("(I2,$,'x')").value(), 1);
  EXPECT_EQ(std::string(openPlan.text.data(), openPlan.length), "  ");
  constexpr LinePlan closedPlan = planLine(parseLayout("(I2,'x',$)").value(), 1);
  EXPECT_EQ(std::string(closedPlan.text.data(), closedPlan.length), "  \r\n");
}

}  // namespace
}  // namespace kapolex
