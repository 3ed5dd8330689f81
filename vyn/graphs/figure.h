// A figure: panels stacked over one shared horizontal axis, each with its
// own vertical axis and marks in data coordinates, a wrapped title and a
// legend. Laying it out (ranges, nice ticks, margins that fit the labels)
// and drawing it as SVG is the job of render().
#pragma once

#include <cmath>
#include <string>
#include <variant>
#include <vector>

#include "vyn/graphs/stats.h"
#include "vyn/graphs/svg.h"

namespace vyn::graphs {

// Histogram bars between consecutive edges.
struct Bars {
  std::vector<double> edges, heights;
};
// A curve or a straight line.
struct Line {
  std::vector<Point> points;
  Stroke stroke;
};
// Open circles, one per observation.
struct Dots {
  std::vector<Point> points;
  const char *colour;
};
// A filled diamond: a mean.
struct Marker {
  Point at;
  const char *colour;
};
// A horizontal box plot centred on row y, with its mean.
struct BoxMark {
  BoxStats stats;
  double mean, y;
};
// A reference line across the panel at a value of one axis.
struct Rule {
  bool vertical;
  double at;
  Stroke stroke;
};
// A shaded vertical band; a band that does not widen the axis may run past
// the view and is cut at the panel's edge.
struct Band {
  double lo, hi;
  const char *colour;
  bool widensAxis;
};
// A horizontal interval on row y; an open end is drawn as an arrow.
struct IntervalMark {
  double y, lo, hi, mean;
  bool openLow, openHigh;
  const char *colour;
};
using Mark = std::variant<Bars, Line, Dots, Marker, BoxMark, Rule, Band, IntervalMark>;

struct Panel {
  std::string caption;                  // above the panel, may be empty
  std::string yLabel;                   // along the vertical axis, may be empty
  std::vector<std::string> categories;  // rows 1..k from the top; empty: numeric axis
  double weight = 1;                    // share of the height
  bool square = false;                  // the same range on both axes
  bool zeroBased = false;               // the vertical axis starts at 0
  std::vector<Mark> marks;
};

struct LegendItem {
  enum Kind { kFill, kLine, kCircle, kDiamond } kind;
  std::string text;
  const char *colour;
  const char *dash = nullptr;
  double width = 2;
};

struct Figure {
  std::string title, desc, xLabel;
  std::vector<std::string> xCategories;  // columns 1..k; empty: numeric axis
  double viewMin = NAN, viewMax = NAN;   // fixed ends of the horizontal axis
  std::vector<Panel> panels;
  std::vector<LegendItem> legend;
};

// Font sizes and text box rules shared with whoever checks the layout.
inline constexpr double kTitleSize = 14, kLabelSize = 12, kTickSize = 11, kLegendSize = 11;

std::string render(const Figure &figure);

// A valid document that says there is nothing to draw.
std::string renderEmpty(const std::string &title, const std::string &desc);

}  // namespace vyn::graphs
