// The pieces of an SVG 1.1 document as text: elements, attributes and path
// data. Coordinates are written to a tenth of a pixel, so that the same
// figures always give the same bytes and a drawing of many marks stays
// small. It knows nothing of what is drawn.
#pragma once

#include <string>

namespace kapolex {

// A coordinate or length to a tenth of a pixel, rounded as its binary value
// lies, without a trailing ".0" or a minus sign on zero: 12 is "12", 0.45 is
// "0.5", 0.35 is "0.3", -0.04 is "0".
std::string svgNumber(double value);

// Path data: a command with a point, "M12 3.5".
std::string pathPoint(char command, double x, double y);

// Path data: a command with one coordinate, "V40" or "h-12".
std::string pathCoordinate(char command, double value);

// Path data: the closed subpath of a rectangle from its top left corner.
std::string rectanglePath(double x, double y, double width, double height);

// The paint that draws nothing: the fill of a line or an outline.
constexpr const char* noPaint = "none";

// fill="colour".
std::string fillAttribute(const char* colour);

// stroke="colour", and stroke-width="width" when given.
std::string strokeAttribute(const char* colour);
std::string strokeAttribute(const char* colour, double width);

// The text with the characters XML reserves replaced by their entities.
std::string xmlEscaped(const std::string& text);

// A path element on a line of its own; nothing for empty path data, which
// SVG renderers reject.
std::string pathElement(const std::string& data, const std::string& attributes);

// A text element at (x, y), the text escaped.
std::string textElement(double x, double y, const std::string& text,
                        const std::string& attributes = "");

// A group element around elements that share its attributes.
std::string groupElement(const std::string& attributes, const std::string& elements);

// An element that holds only text, as title and desc do.
std::string textOnlyElement(const char* name, const std::string& text);

// A rectangle that covers the whole drawing, under everything else.
std::string backgroundElement(const char* colour);

// The XML declaration and the start of the svg element of a drawing of this
// size in pixels, its view box the same, with further attributes.
std::string svgStart(double width, double height, const std::string& attributes);

// The end of the svg element.
std::string svgEnd();

}  // namespace kapolex
