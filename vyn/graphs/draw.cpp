// The graph templates of the procedure. Each template is a row of a table:
// its panels, which data object and dynamic variables each panel draws from,
// and the label patterns of its axes and captions. The panel kinds turn
// those inputs into marks; figure.cpp lays them out.
#include "vyn/graphs/draw.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "vyn/graphs/figure.h"
#include "vyn/graphs/inputs.h"
#include "vyn/graphs/stats.h"

namespace vyn::graphs {
namespace {

enum class Kind { kHistogram, kBox, kBoxByCategory, kQQ, kProfiles, kAgreement, kInterval };

// One value column of a panel: data object position, the dynamic variable
// naming the column, and a caption pattern.
struct Series {
  size_t data;
  const char *value;
  const char *caption = "";
};

struct PanelPlan {
  Kind kind;
  std::vector<Series> series;
  const char *yLabel = "";
  const char *category = "";                // category column (box by category, profiles)
  std::vector<const char *> levelLabels{};  // patterns naming the categories in order
  std::vector<const char *> means{};        // mean columns (profiles, agreement)
  const char *group = "";                   // grouping column, e.g. the sequence
  const char *groupName = "";               // column with each group's legend text
  const char *meanName = "";                // column with each group's mean legend text
  const char *subject = "{_OBSVAR}";        // observation number column (profiles)
};

struct TemplatePlan {
  const char *name;
  const char *what;
  const char *xLabel;
  std::vector<PanelPlan> panels;
};

constexpr const char *kXName = "{_XLAB|_VARNAME}";
constexpr const char *kSeqGroup = "Sequence";
// Box plots and summary panels find GraphDataStats right after their observations.
constexpr size_t kStatsAfterObservations = 1;

// clang-format off
const std::vector<TemplatePlan> &templates() {
  static const std::vector<TemplatePlan> table = {
    {"Summary1", "Histogram with normal and kernel densities over a box plot", kXName,
     {{Kind::kHistogram, {{0, "_Y"}}, "Density"},
      {Kind::kBox, {{0, "_Y"}}}}},
    {"HistDens1", "Histogram with normal and kernel densities", kXName,
     {{Kind::kHistogram, {{0, "_Y"}}, "Density"}}},
    {"Box1", "Box plot with mean and confidence band", kXName,
     {{Kind::kBox, {{0, "_Y"}}}}},
    {"Interval", "Confidence intervals", kXName,
     {{Kind::kInterval, {{0, ""}}}}},
    {"QQ1", "Normal quantile-quantile plot", "Normal Quantile",
     {{Kind::kQQ, {{0, "_Y"}}, "{_YLAB|_VARNAME}"}}},
    {"ProfilesP", "Paired profiles with their means", "",
     {{Kind::kProfiles, {{0, "_Y"}}, "{_VARNAME1}, {_VARNAME2}", "{_VARNAMEVAR}",
       {"{_VARNAME1}", "{_VARNAME2}"}, {"_YMEAN"}}}},
    {"AgreementP", "Agreement of paired values with the line of identity", "{_LAB1|_VARNAME1}",
     {{Kind::kAgreement, {{0, "_Y1"}, {0, "_Y2"}}, "{_LAB2|_VARNAME2}", "", {},
       {"_Y1MEAN", "_Y2MEAN"}}}},
    {"Summary2", "Histograms of two classes over their box plots", kXName,
     {{Kind::kHistogram, {{0, "_Y1", "{_CLASSNAME} = {_CLASS1}"}}, "Density"},
      {Kind::kHistogram, {{1, "_Y2", "{_CLASSNAME} = {_CLASS2}"}}, "Density"},
      {Kind::kBoxByCategory, {{2, "_Y"}}, "{_CLASSNAME}", "Class"}}},
    {"HistDens2", "Histograms with densities of two classes", kXName,
     {{Kind::kHistogram, {{0, "_Y1", "{_CLASSNAME} = {_CLASS1}"}}, "Density"},
      {Kind::kHistogram, {{1, "_Y2", "{_CLASSNAME} = {_CLASS2}"}}, "Density"}}},
    {"Box2", "Box plots of two classes", kXName,
     {{Kind::kBoxByCategory, {{0, "_Y"}}, "{_CLASSNAME}", "Class"}}},
    {"QQ2", "Normal quantile-quantile plots of two classes", "Normal Quantile",
     {{Kind::kQQ, {{0, "_Y1", "{_CLASS1}"}, {1, "_Y2", "{_CLASS2}"}}, "{_YLAB|_VARNAME}"}}},
    {"HistDensC", "Histograms by treatment and period", "{_SHORTLAB1}, {_SHORTLAB2}",
     {{Kind::kHistogram, {{0, "_YA1", "{_TRTA}, {_SHORTLAB1|_VARNAME1}"}}, "Density"},
      {Kind::kHistogram, {{1, "_YA2", "{_TRTA}, {_SHORTLAB2|_VARNAME2}"}}, "Density"},
      {Kind::kHistogram, {{1, "_YB1", "{_TRTB}, {_SHORTLAB1|_VARNAME1}"}}, "Density"},
      {Kind::kHistogram, {{0, "_YB2", "{_TRTB}, {_SHORTLAB2|_VARNAME2}"}}, "Density"}}},
    {"BoxC", "Box plots by treatment and period", "{_VARNAMES}",
     {{Kind::kBoxByCategory, {{0, "_Y"}}, "{_TRTPRDLABEL}", "TrtAndPrd"}}},
    {"ProfilesOverTreatmentC", "Profiles over treatments by sequence", "",
     {{Kind::kProfiles, {{0, "_Y"}}, "{_VARNAMES}", "Treatment", {}, {"_YMEAN"},
       kSeqGroup, "SeqName", "MeanSeqName"}}},
    {"ProfilesOverPeriodC", "Profiles over periods by sequence", "",
     {{Kind::kProfiles, {{0, "_Y"}}, "{_VARNAME1}, {_VARNAME2}", "Period",
       {"{_SHORTYLAB1|_VARNAME1}", "{_SHORTYLAB2|_VARNAME2}"}, {"_YMEAN"},
       kSeqGroup, "SeqName", "MeanSeqName"}}},
    {"AgreementOfTreatments", "Agreement of treatments with the line of identity", "{_TRTA}",
     {{Kind::kAgreement, {{0, "_YA"}, {0, "_YB"}}, "{_TRTB}", "", {}, {"_YAMEAN", "_YBMEAN"},
       kSeqGroup, "SeqName", "MeanSeqName"}}},
    {"AgreementOfPeriods", "Agreement of periods with the line of identity", "{_LAB1|_VARNAME1}",
     {{Kind::kAgreement, {{0, "_Y1"}, {0, "_Y2"}}, "{_LAB2|_VARNAME2}", "", {},
       {"_Y1MEAN", "_Y2MEAN"}, kSeqGroup, "SeqName", "MeanSeqName"}}},
    {"QQC", "Normal quantile-quantile plots by treatment and period", "Normal Quantile",
     {{Kind::kQQ, {{0, "_YA1", "{_TRTA}"}, {1, "_YB1", "{_TRTB}"}}, "{_YLAB1|_VARNAME1}"},
      {Kind::kQQ, {{1, "_YA2", "{_TRTA}"}, {0, "_YB2", "{_TRTB}"}}, "{_YLAB2|_VARNAME2}"}}},
  };
  return table;
}
// clang-format on

constexpr const char *kPathPrefix = "Stat.Kravo.Graphics.";

const TemplatePlan *findTemplate(const std::string &path) {
  if (!path.starts_with(kPathPrefix)) return nullptr;
  const std::string name = path.substr(std::string_view(kPathPrefix).size());
  for (const TemplatePlan &t : templates())
    if (name == t.name) return &t;
  return nullptr;
}

// A drawing in progress: the figure and the legend entries already given.
struct Build {
  const Inputs &in;
  Figure figure;
  void legend(LegendItem item) {
    for (const LegendItem &l : figure.legend)
      if (l.text == item.text) return;
    figure.legend.push_back(std::move(item));
  }
};

Sample seriesSample(const Inputs &in, const Series &s) {
  return makeSample(in.numbers(s.data, s.value));
}

Line curveLine(const Curve &c, Stroke stroke) {
  Line line{{}, stroke};
  for (size_t i = 0; i < c.x.size(); ++i) line.points.push_back({c.x[i], c.y[i]});
  return line;
}

void histogramPanel(Build &b, const PanelPlan &plan, Panel &p) {
  const Sample s = seriesSample(b.in, plan.series[0]);
  if (s.sorted.empty()) return;
  const Histogram h = sturgesHistogram(s);
  p.marks.push_back(Bars{h.breaks, h.density});
  p.zeroBased = true;
  b.legend({LegendItem::kFill, "Observed", colour::kSky});
  if (s.sorted.size() < 2) return;
  const Curve kernel = kernelDensity(s, bandwidthNrd0(s));
  if (s.sd > 0) {
    p.marks.push_back(
        curveLine(normalDensity(s, kernel.x.front(), kernel.x.back(), 200), {colour::kBlue, 2}));
    b.legend({LegendItem::kLine, "Normal", colour::kBlue});
  }
  p.marks.push_back(curveLine(kernel, {colour::kVermillion, 2, "6 3"}));
  b.legend({LegendItem::kLine, "Kernel", colour::kVermillion, "6 3"});
}

// Null value and equivalence bounds from GraphDataStats at `stats`.
void referenceLines(Build &b, Panel &p, size_t stats) {
  if (double h0 = b.in.scalar("_H0", stats); std::isfinite(h0)) {
    p.marks.push_back(Rule{true, h0, {colour::kBlack, 1.5, "4 3"}});
    b.legend({LegendItem::kLine, "Null value", colour::kBlack, "4 3"});
  }
  for (const char *bound : {"_LEQB", "_UEQB"}) {
    if (double v = b.in.scalar(bound, stats); std::isfinite(v)) {
      p.marks.push_back(Rule{true, v, {colour::kGreen, 2, "8 3 2 3"}});
      b.legend({LegendItem::kLine, "Equivalence bounds", colour::kGreen, "8 3 2 3"});
    }
  }
}

std::string confidenceText(const Inputs &in) {
  const std::string lab = in.text("_CONFLAB");
  if (!lab.empty()) return lab;
  const std::string level = in.text("_CONFIDENCE");
  return level.empty() ? "Confidence limits" : level + "% Confidence limits";
}

void boxPanel(Build &b, const PanelPlan &plan, Panel &p) {
  const Sample s = seriesSample(b.in, plan.series[0]);
  p.categories = {""};
  p.weight = 0.45;
  if (s.sorted.empty()) return;
  const size_t obs = plan.series[0].data;
  const double lcl = b.in.scalar("_LCL", obs), ucl = b.in.scalar("_UCL", obs);
  if (std::isfinite(lcl) && std::isfinite(ucl)) {
    const bool columns = !b.in.has("_VIEWMIN") && !b.in.has("_VIEWMAX");
    p.marks.push_back(Band{lcl, ucl, colour::kOrange, columns});
    b.legend({LegendItem::kFill, confidenceText(b.in), colour::kOrange});
  }
  b.figure.viewMin = b.in.scalar("_VIEWMIN", obs);
  b.figure.viewMax = b.in.scalar("_VIEWMAX", obs);
  referenceLines(b, p, kStatsAfterObservations);
  p.marks.push_back(BoxMark{boxStats(s), s.mean, 1});
  b.legend({LegendItem::kDiamond, "Mean", colour::kVermillion});
}

// The distinct texts of a column in order of first appearance.
std::vector<std::string> levelsOf(const std::vector<std::string> &values) {
  std::vector<std::string> levels;
  for (const std::string &v : values)
    if (!v.empty() && std::ranges::find(levels, v) == levels.end()) levels.push_back(v);
  return levels;
}

void boxByCategoryPanel(Build &b, const PanelPlan &plan, Panel &p) {
  const std::vector<double> values = b.in.numbers(plan.series[0].data, plan.series[0].value);
  const std::vector<std::string> cats = b.in.texts(plan.series[0].data, plan.category);
  p.categories = levelsOf(cats);
  p.weight = 0.3 + 0.25 * p.categories.size();
  for (size_t level = 0; level < p.categories.size(); ++level) {
    std::vector<double> own;
    for (size_t i = 0; i < std::min(values.size(), cats.size()); ++i)
      if (cats[i] == p.categories[level]) own.push_back(values[i]);
    const Sample s = makeSample(std::move(own));
    if (s.sorted.empty()) continue;
    p.marks.push_back(BoxMark{boxStats(s), s.mean, double(level + 1)});
    b.legend({LegendItem::kDiamond, "Mean", colour::kVermillion});
  }
}

void qqPanel(Build &b, const PanelPlan &plan, Panel &p) {
  const bool logScale = b.in.flag("_LOGNORMAL");
  for (size_t k = 0; k < plan.series.size(); ++k) {
    std::vector<double> values = b.in.numbers(plan.series[k].data, plan.series[k].value);
    if (logScale)
      for (double &v : values) v = v > 0 ? std::log(v) : NAN;
    const Sample s = makeSample(std::move(values));
    if (s.sorted.empty()) continue;
    const std::vector<double> z = normalScores(s.sorted.size());
    const char *c = seriesColour(k);
    Dots dots{{}, c};
    for (size_t i = 0; i < z.size(); ++i) dots.points.push_back({z[i], s.sorted[i]});
    p.marks.push_back(std::move(dots));
    p.marks.push_back(
        Line{{{z.front(), s.mean + s.sd * z.front()}, {z.back(), s.mean + s.sd * z.back()}},
             {c, 1.5, "5 3"}});
    const std::string caption = b.in.fill(plan.series[k].caption);
    if (!caption.empty()) b.legend({LegendItem::kCircle, caption, c});
  }
}

// Groups of rows by a grouping column: each row's group index and the
// legend text of each group; one group when there is no such column.
struct Groups {
  std::vector<size_t> of;
  std::vector<std::string> names, meanNames;
};

Groups groupRows(const Inputs &in, const PanelPlan &plan, size_t rows) {
  Groups g;
  const size_t data = plan.series[0].data;
  const std::vector<std::string> keys = in.texts(data, plan.group);
  const std::vector<std::string> names = in.texts(data, plan.groupName);
  const std::vector<std::string> means = in.texts(data, plan.meanName);
  const std::vector<std::string> levels = levelsOf(keys);
  g.names.assign(std::max<size_t>(1, levels.size()), "");
  g.meanNames.assign(g.names.size(), "Mean");
  for (size_t i = 0; i < rows; ++i) {
    const auto it = i < keys.size() ? std::ranges::find(levels, keys[i]) : levels.end();
    const size_t k = it == levels.end() ? 0 : size_t(it - levels.begin());
    g.of.push_back(k);
    if (g.names[k].empty() && i < names.size()) g.names[k] = names[i];
    if (g.meanNames[k] == "Mean" && i < means.size() && !means[i].empty())
      g.meanNames[k] = means[i];
  }
  return g;
}

void profilesPanel(Build &b, const PanelPlan &plan, Panel &p) {
  const size_t data = plan.series[0].data;
  const std::vector<double> y = b.in.numbers(data, plan.series[0].value);
  const std::vector<double> mean = b.in.numbers(data, plan.means[0]);
  const std::vector<std::string> cats = b.in.texts(
      data, std::string(plan.category).starts_with('{') ? b.in.fill(plan.category) : plan.category);
  const std::vector<double> subject = b.in.numbers(data, b.in.fill(plan.subject));
  const std::vector<std::string> levels = levelsOf(cats);
  if (levels.empty() || y.empty()) return;
  const Groups groups = groupRows(b.in, plan, y.size());
  for (size_t i = 0; i < levels.size(); ++i)
    b.figure.xCategories.push_back(i < plan.levelLabels.size() ? b.in.fill(plan.levelLabels[i])
                                                               : levels[i]);
  // Each subject's value at each category, and each group's mean there.
  std::map<double, std::pair<size_t, std::vector<double>>> subjects;
  std::vector<std::vector<double>> means(groups.names.size(),
                                         std::vector<double>(levels.size(), NAN));
  for (size_t i = 0; i < std::min({y.size(), cats.size(), subject.size()}); ++i) {
    const size_t level = size_t(std::ranges::find(levels, cats[i]) - levels.begin());
    if (level == levels.size()) continue;
    if (std::isfinite(y[i]) && std::isfinite(subject[i])) {
      auto &entry =
          subjects.try_emplace(subject[i], groups.of[i], std::vector<double>(levels.size(), NAN))
              .first->second;
      if (std::isnan(entry.second[level])) entry.second[level] = y[i];
    }
    if (i < mean.size() && std::isfinite(mean[i]) && std::isnan(means[groups.of[i]][level]))
      means[groups.of[i]][level] = mean[i];
  }
  const bool grouped = groups.names.size() > 1;
  for (const auto &[id, entry] : subjects) {
    Line line{{}, {grouped ? seriesColour(entry.first) : colour::kSky, 1}};
    for (size_t l = 0; l < levels.size(); ++l)
      if (std::isfinite(entry.second[l])) line.points.push_back({double(l + 1), entry.second[l]});
    p.marks.push_back(std::move(line));
  }
  for (size_t g = 0; g < means.size(); ++g) {
    const char *c = grouped ? seriesColour(g) : colour::kBlack;
    Line line{{}, {c, 3.5}};
    for (size_t l = 0; l < levels.size(); ++l)
      if (std::isfinite(means[g][l])) line.points.push_back({double(l + 1), means[g][l]});
    if (line.points.empty()) continue;
    if (grouped) b.legend({LegendItem::kLine, groups.names[g], c, nullptr, 1});
    b.legend({LegendItem::kLine, groups.meanNames[g], c, nullptr, 3.5});
    p.marks.push_back(std::move(line));
  }
  if (!grouped)
    b.figure.legend.insert(b.figure.legend.begin(),
                           {LegendItem::kLine, "Subjects", colour::kSky, nullptr, 1});
}

void agreementPanel(Build &b, const PanelPlan &plan, Panel &p) {
  const size_t data = plan.series[0].data;
  const std::vector<double> x = b.in.numbers(data, plan.series[0].value);
  const std::vector<double> y = b.in.numbers(data, plan.series[1].value);
  const std::vector<double> mx = b.in.numbers(data, plan.means[0]);
  const std::vector<double> my = b.in.numbers(data, plan.means[1]);
  const size_t rows = std::min(x.size(), y.size());
  const Groups groups = groupRows(b.in, plan, rows);
  const bool grouped = groups.names.size() > 1;
  std::vector<Dots> dots(groups.names.size());
  double lo = INFINITY, hi = -INFINITY;
  for (size_t i = 0; i < rows; ++i) {
    if (std::isfinite(x[i]) && std::isfinite(y[i])) {
      dots[groups.of[i]].points.push_back({x[i], y[i]});
      lo = std::min({lo, x[i], y[i]}), hi = std::max({hi, x[i], y[i]});
    }
  }
  if (lo > hi) return;
  p.square = true;
  p.weight = 1.4;
  p.marks.push_back(Line{{{lo, lo}, {hi, hi}}, {colour::kGrey, 1.5, "6 4"}});
  for (size_t g = 0; g < dots.size(); ++g) {
    dots[g].colour = grouped ? seriesColour(g) : colour::kBlue;
    if (grouped && !dots[g].points.empty())
      b.legend({LegendItem::kCircle, groups.names[g], dots[g].colour});
    p.marks.push_back(std::move(dots[g]));
  }
  std::vector<bool> seen(groups.names.size(), false);
  for (size_t i = 0; i < std::min({mx.size(), my.size(), rows}); ++i) {
    if (!std::isfinite(mx[i]) || !std::isfinite(my[i]) || seen[groups.of[i]]) continue;
    const size_t g = groups.of[i];
    seen[g] = true;
    const char *c = grouped ? seriesColour(g) : colour::kVermillion;
    p.marks.push_back(Marker{{mx[i], my[i]}, c});
    b.legend({LegendItem::kDiamond, groups.meanNames[g], c});
  }
  b.legend({LegendItem::kLine, "Line of identity", colour::kGrey, "6 4"});
}

void intervalPanel(Build &b, Panel &p) {
  const Inputs &in = b.in;
  double h0 = NAN;
  for (int i = 1; i <= 5; ++i) {
    const std::string n = std::to_string(i);
    const bool eq = in.flag("_ISEQB" + n);
    if (!eq && !in.has("_MEAN" + n) && !in.has("_LCL" + n)) continue;
    const double lo = in.scalar("_LCL" + n, 0), hi = in.scalar("_UCL" + n, 0);
    const double mean = eq ? NAN : in.scalar("_MEAN" + n, 0);
    if (!std::isfinite(lo) && !std::isfinite(hi) && !std::isfinite(mean)) continue;
    const std::vector<std::string> labels = in.texts(0, "_LABEL" + n);
    const std::string label = labels.empty() ? "" : labels[0];
    p.categories.push_back(label.empty() && !eq ? in.fill("{_VARNAME}") : label);
    p.marks.push_back(IntervalMark{double(p.categories.size()), lo, hi, mean,
                                   in.flag("_ISLOWER" + n), in.flag("_ISUPPER" + n),
                                   eq ? colour::kGreen : colour::kBlue});
    if (eq) {
      for (double bound : {lo, hi})
        p.marks.push_back(Rule{true, bound, {colour::kGreen, 1.5, "8 3 2 3"}});
      b.legend({LegendItem::kLine, "Equivalence bounds", colour::kGreen, "8 3 2 3"});
    }
  }
  if (p.categories.empty()) return;
  p.weight = 0.35 + 0.2 * p.categories.size();
  b.figure.legend.insert(b.figure.legend.begin(),
                         {{LegendItem::kDiamond, "Mean", colour::kVermillion},
                          {LegendItem::kLine, confidenceText(in), colour::kBlue}});
  if (std::isfinite(h0)) {
    p.marks.push_back(Rule{true, h0, {colour::kBlack, 1.5, "4 3"}});
    b.legend({LegendItem::kLine, "Null value", colour::kBlack, "4 3"});
  }
}

void buildPanel(Build &b, const PanelPlan &plan) {
  Panel p;
  p.yLabel = b.in.fill(plan.yLabel);
  if (plan.series.size() == 1) p.caption = b.in.fill(plan.series[0].caption);
  switch (plan.kind) {
    case Kind::kHistogram:
      histogramPanel(b, plan, p);
      break;
    case Kind::kBox:
      boxPanel(b, plan, p);
      break;
    case Kind::kBoxByCategory:
      boxByCategoryPanel(b, plan, p);
      break;
    case Kind::kQQ:
      qqPanel(b, plan, p);
      break;
    case Kind::kProfiles:
      profilesPanel(b, plan, p);
      break;
    case Kind::kAgreement:
      agreementPanel(b, plan, p);
      break;
    case Kind::kInterval:
      intervalPanel(b, p);
      break;
  }
  b.figure.panels.push_back(std::move(p));
}

std::string titleOf(const output::Graph &g, const Inputs &in) {
  if (!g.title.empty()) return g.title;
  const std::string t = in.text("_TITLE");
  return !t.empty() ? t : !g.label.empty() ? g.label : g.name;
}

}  // namespace

std::string drawSvg(const output::Graph &graph) {
  const Inputs in(graph);
  const std::string title = titleOf(graph, in);
  const TemplatePlan *plan = findTemplate(graph.path);
  if (!plan) return renderEmpty(title, "Graph template " + graph.path + " is not known.");
  Build b{in, {}};
  b.figure.title = title;
  b.figure.desc = std::string(plan->what) + (graph.label.empty() ? "" : ": " + graph.label) + ".";
  b.figure.xLabel = in.fill(plan->xLabel);
  for (const PanelPlan &p : plan->panels) buildPanel(b, p);
  const bool drawn = std::ranges::any_of(b.figure.panels, [](const Panel &p) {
    return std::ranges::any_of(p.marks, [](const Mark &m) {
      return !std::holds_alternative<Rule>(m) && !std::holds_alternative<Band>(m);
    });
  });
  return drawn ? render(b.figure) : renderEmpty(title, b.figure.desc);
}

}  // namespace vyn::graphs
