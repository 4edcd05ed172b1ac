#include "qc/svg_writer.hpp"

#include "qc/report_format.hpp"

namespace kapolex {

std::string svgNumber(double value) {
  std::string text = fixedDecimal(value, 1);
  if (text.ends_with(".0")) text.resize(text.size() - 2);
  return text == "-0" ? "0" : text;
}

std::string pathPoint(char command, double x, double y) {
  std::string text(1, command);
  text += svgNumber(x);
  text += ' ';
  text += svgNumber(y);
  return text;
}

std::string pathCoordinate(char command, double value) {
  std::string text(1, command);
  text += svgNumber(value);
  return text;
}

std::string rectanglePath(double x, double y, double width, double height) {
  return joined(pathPoint('M', x, y), pathCoordinate('h', width), pathCoordinate('v', height),
                pathCoordinate('h', -width), "z");
}

std::string fillAttribute(const char* colour) {
  return joined("fill=\"", colour, "\"");
}

std::string strokeAttribute(const char* colour) {
  return joined("stroke=\"", colour, "\"");
}

std::string strokeAttribute(const char* colour, double width) {
  return joined(strokeAttribute(colour), " stroke-width=\"", svgNumber(width), "\"");
}

std::string xmlEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '&') {
      out += "&amp;";
    } else {
      out += c;
    }
  }
  return out;
}

std::string pathElement(const std::string& data, const std::string& attributes) {
  return data.empty() ? "" : joined("<path d=\"", data, "\" ", attributes, "/>\n");
}

std::string textElement(double x, double y, const std::string& text,
                        const std::string& attributes) {
  return joined("<text x=\"", svgNumber(x), "\" y=\"", svgNumber(y), "\"",
                attributes.empty() ? "" : " ", attributes, ">", xmlEscaped(text), "</text>\n");
}

std::string groupElement(const std::string& attributes, const std::string& elements) {
  return joined("<g ", attributes, ">\n", elements, "</g>\n");
}

std::string textOnlyElement(const char* name, const std::string& text) {
  return joined("<", name, ">", xmlEscaped(text), "</", name, ">\n");
}

std::string backgroundElement(const char* colour) {
  return joined("<rect width=\"100%\" height=\"100%\" ", fillAttribute(colour), "/>\n");
}

std::string svgStart(double width, double height, const std::string& attributes) {
  const std::string across = svgNumber(width);
  const std::string down = svgNumber(height);
  return joined("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n",
                "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"", across,
                "\" height=\"", down, "\" viewBox=\"0 0 ", across, " ", down, "\" ", attributes,
                ">\n");
}

std::string svgEnd() {
  return "</svg>\n";
}

}  // namespace kapolex
