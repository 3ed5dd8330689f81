// Graph data objects through whole programs: their columns in order, their
// labels, and their values against graphdata.R.
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tests/graphs/graphdata.h"
#include "vyn/output/session.h"

namespace {

using vyn::output::Cell;
using vyn::output::DataColumn;
using vyn::output::Missing;

constexpr double kMissing = NAN;

struct GoldenCell {
  const char *program, *object, *column;
  int row;
  double value;
};
#include "tests/graphs/dataobj_golden.inc"

const DataColumn *findColumn(const graphdata::GraphRun &run, const std::string &object,
                             const std::string &column) {
  for (const auto &o : run.objects) {
    if (o->name != object) continue;
    for (const DataColumn &c : o->columns)
      if (c.column.name == column) return &c;
  }
  return nullptr;
}

TEST(GraphData, CellsMatchTheLimitsAndRulesOfR) {
  std::string last;
  graphdata::GraphRun run;
  for (const GoldenCell &g : kCells) {
    if (last != g.program) run = graphdata::run(g.program);
    last = g.program;
    const DataColumn *c = findColumn(run, g.object, g.column);
    ASSERT_NE(c, nullptr) << g.program << " " << g.object << "." << g.column;
    ASSERT_LT(static_cast<size_t>(g.row), c->cells.size()) << g.program << " " << g.column;
    const Cell &cell = c->cells[static_cast<size_t>(g.row)];
    const std::string where =
        std::string(g.program) + " " + g.column + "[" + std::to_string(g.row) + "]";
    if (std::isnan(g.value)) {
      EXPECT_EQ(cell, Cell{Missing{'.'}}) << where;
    } else {
      ASSERT_TRUE(std::holds_alternative<double>(cell)) << where;
      EXPECT_NEAR(std::get<double>(cell), g.value, 1e-9 * std::fabs(g.value)) << where;
    }
  }
}

std::string layout(const vyn::output::DataObject &o) {
  std::string out = o.name + ":";
  for (const DataColumn &c : o.columns) out += " " + c.column.name;
  return out + " (" + std::to_string(o.columns.empty() ? 0 : o.columns[0].cells.size()) + ")";
}

// Every object of the analysis type in creation order, each with its columns
// and its row count.
TEST(GraphData, ObjectsHaveTheirColumnsInOrder) {
  const struct {
    const char *program;
    std::vector<std::string> objects;
  } cases[] = {
      {"proc kravo data=obs sides=l; var a b; run;",
       {"GraphDataStats: Zero One Two Three Four CIMainLabel H0 CIMainMean1 CIMainLCL1 CIMainUCL1 "
        "CIMainFarLCL1 CIMainViewMin1 CIMainMean2 CIMainLCL2 CIMainUCL2 CIMainFarLCL2 "
        "CIMainViewMin2 (1)",
        "GraphData1Sample: Observation ObservationNoMiss Y1 CIBandLCL1 CIBandUCL1 Y2 CIBandLCL2 "
        "CIBandUCL2 (12)"}},
      {"proc kravo data=obs tost(0.8, 1.25) dist=lognormal; paired a*b; run;",
       {"GraphDataStats: Zero One Two Three Four CIEqBLabel CIMainLabel LEB UEB CIMainMean1 "
        "CIMainLCL1 "
        "CIMainUCL1 (1)",
        "GraphDataPairedStacked: Observation ObservationNoMiss Y1 YMean1 VarName1 Position (24)",
        "GraphDataPairedPaired: ObservationPaired ObservationPairedNoMiss Y11 Y21 Yratio1 Y1Mean1 "
        "Y2Mean1 CIBandLCL1 CIBandUCL1 (12)"}},
      {"proc kravo data=obs; class g; var a; run;",
       {"GraphDataStats: Zero One Two Three Four CIClass1Label CIClass2Label CIPooledLabel "
        "CISattLabel "
        "H0 CIClass1Mean1 CIClass1LCL1 CIClass1UCL1 CIClass2Mean1 CIClass2LCL1 CIClass2UCL1 "
        "CIPooledMean1 CIPooledLCL1 CIPooledUCL1 CISattMean1 CISattLCL1 CISattUCL1 (1)",
        "GraphData2SampleStacked: Observation ObservationNoMiss Y1 Class (14)",
        "GraphData2SampleClass1: ObservationClass1 ObservationClass1NoMiss Y11 (6)",
        "GraphData2SampleClass2: ObservationClass2 ObservationClass2NoMiss Y21 (6)"}},
      {"proc kravo data=xo tost(-1, 1); var y1 y2 / crossover=(p1 p2) ignoreperiod; run;",
       {"GraphDataStats: Zero One Two Three Four CIEqBLabel CIMainLabel CITrtAPrd1Label "
        "CITrtAPrd2Label CITrtBPrd1Label CITrtBPrd2Label LEB UEB CITrtAPrd1Mean1 CITrtAPrd1LCL1 "
        "CITrtAPrd1UCL1 CITrtAPrd2Mean1 CITrtAPrd2LCL1 CITrtAPrd2UCL1 CITrtBPrd1Mean1 "
        "CITrtBPrd1LCL1 "
        "CITrtBPrd1UCL1 CITrtBPrd2Mean1 CITrtBPrd2LCL1 CITrtBPrd2UCL1 CITrtTestMean1 CITrtTestLCL1 "
        "CITrtTestUCL1 (1)",
        "GraphDataABBAStacked: Observation ObservationNoMiss Y1 YMean1 VarName1 Sequence SeqName "
        "MeanSeqName TrtNum Treatment Period TrtAndPrd Cell (24)",
        "GraphDataABBASemistacked: ObservationSemistacked ObservationSemistackedNoMiss Y11 Y21 YA1 "
        "YB1 Y1Mean1 Y2Mean1 YAMean1 YBMean1 Sequence SeqName MeanSeqName (12)",
        "GraphDataABBASeq1: ObservationSeq1 ObservationSeq1NoMiss YA11 YB21 (5)",
        "GraphDataABBASeq2: ObservationSeq2 ObservationSeq2NoMiss YB11 YA21 (5)"}},
  };
  for (const auto &c : cases) {
    const auto run = graphdata::run(c.program);
    std::vector<std::string> found;
    for (const auto &o : run.objects) found.push_back(layout(*o));
    EXPECT_EQ(found, c.objects) << c.program;
  }
}

std::string textCell(const graphdata::GraphRun &run, const char *object, const char *column,
                     int row) {
  const DataColumn *c = findColumn(run, object, column);
  if (c == nullptr || static_cast<size_t>(row) >= c->cells.size()) return "<none>";
  const auto *s = std::get_if<std::string>(&c->cells[static_cast<size_t>(row)]);
  return s == nullptr ? "<not text>" : *s;
}

TEST(GraphData, LabelsNameTheLevelsVariablesAndPairs) {
  const auto two = graphdata::run("proc kravo data=obs; class g; var a; run;");
  EXPECT_EQ(textCell(two, "GraphDataStats", "CIClass2Label", 0), "g = B");
  EXPECT_EQ(textCell(two, "GraphDataStats", "CISattLabel", 0), "Satterthwaite");
  EXPECT_EQ(textCell(two, "GraphData2SampleStacked", "Class", 1), "B");
  EXPECT_EQ(findColumn(two, "GraphData2SampleStacked", "Class")->column.label, "g");
  const auto paired = graphdata::run("proc kravo data=obs test=ratio; paired a*b; run;");
  EXPECT_EQ(textCell(paired, "GraphDataPairedStacked", "VarName1", 3), "b");
  EXPECT_EQ(findColumn(paired, "GraphDataPairedPaired", "Yratio1")->column.label, "a / b");
  EXPECT_EQ(findColumn(paired, "GraphDataPairedStacked", "YMean1")->column.label,
            "Geometric Mean of a, b");
  EXPECT_EQ(findColumn(paired, "GraphDataPairedPaired", "Y11")->tmpl, "Y");
  const auto xo = graphdata::run("proc kravo data=xo; var y1 y2 / crossover=(p1 p2); run;");
  EXPECT_EQ(textCell(xo, "GraphDataStats", "CITrtBPrd2Label", 0), "T, Period 2");
  EXPECT_EQ(textCell(xo, "GraphDataABBAStacked", "TrtAndPrd", 2), "T, 1");
  EXPECT_EQ(textCell(xo, "GraphDataABBASemistacked", "MeanSeqName", 1), "Mean T-R");
}

// Observation numbers are the data set's own, also in later BY groups.
TEST(GraphData, ObservationNumbersAreTheDataSetsOwn) {
  const auto run =
      graphdata::run("proc kravo data=scores; by site; var math; run;", true, VYN_PROGRAM_DATA);
  ASSERT_EQ(run.objects.size(), 4u);
  const DataColumn *numbers = nullptr;
  for (const DataColumn &c : run.objects[3]->columns)
    if (c.column.name == "ObservationNoMiss") numbers = &c;
  ASSERT_NE(numbers, nullptr);
  EXPECT_EQ(numbers->cells, (std::vector<Cell>{5.0, 6.0, 7.0, 8.0}));
}

}  // namespace

namespace host {

using namespace vyn::output;

wobprop text(uint16_t key, const char *s) {
  return wobp_ptr(key, kWobText, static_cast<HostObject *>(makeText(s)));
}
void *create(void *parent, const char *kind, std::vector<wobprop> props) {
  props.insert(props.end(), {wobp_str(kKeyNameSpace, "ulx", 3),
                             wobp_str(kKeyKind, kind, static_cast<uint16_t>(std::strlen(kind))),
                             wobp_ptr(kKeyCreated, kWobObject, nullptr)});
  wobmth(parent, nullptr, kMthCreate, static_cast<int32_t>(props.size()), props.data());
  return props.back().v.p;
}

// The manager answers whether it draws graphs; a data object wrapped for the
// graphs is found by its data reference and never emitted as a table.
TEST(DataObjectHost, KeepsTheWrappedObjectBehindItsReference) {
  for (bool graphics : {false, true}) {
    beginStep("KRAVO", nullptr, graphics);
    void *root = makeObject<HostObject>(*stepState(), ObjKind::kRoot, rootClass(), nullptr);
    void *manager = create(root, "manager", {});
    wobprop asked = wobp_bool(1334, !graphics);
    EXPECT_EQ(wobmth(manager, nullptr, kMthGetProperty, 1, &asked), 0);
    EXPECT_EQ(asked.v.b.value, graphics ? 1 : 0);
    wobprop ds = wobp_str(451, "DS", 2);
    wobmth(manager, nullptr, kMthDataSet, 1, &ds);
    void *data = create(manager, "data", {text(kKeyName, "GraphDataStats")});
    double v = 2.5;
    wobprop column[2] = {text(kKeyName, "V"), wobp_ptr(kKeyCell, kWobCell, &v)};
    wobmth(data, nullptr, kMthColumn, 2, column);
    wobmth(data, nullptr, kMthEndTable, 0, nullptr);
    void *ref = nullptr;
    wobprop wrap[4] = {wobp_ptr(0, kWobObject, nullptr), wobp_ptr(0, kWobObject, data),
                       text(kKeyPath, "Stat.Kravo.Phantom.GraphData"),
                       wobp_ptr(784, kWobTextArray, &ref)};
    ASSERT_EQ(wobmth(manager, nullptr, kMthOutput, 4, wrap), 0);
    wobmth(data, nullptr, kMthRow, 0, nullptr);
    wobmth(data, nullptr, kMthLastOut, 0, nullptr);
    EXPECT_EQ(wobmth(manager, nullptr, kMthEmit, 1, wrap), 0);
    wobmth(manager, nullptr, kMthDataSet, 0, nullptr);
    const auto found = dataObjectOf(ref);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->name, "GraphDataStats");
    EXPECT_EQ(found->columns.at(0).cells, std::vector<Cell>{2.5});
    EXPECT_TRUE(endStep().empty());
  }
}

}  // namespace host
