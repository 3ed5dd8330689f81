// Layout and drawing of a figure. Every text gets a box by the estimate of
// svg.h and the layout keeps those boxes apart: margins grow to the widest
// tick or category label, ticks are thinned until their labels fit, long
// texts are shortened or wrapped.
#include "vyn/graphs/figure.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace vyn::graphs {
namespace {

constexpr double kWidth = 640, kEdge = 8, kTick = 5, kPanelGap = 10, kCaptionHeight = 16;
constexpr double kLegendRow = 18, kMaxCategoryWidth = 200, kDotRadius = 3.5;
constexpr double kPixelsPerWeight = 240, kMinHeight = 240, kMaxHeight = 800;

template <class... F>
struct Overloaded : F... {
  using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

struct Range {
  double lo = INFINITY, hi = -INFINITY;
  void add(double v) {
    if (std::isfinite(v)) lo = std::min(lo, v), hi = std::max(hi, v);
  }
  void add(const Range &r) { add(r.lo), add(r.hi); }
  bool empty() const { return lo > hi; }
};

struct Extent {
  Range x, y;
};

void addExtent(const Mark &mark, Extent &e) {
  std::visit(Overloaded{
                 [&](const Bars &b) {
                   for (double v : b.edges) e.x.add(v);
                   for (double v : b.heights) e.y.add(v);
                 },
                 [&](const Line &l) {
                   for (const Point &p : l.points) e.x.add(p.x), e.y.add(p.y);
                 },
                 [&](const Dots &d) {
                   for (const Point &p : d.points) e.x.add(p.x), e.y.add(p.y);
                 },
                 [&](const Marker &m) { e.x.add(m.at.x), e.y.add(m.at.y); },
                 [&](const BoxMark &b) {
                   e.x.add(b.stats.lowWhisker), e.x.add(b.stats.highWhisker), e.x.add(b.mean);
                   for (double v : b.stats.outliers) e.x.add(v);
                 },
                 [&](const Rule &r) { (r.vertical ? e.x : e.y).add(r.at); },
                 [&](const Band &b) {
                   if (b.widensAxis) e.x.add(b.lo), e.x.add(b.hi);
                 },
                 [&](const IntervalMark &i) { e.x.add(i.lo), e.x.add(i.hi), e.x.add(i.mean); },
             },
             mark);
}

Extent panelExtent(const Panel &p) {
  Extent e;
  for (const Mark &m : p.marks) addExtent(m, e);
  if (p.square) e.x.add(e.y), e.y = e.x;
  return e;
}

// A numeric or category axis mapped onto pixels.
struct Scale {
  double lo = 0, hi = 1, pxLo = 0, pxHi = 1;
  std::vector<double> ticks;
  std::vector<std::string> labels;
  double operator()(double v) const { return pxLo + (v - lo) / (hi - lo) * (pxHi - pxLo); }
  double pxMin() const { return std::min(pxLo, pxHi); }
  double pxMax() const { return std::max(pxLo, pxHi); }
  double clamp(double px) const { return std::clamp(px, pxMin(), pxMax()); }
};

// The axis range: the data padded by 5%, a single value widened, and the
// fixed ends of the view taking precedence.
void setDomain(Scale &s, Range r, bool zeroBased, double viewMin, double viewMax) {
  if (r.empty()) r = {0, 1};
  if (!std::isfinite(r.hi - r.lo)) r = {0.4 * r.lo, 0.4 * r.hi};  // keeps the width a double
  if (r.hi - r.lo <= 1e-12 * std::max(std::fabs(r.lo), std::fabs(r.hi))) {
    const double d = std::max(std::fabs(r.lo) * 0.1, 1.0);
    r = {r.lo - d, r.hi + d};
  }
  const double pad = 0.05 * (r.hi - r.lo);
  s.lo = zeroBased ? 0 : std::isfinite(viewMin) ? viewMin : r.lo - pad;
  s.hi = std::isfinite(viewMax) ? viewMax : r.hi + pad;
}

// Tick labels with the fewest decimals that still tell the ticks apart.
std::vector<std::string> tickLabels(const std::vector<double> &ticks) {
  const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1;
  double largest = 0;
  for (double t : ticks) largest = std::max(largest, std::fabs(t));
  const bool exponent = largest >= 1e7 || (largest > 0 && step < 1e-5);
  int decimals = 0;
  while (!exponent && decimals < 8 &&
         std::fabs(std::round(step * std::pow(10, decimals)) - step * std::pow(10, decimals)) >
             1e-6 * step * std::pow(10, decimals))
    ++decimals;
  std::vector<std::string> out;
  for (double t : ticks) {
    char buf[40];
    if (exponent) {
      std::snprintf(buf, sizeof buf, "%.3g", t);
    } else {
      std::snprintf(buf, sizeof buf, "%.*f", decimals, t);
    }
    out.push_back(std::string(buf) == "-0" ? "0" : buf);
  }
  return out;
}

// Nice ticks inside the domain, thinned until neighbours are `spacing`
// pixels apart plus the larger of their label widths when `across`.
void setTicks(Scale &s, double spacing, bool across) {
  const double lengthPx = s.pxMax() - s.pxMin();
  for (int n = std::max(2, int(lengthPx / 60)); n >= 1; --n) {
    s.ticks.clear();
    const double eps = 1e-9 * (s.hi - s.lo);
    for (double t : prettyBreaks(s.lo, s.hi, n, 1))
      if (t >= s.lo - eps && t <= s.hi + eps) s.ticks.push_back(t);
    s.labels = tickLabels(s.ticks);
    bool fits = true;
    for (size_t i = 1; i < s.ticks.size() && fits; ++i) {
      const double need = spacing + (across ? std::max(textWidth(s.labels[i], kTickSize),
                                                       textWidth(s.labels[i - 1], kTickSize))
                                            : 0);
      fits = std::fabs(s(s.ticks[i]) - s(s.ticks[i - 1])) >= need;
    }
    if (fits) return;
  }
  s.ticks.resize(std::min<size_t>(s.ticks.size(), 1));
  s.labels.resize(s.ticks.size());
}

void setCategories(Scale &s, const std::vector<std::string> &names) {
  s.lo = 0.5, s.hi = names.size() + 0.5;
  s.labels = names;
  for (size_t i = 0; i < names.size(); ++i) s.ticks.push_back(double(i + 1));
}

double widestLabel(const std::vector<std::string> &labels) {
  double w = 0;
  for (const std::string &l : labels) w = std::max(w, textWidth(l, kTickSize));
  return w;
}

struct LegendSlot {
  double x, y;
  const LegendItem *item;
  std::string text;
};

std::vector<LegendSlot> layoutLegend(const std::vector<LegendItem> &items, double top) {
  std::vector<LegendSlot> slots;
  double x = kEdge, y = top;
  for (const LegendItem &item : items) {
    const std::string text = fitText(item.text, kLegendSize, kWidth / 2);
    const double w = 24 + textWidth(text, kLegendSize) + 16;
    if (x > kEdge && x + w > kWidth - kEdge) x = kEdge, y += kLegendRow;
    slots.push_back({x, y, &item, text});
    x += w;
  }
  return slots;
}

void drawLegend(Svg &svg, const std::vector<LegendSlot> &slots) {
  if (slots.empty()) return;
  svg.group("legend");
  for (const LegendSlot &s : slots) {
    const double mid = s.y + kLegendRow / 2;
    const LegendItem &it = *s.item;
    switch (it.kind) {
      case LegendItem::kFill:
        svg.rect(s.x + 3, mid - 5, 14, 10, it.colour, 0.5, it.colour);
        break;
      case LegendItem::kLine:
        svg.line({s.x, mid}, {s.x + 20, mid}, {it.colour, it.width, it.dash});
        break;
      case LegendItem::kCircle:
        svg.circle({s.x + 10, mid}, kDotRadius, it.colour);
        break;
      case LegendItem::kDiamond:
        svg.diamond({s.x + 10, mid}, 5, it.colour);
        break;
    }
    svg.text(s.x + 24, mid + 0.35 * kLegendSize, s.text, kLegendSize, Anchor::kStart);
  }
  svg.endGroup();
}

void drawArrow(Svg &svg, Point tip, double dir, const char *colour) {
  svg.polyline({{tip.x - dir * 7, tip.y - 5}, tip, {tip.x - dir * 7, tip.y + 5}}, {colour, 1.5});
}

// One circle per point, but none where an identical one is already drawn:
// large samples would otherwise repeat the same pixels many times over.
void drawDots(Svg &svg, const Dots &d, const Scale &x, const Scale &y) {
  std::set<std::pair<long, long>> drawn;
  for (const Point &p : d.points) {
    const Point at{x.clamp(x(p.x)), y.clamp(y(p.y))};
    if (drawn.insert({std::lround(at.x * 4), std::lround(at.y * 4)}).second)
      svg.circle(at, kDotRadius, d.colour);
  }
}

void drawBox(Svg &svg, const BoxMark &b, const Scale &x, const Scale &y) {
  const double cy = y(b.y), half = std::min(22.0, 0.3 * std::fabs(y(1) - y(0)));
  const BoxStats &s = b.stats;
  const Stroke ink{colour::kBlack, 1};
  svg.line({x.clamp(x(s.lowWhisker)), cy}, {x.clamp(x(s.lowHinge)), cy}, ink);
  svg.line({x.clamp(x(s.highHinge)), cy}, {x.clamp(x(s.highWhisker)), cy}, ink);
  for (double w : {s.lowWhisker, s.highWhisker})
    svg.line({x.clamp(x(w)), cy - half / 2}, {x.clamp(x(w)), cy + half / 2}, ink);
  svg.rect(x.clamp(x(s.lowHinge)), cy - half, x.clamp(x(s.highHinge)) - x.clamp(x(s.lowHinge)),
           2 * half, colour::kSky, 0.45, colour::kBlack);
  svg.line({x.clamp(x(s.median)), cy - half}, {x.clamp(x(s.median)), cy + half},
           {colour::kBlack, 2});
  Dots outliers{{}, colour::kBlack};
  for (double v : s.outliers) outliers.points.push_back({v, b.y});
  drawDots(svg, outliers, x, y);
  svg.diamond({x.clamp(x(b.mean)), cy}, 5, colour::kVermillion);
}

void drawInterval(Svg &svg, const IntervalMark &m, const Scale &x, const Scale &y) {
  const double cy = y(m.y);
  const double lo = std::isfinite(m.lo) ? m.lo : m.mean, hi = std::isfinite(m.hi) ? m.hi : m.mean;
  const double a = x.clamp(x(lo)), b = x.clamp(x(hi));
  svg.line({a, cy}, {b, cy}, {m.colour, 2});
  if (m.openLow) drawArrow(svg, {a, cy}, -1, m.colour);
  if (m.openHigh) drawArrow(svg, {b, cy}, 1, m.colour);
  if (!m.openLow && std::isfinite(m.lo)) svg.line({a, cy - 6}, {a, cy + 6}, {m.colour, 2});
  if (!m.openHigh && std::isfinite(m.hi)) svg.line({b, cy - 6}, {b, cy + 6}, {m.colour, 2});
  if (std::isfinite(m.mean)) svg.diamond({x.clamp(x(m.mean)), cy}, 5, colour::kVermillion);
}

std::vector<Point> toPixels(const std::vector<Point> &points, const Scale &x, const Scale &y) {
  std::vector<Point> out;
  for (const Point &p : points)
    if (std::isfinite(p.x) && std::isfinite(p.y) && p.x >= x.lo && p.x <= x.hi)
      out.push_back({x(p.x), y.clamp(y(p.y))});
  return out;
}

void drawMark(Svg &svg, const Mark &mark, const Scale &x, const Scale &y) {
  std::visit(Overloaded{
                 [&](const Bars &b) {
                   for (size_t i = 0; i < b.heights.size(); ++i)
                     svg.rect(x(b.edges[i]), y(b.heights[i]), x(b.edges[i + 1]) - x(b.edges[i]),
                              y(0) - y(b.heights[i]), colour::kSky, 0.6, colour::kGrey);
                 },
                 [&](const Line &l) {
                   if (auto px = toPixels(l.points, x, y); px.size() > 1)
                     svg.polyline(px, l.stroke);
                 },
                 [&](const Dots &d) { drawDots(svg, d, x, y); },
                 [&](const Marker &m) {
                   svg.diamond({x.clamp(x(m.at.x)), y.clamp(y(m.at.y))}, 5, m.colour);
                 },
                 [&](const BoxMark &b) { drawBox(svg, b, x, y); },
                 [&](const Rule &r) {
                   const Scale &s = r.vertical ? x : y;
                   if (!(r.at >= std::min(s.lo, s.hi) && r.at <= std::max(s.lo, s.hi))) return;
                   if (r.vertical) svg.line({x(r.at), y.pxMin()}, {x(r.at), y.pxMax()}, r.stroke);
                   if (!r.vertical) svg.line({x.pxMin(), y(r.at)}, {x.pxMax(), y(r.at)}, r.stroke);
                 },
                 [&](const Band &b) {
                   const double a = x.clamp(x(b.lo)), c = x.clamp(x(b.hi));
                   svg.rect(std::min(a, c), y.pxMin(), std::fabs(c - a), y.pxMax() - y.pxMin(),
                            b.colour, 0.3);
                 },
                 [&](const IntervalMark &m) { drawInterval(svg, m, x, y); },
             },
             mark);
}

// Pixel rows of the panels, from the top of the first plot area down.
struct PanelBox {
  double top, bottom;
};

std::vector<PanelBox> stackPanels(const Figure &f, double top, double bottom) {
  double fixed = 0, weights = 0;
  for (const Panel &p : f.panels) {
    fixed += (p.caption.empty() ? 0 : kCaptionHeight) + kPanelGap;
    weights += p.weight;
  }
  const double unit = std::max(0.0, bottom - top - fixed + kPanelGap) / weights;
  std::vector<PanelBox> out;
  double y = top;
  for (const Panel &p : f.panels) {
    y += p.caption.empty() ? 0 : kCaptionHeight;
    out.push_back({y, y + unit * p.weight});
    y += unit * p.weight + kPanelGap;
  }
  return out;
}

// A height that gives each unit of panel weight about kPixelsPerWeight
// pixels besides the title, captions, axis and legend (the chrome).
double figureHeight(const Figure &f, double chrome) {
  double weights = 0;
  for (const Panel &p : f.panels)
    weights += p.weight, chrome += (p.caption.empty() ? 0 : kCaptionHeight) + kPanelGap;
  return std::clamp(chrome + kPixelsPerWeight * weights, kMinHeight, kMaxHeight);
}

// The vertical scale of a panel, its ticks or categories placed.
Scale verticalScale(const Panel &p, const PanelBox &box, const Extent &e) {
  Scale s;
  if (!p.categories.empty()) {
    setCategories(s, p.categories);
    s.pxLo = box.top, s.pxHi = box.bottom;
    for (std::string &l : s.labels) l = fitText(l, kTickSize, kMaxCategoryWidth);
    if (p.categories.size() > 1 && box.bottom - box.top < 1.4 * kTickSize * p.categories.size())
      s.labels.assign(s.labels.size(), "");
    return s;
  }
  setDomain(s, e.y, p.zeroBased, NAN, NAN);
  s.pxLo = box.bottom, s.pxHi = box.top;
  setTicks(s, 1.4 * kTickSize, false);
  return s;
}

void drawVerticalAxis(Svg &svg, const Panel &p, const Scale &y, double left, const PanelBox &box) {
  for (size_t i = 0; i < y.ticks.size(); ++i) {
    if (y.labels[i].empty()) continue;
    const double py = y(y.ticks[i]);
    svg.line({left - kTick, py}, {left, py}, {colour::kBlack, 1});
    svg.text(left - kTick - 3, py + 0.35 * kTickSize, y.labels[i], kTickSize, Anchor::kEnd);
  }
  if (!p.yLabel.empty()) {
    const std::string label = fitText(p.yLabel, kLabelSize, box.bottom - box.top - 4);
    svg.text(kEdge + 0.9 * kLabelSize, (box.top + box.bottom) / 2, label, kLabelSize,
             Anchor::kMiddle, false, true);
  }
}

void drawHorizontalAxis(Svg &svg, const Scale &x, double bottom, bool labelled) {
  for (size_t i = 0; i < x.ticks.size(); ++i) {
    const double px = x(x.ticks[i]);
    svg.line({px, bottom}, {px, bottom + kTick}, {colour::kBlack, 1});
    if (labelled) svg.text(px, bottom + 18, x.labels[i], kTickSize, Anchor::kMiddle);
  }
}

}  // namespace

std::string render(const Figure &f) {
  const std::vector<std::string> title = wrapText(f.title, kTitleSize, kWidth - 2 * kEdge, 2, true);
  const double top = kEdge + 18 * title.size() + 10;
  auto legend = layoutLegend(f.legend, 0);
  const double legendHeight = legend.empty() ? 0 : legend.back().y + kLegendRow + 4;
  const double axisHeight = 18 + (f.xLabel.empty() ? 4 : 22);
  Svg svg(kWidth, figureHeight(f, top + legendHeight + axisHeight + kEdge));
  for (size_t i = 0; i < title.size(); ++i)
    svg.text(kWidth / 2, kEdge + 0.9 * kTitleSize + 18 * i, title[i], kTitleSize, Anchor::kMiddle,
             true);
  const double plotBottom = svg.height() - kEdge - legendHeight - axisHeight;
  const std::vector<PanelBox> boxes = stackPanels(f, top, plotBottom);

  Range xRange;
  std::vector<Extent> extents;
  for (const Panel &p : f.panels) extents.push_back(panelExtent(p)), xRange.add(extents.back().x);
  std::vector<Scale> ys;
  double labelWidth = 0;
  bool anyYLabel = false;
  for (size_t i = 0; i < f.panels.size(); ++i) {
    ys.push_back(verticalScale(f.panels[i], boxes[i], extents[i]));
    labelWidth = std::max(labelWidth, widestLabel(ys.back().labels));
    anyYLabel = anyYLabel || !f.panels[i].yLabel.empty();
  }
  Scale x;
  if (f.xCategories.empty()) {
    setDomain(x, xRange, false, f.viewMin, f.viewMax);
  } else {
    setCategories(x, f.xCategories);
  }
  double left = kEdge + (anyYLabel ? kLabelSize + 8 : 0) + labelWidth + kTick + 6;
  x.pxLo = left, x.pxHi = kWidth - kEdge - 2;
  if (f.xCategories.empty()) {
    // The outer tick labels are centred on their ticks: half of them must fit beside the plot.
    setTicks(x, 12, true);
    const double halfLabel = widestLabel(x.labels) / 2 + 2;
    x.pxLo = left = std::max(left, kEdge + halfLabel);
    x.pxHi = kWidth - kEdge - std::max(12.0, halfLabel);
    setTicks(x, 12, true);
  } else {
    for (std::string &l : x.labels)
      l = fitText(l, kTickSize, (x.pxHi - x.pxLo) / f.xCategories.size() - 10);
  }

  for (size_t i = 0; i < f.panels.size(); ++i) {
    const Panel &p = f.panels[i];
    const PanelBox &b = boxes[i];
    if (!p.caption.empty())
      svg.text(left, b.top - 5, fitText(p.caption, kLegendSize, x.pxHi - left), kLegendSize,
               Anchor::kStart, true);
    svg.group("panel");
    svg.rect(left, b.top, x.pxHi - left, b.bottom - b.top, "none", 1, colour::kGrey);
    for (const Mark &m : p.marks) drawMark(svg, m, x, ys[i]);
    if (p.marks.empty())
      svg.text((left + x.pxHi) / 2, (b.top + b.bottom) / 2, "No data", kLabelSize, Anchor::kMiddle);
    drawVerticalAxis(svg, p, ys[i], left, b);
    drawHorizontalAxis(svg, x, b.bottom, i + 1 == f.panels.size());
    svg.endGroup();
  }
  if (!f.xLabel.empty())
    svg.text((left + x.pxHi) / 2, plotBottom + 40, fitText(f.xLabel, kLabelSize, x.pxHi - left),
             kLabelSize, Anchor::kMiddle);
  for (LegendSlot &s : legend) s.y += plotBottom + axisHeight + 4;
  drawLegend(svg, legend);
  return svg.finish(f.title, f.desc);
}

std::string renderEmpty(const std::string &title, const std::string &desc) {
  Svg svg(kWidth, 160);
  const std::vector<std::string> lines = wrapText(title, kTitleSize, kWidth - 2 * kEdge, 2, true);
  for (size_t i = 0; i < lines.size(); ++i)
    svg.text(kWidth / 2, kEdge + 0.9 * kTitleSize + 18 * i, lines[i], kTitleSize, Anchor::kMiddle,
             true);
  svg.text(kWidth / 2, 100, "No data to draw", kLabelSize, Anchor::kMiddle);
  return svg.finish(title, desc);
}

}  // namespace vyn::graphs
