// The columns of every table a kind emits, in order, as name, or name and
// width for a character column: the layout the listing, the HTML report and
// the JSON document all follow. Widths are the longest text a column holds:
// names from the data, row texts from the catalogue ("Satterthwaite" 13,
// "Ratio (1/2)" 11, "Diff (1-2)" 10, "Not equivalent" 14, "Overall" 7,
// "Unequal" 7, "Folded F" 8).
#include <algorithm>
#include <string>
#include <utility>
#include <variant>

#include "hostcm/wob.h"
#include "tests/program/harness.h"
#include "vyn/output/objects.h"
#include "vyn/output/render.h"

namespace {

struct Layout {
  const char *program, *table, *columns;
};

constexpr const char *kOne = "proc kravo data=women; var weight; run;";
constexpr const char *kLogPair =
    "proc kravo data=women test=ratio tost(2, 2.5); paired weight*height; run;";
constexpr const char *kRatioPair =
    "proc kravo data=women test=ratio dist=normal tost(2, 2.5); paired weight*height; run;";
constexpr const char *kTwo = "proc kravo data=plants cochran; class group; var weight; run;";
constexpr const char *kLogTwo =
    "proc kravo data=plants dist=lognormal tost(0.95, 1.25); class group; var weight; run;";

#define STD "StdDev LowerCLStdDev UpperCLStdDev UMPULowerCLStdDev UMPUUpperCLStdDev"
#define CV "CV LowerCLCV UpperCLCV UMPULowerCLCV UMPUUpperCLCV"
#define MEAN "Mean LowerCLMean UpperCLMean"
#define GEOM "GeomMean LowerCLGeomMean UpperCLGeomMean"
#define PAIR "Variable1:6 Variable2:6 Ratio:15 "
#define GEOMEQ "GeomMean LowerBound LowerComparator LowerCLGeomMean UpperCLGeomMean UpperComparator"
#define TESTS "Test:7 Null tValue DF Probt"

const Layout kLayouts[] = {
    {kOne, "Statistics", "Variable:6 N " MEAN " " STD " StdErr Minimum Maximum"},
    {kOne, "ConfLimits", "Variable:6 " MEAN " " STD},
    {kOne, "Kravos", "Variable:6 tValue DF Probt"},
    {kLogPair, "Statistics", PAIR "N " GEOM " " CV " Minimum Maximum"},
    {kLogPair, "ConfLimits", PAIR GEOM " " CV},
    {kLogPair, "EquivLimits", PAIR GEOMEQ " UpperBound Assessment:14"},
    {kLogPair, "EquivTests", PAIR TESTS},
    {kRatioPair, "Statistics", PAIR "N Minimum Maximum"},
    {kRatioPair, "EquivTests", PAIR TESTS},
    {kTwo, "Statistics", "Variable:6 Class:10 N " MEAN " " STD " StdErr Minimum Maximum"},
    {kTwo, "ConfLimits", "Variable:6 Class:10 Method:13 Variances:7 " MEAN " " STD},
    {kTwo, "Kravos", "Variable:6 Method:13 Variances:7 tValue DF Probt"},
    {kTwo, "Equality", "Variable:6 Method:8 NumDF DenDF FValue ProbF"},
    {kLogTwo, "ConfLimits", "Variable:6 Class:11 Method:13 CVs:7 " GEOM " " CV},
    {kLogTwo, "EquivLimits",
     "Variable:6 Class:11 Method:13 CVs:7 " GEOMEQ " UpperBound Assessment:14"},
    {kLogTwo, "EquivTests", "Variable:6 Method:13 CVs:7 " TESTS},
};

std::string layoutOf(const harness::Table &t) {
  std::string all;
  for (const harness::Column &c : t.columns) {
    all += (all.empty() ? "" : " ") + c.name;
    const auto width = c.attributes.find("MinimumWidth");
    if (width != c.attributes.end())
      all += ":" + std::to_string(std::get<long long>(width->second));
  }
  return all;
}

TEST(TableLayout, ColumnsInOrderWithTheirWidths) {
  for (const Layout &l : kLayouts) {
    const harness::StepRecord step = harness::runStep(l.program);
    EXPECT_EQ(layoutOf(harness::table(step, l.table)), l.columns) << l.program << " " << l.table;
  }
}

// The equivalence heading comes before the equivalence limits, and only
// when they are emitted.
TEST(TableLayout, EquivalenceHeadingLeadsTheLimits) {
  const struct {
    const char *program, *first;
  } runs[] = {{kOne, ""}, {kLogPair, "EquivLimits"}, {kRatioPair, ""}, {kLogTwo, "EquivLimits"}};
  for (const auto &r : runs) {
    std::string first;
    for (const vyn::output::Item &item : harness::runStep(r.program).output) {
      const auto *t = std::get_if<harness::Table>(&item.content);
      const bool under = std::find(item.titles.begin(), item.titles.end(),
                                   "Equivalence Analysis (alpha = 0.05)") != item.titles.end();
      if (t != nullptr && under && first.empty()) first = t->name;
    }
    EXPECT_EQ(first, r.first) << r.program;
  }
}

// The heading calls the module makes, as "clear N" and "set N", alone or in
// the call that opens a group: the host's methods stand in for a recorder
// while `program` runs.
std::string calls;
template <int32_t Method>
wobfn host = nullptr;

template <int32_t Method>
int32_t recordHeadings(void *object, void *data, void *classdata, int32_t count, wobprop *props) {
  for (int32_t i = 0; i < count; ++i) {
    if (props[i].key == kKeyClearLevel) calls += " clear " + std::to_string(props[i].v.i);
    if (props[i].key == kKeyHeadingLevel) calls += " set " + std::to_string(props[i].v.i);
  }
  return host<Method>(object, data, classdata, count, props);
}

wobimpl *methodOf(const wobclass *cls, int32_t method) {
  for (wobment *e = cls->buckets[static_cast<uint32_t>(method) & cls->mask]; e != nullptr;
       e = e->next) {
    if (e->method == method) return e->impl;
  }
  return nullptr;
}

wobimpl *managerMethod(int32_t method) {
  return methodOf(vyn::output::managerClass(), method);
}

std::string headingCalls(const char *program) {
  wobimpl *heading = managerMethod(kMthHeading), *grouped = managerMethod(kMthGroupHead);
  if (heading == nullptr || grouped == nullptr) return "no heading method";
  calls.clear();
  host<kMthHeading> = std::exchange(heading->fn, &recordHeadings<kMthHeading>);
  host<kMthGroupHead> = std::exchange(grouped->fn, &recordHeadings<kMthGroupHead>);
  harness::runStep(program);
  heading->fn = host<kMthHeading>;
  grouped->fn = host<kMthGroupHead>;
  return calls;
}

// After the procedure's title, and before it sets the heading of an analysis or the
// equivalence heading, the module clears the headings from that level on: a host may keep
// deeper ones.
TEST(TableLayout, HeadingsAreClearedBeforeTheyAreSet) {
  EXPECT_EQ(headingCalls("proc kravo data=women tost(60, 70); var weight height; run;"),
            " set 1 clear 3 set 3 clear 4 set 4 clear 3 set 3 clear 4 set 4");
}

// A host without the calls that open a group with its heading and make, fill
// and emit a one-row table at once is given the calls they stand for: the
// listing is the same.
TEST(TableLayout, AHostWithoutTheOneCallPathsGetsTheSameListing) {
  wobimpl *grouped = managerMethod(kMthGroupHead);
  wobimpl *rowOutput = methodOf(vyn::output::tableClass(), kMthRowOutput);
  ASSERT_TRUE(grouped != nullptr && rowOutput != nullptr);
  const wobfn lacking = [](void *, void *, void *, int32_t, wobprop *) { return kWobNoMethod; };
  for (const char *program :
       {"proc kravo data=women tost(60, 70); var weight height; run;", kLogPair, kTwo}) {
    const std::string full = vyn::output::renderListing(harness::run(program));
    const wobfn group = std::exchange(grouped->fn, lacking);
    const wobfn row = std::exchange(rowOutput->fn, lacking);
    const std::string without = vyn::output::renderListing(harness::run(program));
    grouped->fn = group;
    rowOutput->fn = row;
    EXPECT_EQ(without, full) << program;
  }
}

}  // namespace
