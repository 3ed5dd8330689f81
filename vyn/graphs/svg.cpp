// The SVG writer: escaping, text measurement and the elements the graphs use.
#include "vyn/graphs/svg.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "vyn/core/utf8.h"

namespace vyn::graphs {
namespace {

constexpr const char *kEllipsis = "\u2026";

// Width of one character in ems, generous for the wide letters of common
// sans-serif fonts, so that estimates err on the wide side.
double charEms(std::string_view ch) {
  if (ch.size() > 1) return 1.0;
  const char c = ch[0];
  if (std::strchr("ijl.,:;'|!()[] ", c)) return 0.36;
  if (std::strchr("frt-", c)) return 0.46;
  if (std::strchr("mwMW@%", c)) return 1.06;
  if (c >= 'A' && c <= 'Z') return 0.8;
  if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return 0.65;
  return 0.72;
}

// The characters of text, each a valid UTF-8 sequence or U+FFFD.
std::vector<std::string_view> characters(std::string_view text) {
  std::vector<std::string_view> out;
  for (size_t i = 0; i < text.size();) {
    const size_t n = utf8Length(text.substr(i));
    out.push_back(n ? text.substr(i, n) : std::string_view("\uFFFD"));
    i += n ? n : 1;
  }
  return out;
}

std::string attribute(const char *name, const std::string &value) {
  return std::string(" ") + name + "=\"" + value + "\"";
}

std::string strokeAttributes(const Stroke &s) {
  std::string out = attribute("stroke", s.colour) + attribute("stroke-width", coord(s.width));
  if (s.dash) out += attribute("stroke-dasharray", s.dash);
  return out;
}

}  // namespace

const char *seriesColour(size_t i) {
  static constexpr const char *kSeries[] = {colour::kBlue,   colour::kVermillion, colour::kGreen,
                                            colour::kPurple, colour::kOrange,     colour::kSky};
  return kSeries[i % std::size(kSeries)];
}

std::string xmlText(std::string_view text) {
  std::string out;
  for (std::string_view ch : characters(text)) {
    switch (ch[0]) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += static_cast<unsigned char>(ch[0]) < 0x20 ? std::string_view(" ") : ch;
    }
  }
  return out;
}

double textWidth(std::string_view text, double size, bool bold) {
  double ems = 0;
  for (std::string_view ch : characters(text)) ems += charEms(ch);
  return ems * size * (bold ? 1.1 : 1.0);
}

std::string fitText(std::string_view text, double size, double maxWidth, bool bold) {
  if (textWidth(text, size, bold) <= maxWidth) return std::string(text);
  std::string out;
  double used = textWidth(kEllipsis, size, bold);
  for (std::string_view ch : characters(text)) {
    used += charEms(ch) * size * (bold ? 1.1 : 1.0);
    if (used > maxWidth) break;
    out += ch;
  }
  return out + kEllipsis;
}

std::vector<std::string> wrapText(std::string_view text, double size, double maxWidth,
                                  size_t maxLines, bool bold) {
  std::vector<std::string> lines;
  std::string line;
  size_t pos = 0;
  while (pos < text.size() && lines.size() + 1 < maxLines) {
    const size_t end = std::min(text.find(' ', pos), text.size());
    const std::string word(text.substr(pos, end - pos));
    const std::string joined = line.empty() ? word : line + " " + word;
    if (!line.empty() && textWidth(joined, size, bold) > maxWidth) {
      lines.push_back(fitText(line, size, maxWidth, bold));
      line.clear();
      continue;
    }
    line = joined;
    pos = end + 1;
  }
  std::string rest = line;
  if (pos < text.size()) rest += (rest.empty() ? "" : " ") + std::string(text.substr(pos));
  if (!rest.empty() || lines.empty()) lines.push_back(fitText(rest, size, maxWidth, bold));
  return lines;
}

std::string coord(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", std::isfinite(v) ? v : 0.0);
  return std::strcmp(buf, "-0.00") == 0 ? "0.00" : buf;
}

Svg::Svg(double width, double height) : width_(width), height_(height) {}

void Svg::rect(double x, double y, double w, double h, const char *fill, double opacity,
               const char *stroke) {
  body_ += "<rect" + attribute("x", coord(x)) + attribute("y", coord(y)) +
           attribute("width", coord(std::max(w, 0.0))) +
           attribute("height", coord(std::max(h, 0.0))) + attribute("fill", fill);
  if (opacity < 1) body_ += attribute("fill-opacity", coord(opacity));
  if (stroke) body_ += attribute("stroke", stroke);
  body_ += "/>\n";
}

void Svg::line(Point a, Point b, const Stroke &stroke) {
  body_ += "<line" + attribute("x1", coord(a.x)) + attribute("y1", coord(a.y)) +
           attribute("x2", coord(b.x)) + attribute("y2", coord(b.y)) + strokeAttributes(stroke) +
           "/>\n";
}

void Svg::polyline(const std::vector<Point> &points, const Stroke &stroke) {
  std::string list;
  for (const Point &p : points) list += (list.empty() ? "" : " ") + coord(p.x) + "," + coord(p.y);
  body_ += "<polyline" + attribute("points", list) + attribute("fill", "none") +
           strokeAttributes(stroke) + "/>\n";
}

void Svg::circle(Point c, double r, const char *colour) {
  body_ += "<circle" + attribute("cx", coord(c.x)) + attribute("cy", coord(c.y)) +
           attribute("r", coord(r)) + attribute("fill", "none") + attribute("stroke", colour) +
           "/>\n";
}

void Svg::diamond(Point c, double r, const char *colour) {
  body_ += "<path" +
           attribute("d", "M" + coord(c.x) + "," + coord(c.y - r) + "L" + coord(c.x + r) + "," +
                              coord(c.y) + "L" + coord(c.x) + "," + coord(c.y + r) + "L" +
                              coord(c.x - r) + "," + coord(c.y) + "Z") +
           attribute("fill", colour) + attribute("stroke", "#FFFFFF") + "/>\n";
}

void Svg::text(double x, double y, std::string_view text, double size, Anchor anchor, bool bold,
               bool vertical) {
  static constexpr const char *kAnchors[] = {"start", "middle", "end"};
  body_ += "<text" + attribute("x", coord(x)) + attribute("y", coord(y)) +
           attribute("font-size", coord(size)) +
           attribute("text-anchor", kAnchors[static_cast<int>(anchor)]);
  if (bold) body_ += attribute("font-weight", "bold");
  if (vertical) body_ += attribute("transform", "rotate(-90 " + coord(x) + " " + coord(y) + ")");
  body_ += ">" + xmlText(text) + "</text>\n";
}

std::string Svg::finish(std::string_view title, std::string_view desc) const {
  return "<svg xmlns=\"http://www.w3.org/2000/svg\"" + attribute("width", coord(width_)) +
         attribute("height", coord(height_)) +
         attribute("viewBox", "0 0 " + coord(width_) + " " + coord(height_)) +
         " role=\"img\" font-family=\"DejaVu Sans, Arial, Helvetica, sans-serif\">\n<title>" +
         xmlText(title) + "</title>\n<desc>" + xmlText(desc) + "</desc>\n<rect" +
         attribute("width", coord(width_)) + attribute("height", coord(height_)) +
         " fill=\"#FFFFFF\"/>\n" + body_ + "</svg>\n";
}

}  // namespace vyn::graphs
