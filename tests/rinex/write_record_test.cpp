#include "rinex/write_record.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "capture.hpp"
#include "rinex/layout.hpp"
#include "rinex/layouts.hpp"

namespace kapolex {
namespace {

// Layout texts with whether the notation accepts them; judged while
// compiling, reported here one by one.
struct LayoutText {
  std::string_view text;
  bool valid;
};
constexpr LayoutText layoutTexts[] = {
    {"(A,$)", true},
    {"(5I3,F11.7,I3,I3,12('G',I2))", true},
    {"(A,A,A,I4,2I2.2,I3.2,A,I2.2,A,I2.2,A,A)", true},
    {"(I3,2('x'),I1)", true},  // reversion returns to the group and goes on to the I1
    {"('it''s',I1)", true},
    {"(F5.0,F5.4,I20,255A)", true},
    {"(F20.9,I1)", true},
    {"", false},
    {"I3", false},
    {"(I3", false},
    {"(I3))", false},
    {"(I3,)", false},
    {"(,I3)", false},
    {"()", false},
    {"(2(),I1)", false},
    {"(I0)", false},
    {"(I3.0)", false},
    {"(I3.4)", false},
    {"(F5)", false},
    {"(F5.5)", false},
    {"(I21)", false},
    {"(F21.2)", false},
    {"(F20.10)", false},
    {"(0I3)", false},
    {"(256I3)", false},
    {"(0(I3))", false},
    {"(2'x',I1)", false},
    {"(2$,I1)", false},
    {"(2(I1,2(I1)))", false},  // one level of groups only
    {"(I1,'x)", false},
    {"(I1,'')", false},
    {"(X3)", false},
    {"(i3)", false},
    {"(I 3)", false},
    {"('x')", false},
    {"(I3,2('x'))", false},
    {"(I3,2('x'),'y')", false},  // values would never be used up
    {"(I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,I1,"
     "I1,I1,I1,I1)",
     false},  // more descriptors than a layout holds
    {"('xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx',I1)", false},
};
constexpr auto layoutVerdicts = []() consteval {
  std::array<bool, std::size(layoutTexts)> verdicts{};
  for (std::size_t i = 0; i < verdicts.size(); ++i) verdicts[i] = isLayout(layoutTexts[i].text);
  return verdicts;
}
();

TEST(LayoutParsing, AcceptsTheNotationAndRefusesAnythingElse) {
  for (std::size_t i = 0; i < std::size(layoutTexts); ++i) {
    EXPECT_EQ(layoutVerdicts[i], layoutTexts[i].valid) << layoutTexts[i].text;
  }
}

constexpr Layout twoIntegers = layoutOf("(I2,'x',I2)");
constexpr Layout twoGroups = layoutOf("(I1,2(I1),'-',2(I1))");
constexpr Layout literalGroup = layoutOf("(I3,2('x'),I1)");
constexpr Layout openAtEnd = layoutOf("(I1,$,I1)");
constexpr Layout closedBehindLiteral = layoutOf("(I1,'-',$)");
constexpr Layout openInGroup = layoutOf("(I1,2($,I1))");
constexpr Layout quoted = layoutOf("('it''s ',A)");
constexpr Layout mixed = layoutOf("(I3,A,F5.1,I1)");

template <const Layout& layout, class... Values>
std::string record(const Values&... values) {
  return testing::capture([&](OutputSink& sink) { writeRecord<layout>(sink, values...); });
}

template <int count>
std::string epochWithGroupValues() {
  return [&]<int... v>(std::integer_sequence<int, v...>) {
    return record<epochLayout>(6, 1, 1, 0, 0, 0.0, 0, 3, (v + 1) * 2 ...);
  }
  (std::make_integer_sequence<int, count>{});
}

TEST(WriteRecord, LayoutRules) {
  const std::string head = "  6  1  1  0  0  0.0000000  0  3";
  struct Case {
    std::string written;
    std::string expected;
  };
  const Case cases[] = {
      // Values run out: the line ends before the next literal or value descriptor.
      {epochWithGroupValues<0>(), head + "\r\n"},
      {epochWithGroupValues<3>(), head + "G 2G 4G 6\r\n"},
      {epochWithGroupValues<12>(), head + "G 2G 4G 6G 8G10G12G14G16G18G20G22G24\r\n"},
      // Values left at the end: a new line from the rightmost group.
      {epochWithGroupValues<13>(), head + "G 2G 4G 6G 8G10G12G14G16G18G20G22G24\r\nG26\r\n"},
      {record<twoIntegers>(1, 2, 3, 4, 5), " 1x 2\r\n 3x 4\r\n 5\r\n"},  // no group: from the start
      {record<twoGroups>(1, 2, 3, 4, 5, 6, 7, 8, 9), "123-45\r\n67\r\n89\r\n"},
      {record<literalGroup>(1, 2, 3), "  1xx2\r\nxx3\r\n"},
      {record<promptLayout>(std::string_view(" GPS week = ")), " GPS week = "},
      {record<promptLayout>("a", "b"), "ab"},
      {record<openAtEnd>(1), "1"},                // a $ on the way takes effect
      {record<closedBehindLiteral>(1), "1\r\n"},  // but not one behind a literal
      {record<openInGroup>(1, 2), "12"},          // nor one that a group's repeat leads to
      {record<quoted>("x  "), "it's x  \r\n"},
      {record<mixed>(-7, std::string("ab"), 2.25, std::int64_t{9}), " -7ab  2.29\r\n"},
      {record<observationLayout>(123456.789, 4, 7, 21234567.123),
       "    123456.789"
       "47"
       "  21234567.123\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.written, c.expected);
}

// A value of the wrong kind for its descriptor, or more values than a
// record can take, does not compile.
static_assert(RecordOf<observationLayout, double, int, int, double>);
static_assert(!RecordOf<observationLayout, int, int, int, double>);
static_assert(!RecordOf<observationLayout, double, double, int, double>);
static_assert(!RecordOf<observationLayout, double, int, int, float>);
static_assert(!RecordOf<headerLineLayout, std::string_view, int>);
static_assert(!RecordOf<headerLineLayout, std::string_view, char>);
static_assert(!RecordOf<headerLineLayout, std::string_view, bool>);
static_assert(RecordOf<headerLineLayout, std::string_view, const char*>);
static_assert(!RecordOf<promptLayout>);

TEST(WriteRecord, SinksTooSmallForALineGetTheSameBytes) {
  const auto epochLine = [](OutputSink& sink) {
    writeRecord<epochLayout>(sink, 6, 12, 31, 23, 59, 55.0000001, 0, 12, 1, 2, 3, 4, 5, 6, 7, 8, 9,
                             10, 11, 12);
  };
  std::string small;
  {
    OutputSink sink(small, 2, "z.obs", 16);
    epochLine(sink);
    sink.flush();
  }
  EXPECT_EQ(small, "  6 12 31 23 59 55.0000001  0 12G 1G 2G 3G 4G 5G 6G 7G 8G 9G10G11G12\r\n");
  EXPECT_EQ(testing::capture(epochLine), small);
}

TEST(WriteRecord, PlanKeepsTheLayoutsLiteralsAndLineEnd) {
  constexpr std::array<ValueKind, 10> epochKinds{
      ValueKind::integer, ValueKind::integer, ValueKind::integer, ValueKind::integer,
      ValueKind::integer, ValueKind::real,    ValueKind::integer, ValueKind::integer,
      ValueKind::integer, ValueKind::integer};
  constexpr RecordPlan epochPlan = planRecord(epochLayout, epochKinds);
  EXPECT_EQ(epochPlan.error, nullptr);
  EXPECT_EQ(epochPlan.segmentCount, 1);
  EXPECT_EQ(std::string(epochPlan.text.data(), epochPlan.textLength),
            std::string(32, ' ') + "G  G  \r\n");
  EXPECT_EQ(epochPlan.fieldCount, 10);
  EXPECT_EQ(epochPlan.fields[5].column, 15);
  EXPECT_EQ(epochPlan.fields[9].column, 36);

  // Text values split the record into segments around them.
  constexpr std::array<ValueKind, 2> twoTexts{ValueKind::text, ValueKind::text};
  constexpr RecordPlan headerPlan = planRecord(headerLineLayout, twoTexts);
  EXPECT_EQ(headerPlan.segmentCount, 3);
  EXPECT_EQ(headerPlan.segments[0].textValue, 0);
  EXPECT_EQ(headerPlan.segments[1].textValue, 1);
  EXPECT_EQ(std::string(headerPlan.text.data(), headerPlan.textLength), "\r\n");

  constexpr std::array<ValueKind, 1> oneReal{ValueKind::real};
  EXPECT_NE(planRecord(twoIntegers, oneReal).error, nullptr);
}

}  // namespace
}  // namespace kapolex
