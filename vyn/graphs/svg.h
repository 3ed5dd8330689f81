// Drawing primitives of the graphs: an SVG writer that escapes every text,
// keeps UTF-8 valid, and a conservative estimate of how wide a text is, so
// that labels can be shortened or wrapped before they would collide.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vyn::graphs {

// The colour-blind-safe palette (Okabe and Ito).
namespace colour {
inline constexpr const char *kBlack = "#000000";
inline constexpr const char *kOrange = "#E69F00";
inline constexpr const char *kSky = "#56B4E9";
inline constexpr const char *kGreen = "#009E73";
inline constexpr const char *kBlue = "#0072B2";
inline constexpr const char *kVermillion = "#D55E00";
inline constexpr const char *kPurple = "#CC79A7";
inline constexpr const char *kGrey = "#595959";
}  // namespace colour

// The colour of series i of a graph (blue, vermillion, green, purple, ...).
const char *seriesColour(size_t i);

// Text as XML character data: markup characters escaped, invalid UTF-8 and
// control characters replaced, so the result is safe in SVG and in HTML.
std::string xmlText(std::string_view text);

// Upper estimate of the width in pixels of text in a sans-serif font.
double textWidth(std::string_view text, double size, bool bold = false);

// The text, or as much of it as fits in maxWidth followed by an ellipsis.
std::string fitText(std::string_view text, double size, double maxWidth, bool bold = false);

// The text broken at blanks into at most maxLines lines of maxWidth; the
// last line is shortened when the text does not fit.
std::vector<std::string> wrapText(std::string_view text, double size, double maxWidth,
                                  size_t maxLines, bool bold = false);

struct Point {
  double x, y;
};

struct Stroke {
  const char *colour = colour::kBlack;
  double width = 1;
  const char *dash = nullptr;  // SVG dash array, null for a solid line
};

enum class Anchor { kStart, kMiddle, kEnd };

// One SVG document built element by element, each on its own line.
class Svg {
 public:
  Svg(double width, double height);
  double width() const { return width_; }
  double height() const { return height_; }

  void rect(double x, double y, double w, double h, const char *fill, double opacity = 1,
            const char *stroke = nullptr);
  void line(Point a, Point b, const Stroke &stroke);
  void polyline(const std::vector<Point> &points, const Stroke &stroke);
  void circle(Point c, double r, const char *colour);
  void diamond(Point c, double r, const char *colour);
  // A group of elements with a class name (a panel, the legend) and its end.
  void group(const char *name) { body_ += std::string("<g class=\"") + name + "\">\n"; }
  void endGroup() { body_ += "</g>\n"; }
  // Text with its baseline at y; vertical text reads upwards, centred on (x, y).
  void text(double x, double y, std::string_view text, double size, Anchor anchor,
            bool bold = false, bool vertical = false);

  // The finished document with its <title> and <desc>.
  std::string finish(std::string_view title, std::string_view desc) const;

 private:
  double width_, height_;
  std::string body_;
};

// A number written for SVG coordinates (two decimals, no exponent).
std::string coord(double v);

}  // namespace vyn::graphs
