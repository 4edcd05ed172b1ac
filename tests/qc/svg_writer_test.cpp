#include "qc/svg_writer.hpp"

#include <gtest/gtest.h>

#include <string>

namespace kapolex {
namespace {

TEST(SvgWriter, NumbersToATenthWithoutNeedlessDigits) {
  struct Case {
    double value;
    const char* text;
  };
  const Case cases[] = {{0.0, "0"},       {-0.0, "0"},     {12.0, "12"}, {-12.0, "-12"},
                        {1096.0, "1096"}, {0.6, "0.6"},    {1.2, "1.2"}, {0.45, "0.5"},
                        {0.35, "0.3"},    {12.25, "12.2"}, {-0.04, "0"}, {-0.06, "-0.1"},
                        {99.95, "100"},   {1e-20, "0"},    {2.96, "3"}};
  for (const Case& c : cases) EXPECT_EQ(svgNumber(c.value), c.text) << c.value;
}

TEST(SvgWriter, PathData) {
  struct Case {
    std::string data;
    const char* text;
  };
  const Case cases[] = {
      {pathPoint('M', 64, 12.25), "M64 12.2"},
      {pathCoordinate('v', -5), "v-5"},
      {rectanglePath(10, 20.5, 3.25, 4), "M10 20.5h3.2v4h-3.2z"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.data, c.text);
}

TEST(SvgWriter, TextIsEscaped) {
  struct Case {
    const char* text;
    const char* escaped;
  };
  const Case cases[] = {{"", ""},
                        {"C/N0 (dB-Hz): 45", "C/N0 (dB-Hz): 45"},
                        {"<20", "&lt;20"},
                        {"a > b & c", "a &gt; b &amp; c"},
                        {"&lt;", "&amp;lt;"}};
  for (const Case& c : cases) EXPECT_EQ(xmlEscaped(c.text), c.escaped) << c.text;
}

TEST(SvgWriter, Elements) {
  struct Case {
    std::string element;
    const char* text;
  };
  const Case cases[] = {
      {pathElement("", fillAttribute("#000000")), ""},
      {pathElement("M1 2h3", fillAttribute("#000000")), "<path d=\"M1 2h3\" fill=\"#000000\"/>\n"},
      {pathElement("M1 2V9", strokeAttribute("#444444", 0.6)),
       "<path d=\"M1 2V9\" stroke=\"#444444\" stroke-width=\"0.6\"/>\n"},
      {textElement(58, 75, "G01"), "<text x=\"58\" y=\"75\">G01</text>\n"},
      {textElement(4.25, 8, "<20", "font-size=\"14\""),
       "<text x=\"4.2\" y=\"8\" font-size=\"14\">&lt;20</text>\n"},
      {groupElement("text-anchor=\"end\"", "<text/>\n"),
       "<g text-anchor=\"end\">\n<text/>\n</g>\n"},
      {textOnlyElement("desc", "2 satellites & 3 bins"),
       "<desc>2 satellites &amp; 3 bins</desc>\n"},
      {backgroundElement("#ffffff"), "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n"},
      {svgStart(1200, 480.5, "font-size=\"11\""),
       "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
       "version=\"1.1\" width=\"1200\" height=\"480.5\" viewBox=\"0 0 1200 480.5\" "
       "font-size=\"11\">\n"},
      {svgEnd(), "</svg>\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.element, c.text);
}

}  // namespace
}  // namespace kapolex
