// Tables built through the method calls of the output manager, with rows
// captured from the bound cells, and what the session collects.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "host/vynsvc.h"
#include "props.h"
#include "vyn/core/services.h"
#include "vyn/data/missing.h"
#include "vyn/output/session.h"

namespace {

using namespace testprops;
using vyn::output::Cell;
using vyn::output::Missing;
using vyn::output::Table;

template <typename Fn>
Fn *service(xsvcid id) {
  if (vyn::findService(vynsvc::kXobinit) == nullptr) vyn::registerOutputServices();
  const vyn::ServiceEntry *entry = vyn::findService(id);
  return entry == nullptr ? nullptr : reinterpret_cast<Fn *>(entry->fn);
}

void *text(const char *s) {
  return service<void *(const char *, int32_t)>(vynsvc::kUlxtxt)(s, -1);
}

class OutputSession : public ::testing::Test {
 protected:
  void SetUp() override {
    vyn::output::beginStep("KRAVO", &log);
    service<void(void **, int32_t)>(vynsvc::kXobinit)(&root, 0);
    wobprop create[3] = {counted(kKeyNameSpace, "ulx"), counted(kKeyKind, "manager"),
                         pointer(kKeyCreated, kWobObject, nullptr)};
    ASSERT_EQ(wobmth(root, nullptr, kMthCreate, 3, create), 0);
    manager = create[2].v.p;
    ASSERT_NE(manager, nullptr);
  }
  void TearDown() override { vyn::output::endStep(); }

  void *makeTable(const char *name) {
    wobprop create[6] = {counted(kKeyNameSpace, "ulx"),
                         counted(kKeyKind, "data"),
                         pointer(kKeyCreated, kWobObject, nullptr),
                         integer(kKeyOption, -1),
                         pointer(kKeyLabel, kWobText, text("Summary")),
                         pointer(kKeyName, kWobText, text(name))};
    EXPECT_EQ(wobmth(manager, nullptr, kMthCreate, 6, create), 0);
    return create[2].v.p;
  }
  void *openOutput(void *table, const char *path) {
    wobprop props[5] = {pointer(0, kWobObject, nullptr), pointer(0, kWobObject, table),
                        pointer(kKeyPath, kWobText, text(path)),
                        pointer(kKeyAttribute, kWobText, text("TOPSPACE")), integer(kKeyValue, 1)};
    EXPECT_EQ(wobmth(manager, nullptr, kMthOutput, 5, props), 0);
    return props[0].v.p;
  }
  int32_t emit(void *output) {
    wobprop props[1] = {pointer(0, kWobObject, output)};
    return wobmth(manager, nullptr, kMthEmit, 1, props);
  }
  // A heading call: its first slot is left unfilled (here: garbage that looks like a level).
  void heading(int level, const char *s) {
    wobprop props[4] = {integer(kKeyHeadingLevel, 99), integer(kKeyHeadingLevel, level),
                        pointer(kKeyText, kWobText, text(s)), integer(kKeyAlign, 'c', kWobZero)};
    EXPECT_EQ(wobmth(manager, nullptr, kMthHeading, 4, props), 0);
  }

  vyn::Log log;
  void *root = nullptr;
  void *manager = nullptr;
};

TEST_F(OutputSession, RowsComeFromTheBoundCellsAtEachRowCall) {
  heading(1, "The KRAVO Procedure");
  wobprop group[4] = {pointer(kKeyCreated, kWobObject, nullptr), boolean(kKeyGroupFlag, false),
                      pointer(kKeyName, kWobText, text("y")),
                      pointer(kKeyLabel, kWobText, text(""))};
  ASSERT_EQ(wobmth(manager, nullptr, kMthGroup, 4, group), 0);
  heading(3, "Variable: y");

  char name[8];
  double cells[4] = {};
  int32_t count = 0;
  void *table = makeTable("Statistics");
  wobprop ident[9] = {integer(kKeyColumnType, 6),
                      pointer(kKeyName, kWobText, text("Variable")),
                      pointer(kKeyLabel, kWobText, text("Variable")),
                      pointer(kKeyCell, kWobCell, name),
                      integer(kKeyStorage, 8),
                      pointer(kKeyAttribute, kWobText, text("MinimumWidth")),
                      integer(kKeyValue, 8),
                      pointer(kKeyAttribute, kWobText, text("_printVariable")),
                      boolean(kKeyValue, false)};
  wobprop mean[6] = {integer(kKeyWidth, 5),
                     integer(kKeyFormatNumber, 2),
                     pointer(kKeyName, kWobText, text("Mean")),
                     pointer(kKeyLabel, kWobText, text("Mean")),
                     pointer(kKeyCell, kWobCell, &cells[1]),
                     integer(kKeyColumnType, 5)};
  wobprop sd[6] = {integer(kKeyColumnType, 5),
                   pointer(kKeyName, kWobText, text("StdDev")),
                   pointer(kKeyLabel, kWobText, text("Std Dev")),
                   pointer(kKeyCell, kWobCell, &cells[2]),
                   pointer(kKeyAttribute, kWobText, text("PrintIt")),
                   boolean(kKeyValue, false)};
  wobprop p[5] = {integer(kKeyColumnType, 5), pointer(kKeyName, kWobText, text("Probt")),
                  pointer(kKeyCell, kWobCell, &cells[3]),
                  pointer(kKeyAttribute, kWobText, text("ProbtHeader")),
                  pointer(kKeyValue, kWobText, text("Pr > |t|"))};
  wobprop n[4] = {integer(kKeyColumnType, 3), pointer(kKeyName, kWobText, text("Count")),
                  pointer(kKeyLabel, kWobText, text("Count")), pointer(kKeyCell, kWobCell, &count)};
  const std::pair<wobprop *, int32_t> columns[] = {{ident, 9}, {mean, 6}, {sd, 6}, {p, 5}, {n, 4}};
  for (auto [props, k] : columns) {
    EXPECT_EQ(wobmth(table, nullptr, kMthColumn, k, props), 0);
  }
  wobprop format[2] = {integer(kKeyColumnNumber, 4), pointer(kKeyFormat, kWobText, text("PVALUE"))};
  EXPECT_EQ(wobmth(table, nullptr, kMthFormat, 2, format), 0);
  wobprop attrs[4] = {pointer(kKeyAttribute, kWobText, text("confmean")), real(kKeyValue, 95.5),
                      pointer(kKeyAttribute, kWobText, text("reqspace")), integer(kKeyValue, 3)};
  EXPECT_EQ(wobmth(table, nullptr, kMthAttribute, 4, attrs), 0);
  EXPECT_EQ(wobmth(table, nullptr, kMthEndTable, 0, nullptr), 0);

  void *output = openOutput(table, "Stat.Kravo.Statistics");
  std::memcpy(name, "y       ", 8);
  cells[1] = 5.5;
  cells[2] = vyn::data::missingValue('I');
  cells[3] = vyn::data::missingValue('_');
  count = 10;
  EXPECT_EQ(wobmth(table, nullptr, kMthRow, 0, nullptr), 0);
  std::memcpy(name, "longer  ", 8);
  cells[1] = std::nan("");
  cells[2] = -HUGE_VAL;
  cells[3] = vyn::data::missingValue('A');
  count = -2;
  EXPECT_EQ(wobmth(table, nullptr, kMthRow, 0, nullptr), 0);
  wobprop last[1] = {integer(kKeyLast, 1)};
  EXPECT_EQ(wobmth(table, nullptr, kMthLastOut, 1, last), 0);
  EXPECT_EQ(emit(output), 0);
  EXPECT_LT(emit(output), 0);  // an output object is emitted once

  const auto items = vyn::output::endStep();
  ASSERT_EQ(items.size(), 1u);
  const Table &t = std::get<Table>(items[0].content);
  EXPECT_EQ(t.name, "Statistics");
  EXPECT_EQ(t.label, "Summary");
  EXPECT_EQ(t.path, "Stat.Kravo.Statistics");
  EXPECT_EQ(items[0].titles, (std::vector<std::string>{"The KRAVO Procedure", "Variable: y"}));
  EXPECT_EQ(items[0].group.name, "y");
  EXPECT_EQ(items[0].group.label, "Variable: y");
  EXPECT_EQ(std::get<double>(t.attributes.at("confmean")), 95.5);
  EXPECT_EQ(std::get<long long>(t.attributes.at("reqspace")), 3);
  EXPECT_EQ(std::get<long long>(t.attributes.at("TOPSPACE")), 1);
  ASSERT_EQ(t.columns.size(), 5u);
  EXPECT_FALSE(t.columns[0].print);
  EXPECT_TRUE(t.columns[1].print);
  EXPECT_FALSE(t.columns[2].print);
  EXPECT_EQ(t.columns[3].format, "PVALUE");
  EXPECT_EQ(std::get<std::string>(t.columns[3].attributes.at("ProbtHeader")), "Pr > |t|");
  EXPECT_EQ(t.columns[4].type, vyn::output::ColumnType::kInt);
  ASSERT_EQ(t.rows.size(), 2u);
  EXPECT_EQ(t.rows[0],
            (std::vector<Cell>{std::string("y"), 5.5, Missing{'I'}, Missing{'_'}, 10LL}));
  EXPECT_EQ(t.rows[1], (std::vector<Cell>{std::string("longer"), Missing{'.'}, Missing{'M'},
                                          Missing{'A'}, -2LL}));
}

TEST_F(OutputSession, ARowWithoutAnOpenOutputIsRefusedAndLogged) {
  void *table = makeTable("Kravos");
  EXPECT_EQ(wobmth(table, nullptr, kMthEndTable, 0, nullptr), 0);
  EXPECT_LT(wobmth(table, nullptr, kMthRow, 0, nullptr), 0);
  ASSERT_EQ(log.entries().size(), 1u);
  EXPECT_EQ(log.entries()[0].number, 240);
  EXPECT_NE(log.entries()[0].text.find("Kravos"), std::string::npos);
  // a column after the end of the definition is refused too
  wobprop col[2] = {integer(kKeyColumnType, 5), pointer(kKeyName, kWobText, text("Late"))};
  EXPECT_LT(wobmth(table, nullptr, kMthColumn, 2, col), 0);
  EXPECT_EQ(wobmth(table, nullptr, 9999, 0, nullptr), kWobNoMethod);
  // a creation without the kind of object is refused with a message
  wobprop create[1] = {pointer(kKeyCreated, kWobObject, nullptr)};
  EXPECT_LT(wobmth(manager, nullptr, kMthCreate, 1, create), 0);
  EXPECT_EQ(create[0].v.p, nullptr);
  EXPECT_EQ(log.entries().back().number, 243);
}

TEST_F(OutputSession, ReleaseThroughTheClassEndsTheGroupAndInvalidatesTheHandle) {
  wobprop group[4] = {pointer(kKeyCreated, kWobObject, nullptr), boolean(kKeyGroupFlag, false),
                      pointer(kKeyName, kWobText, text("a_b")),
                      pointer(kKeyLabel, kWobText, text("a - b"))};
  ASSERT_EQ(wobmth(manager, nullptr, kMthGroup, 4, group), 0);
  void *g = group[0].v.p;
  wobprop note[4] = {pointer(kKeyName, kWobText, text("KravoFreqNote")),
                     pointer(kKeyText, kWobText, text("FREQ is f.")), integer(kKeySkip, 0),
                     integer(kKeyAlign, 'l', kWobZero)};
  EXPECT_EQ(wobmth(manager, nullptr, kMthNote, 4, note), 0);
  EXPECT_EQ(wobrelease(g), 0);
  EXPECT_LT(wobrelease(g), 0);  // a second release is refused
  EXPECT_EQ(service<void *(void *)>(vynsvc::kUlxggcb)(g), nullptr);
  EXPECT_NE(service<void *(void *)>(vynsvc::kUlxggcb)(manager), nullptr);
  EXPECT_EQ(wobmth(manager, nullptr, kMthNote, 4, note), 0);
  wobprop stale[1] = {pointer(0, kWobObject, g)};
  EXPECT_LT(wobmth(manager, nullptr, kMthEmit, 1, stale), 0);

  const auto items = vyn::output::endStep();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].group.name, "a_b");
  EXPECT_EQ(items[0].group.label, "a - b");
  EXPECT_EQ(std::get<vyn::output::Note>(items[0].content).text, "FREQ is f.");
  EXPECT_EQ(items[1].group.name, "");
}

TEST_F(OutputSession, ANewByGroupKeepsOnlyTheProcedureTitle) {
  heading(1, "Title");
  heading(4, "Equivalence");
  wobprop note[2] = {pointer(kKeyName, kWobText, text("N")),
                     pointer(kKeyText, kWobText, text("x"))};
  EXPECT_EQ(wobmth(manager, nullptr, kMthNote, 2, note), 0);
  vyn::output::setByGroup({{"site", "B", "B"}});
  EXPECT_EQ(wobmth(manager, nullptr, kMthNote, 2, note), 0);
  const auto items = vyn::output::endStep();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].titles, (std::vector<std::string>{"Title", "Equivalence"}));
  EXPECT_TRUE(items[0].by.empty());
  EXPECT_EQ(items[1].titles, (std::vector<std::string>{"Title"}));
  EXPECT_EQ(items[1].by[0].value, "B");
}

TEST_F(OutputSession, NamedValuesAndTheParentWalk) {
  void *table = makeTable("T");
  double value = 2.5;
  wobprop named[2] = {pointer(0, kWobText, text("alpha")), real(0, 0.05)};
  EXPECT_EQ(wobmth(manager, nullptr, kMthFact, 2, named), 0);
  wobprop ref = real(0, value);
  wobprop byRef[2] = {pointer(0, kWobText, text("scale")), pointer(0, kWobRef, &ref)};
  byRef[1].count = 1;
  EXPECT_EQ(wobmth(table, nullptr, kMthFact, 2, byRef), 0);

  wobprop ask[2] = {pointer(0, kWobText, text("scale")), slot(0, kWobRef)};
  ASSERT_EQ(wobmth(table, nullptr, kMthLookup, 2, ask), 0);
  ASSERT_EQ(ask[1].type, kWobRef);
  EXPECT_EQ(static_cast<wobprop *>(ask[1].v.p)->v.d, 2.5);

  wobprop missing[2] = {pointer(0, kWobText, text("alpha")), slot(0, kWobRef)};
  EXPECT_EQ(wobmth(table, nullptr, kMthLookup, 2, missing) & 0x803FFFFF, kWobNotFound);
  wobprop parent[2] = {counted(0, "^P_S_T^"), slot(0, kWobRef)};
  ASSERT_EQ(wobmth(table, nullptr, kMthLookup, 2, parent), 0);
  EXPECT_EQ(parent[1].v.p, manager);
  ASSERT_EQ(wobmth(manager, nullptr, kMthLookup, 2, missing), 0);
  EXPECT_EQ(static_cast<wobprop *>(missing[1].v.p)->v.d, 0.05);
}

TEST(OutputServices, TextsAndInsertsFromTheCatalogue) {
  vyn::output::beginStep("KRAVO");
  xins in[2] = {{0, 1, "yz", 0}, {1, 0, nullptr, 0.25}};
  void *msg =
      service<void *(int32_t, int32_t, int32_t, const xins *)>(vynsvc::kUlxmsgs)(181, 402, 2, in);
  void *fmt =
      service<void *(const char *, int32_t, const xins *)>(vynsvc::kUlxtxts)("%2 of %1%3", 2, in);
  void *part = service<void *(const char *, int32_t)>(vynsvc::kUlxtxt)("abcdef", 3);
  EXPECT_EQ(service<void *(const char *, int32_t)>(vynsvc::kUlxtxt)("abc", -7), nullptr);
  // the texts reach a table through its name and label
  void *root = nullptr;
  service<void(void **, int32_t)>(vynsvc::kXobinit)(&root, 0);
  wobprop create[3] = {counted(kKeyNameSpace, "ulx"), counted(kKeyKind, "manager"),
                       pointer(kKeyCreated, kWobObject, nullptr)};
  ASSERT_EQ(wobmth(root, nullptr, kMthCreate, 3, create), 0);
  wobprop table[4] = {counted(kKeyKind, "data"), pointer(kKeyCreated, kWobObject, nullptr),
                      pointer(kKeyLabel, kWobText, msg), pointer(kKeyName, kWobText, part)};
  ASSERT_EQ(wobmth(create[2].v.p, nullptr, kMthCreate, 4, table), 0);
  wobprop note[2] = {pointer(kKeyName, kWobText, part), pointer(kKeyText, kWobText, fmt)};
  ASSERT_EQ(wobmth(create[2].v.p, nullptr, kMthNote, 2, note), 0);
  const auto items = vyn::output::endStep();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(std::get<vyn::output::Note>(items[0].content).text, "0.25 of y");
  EXPECT_EQ(std::get<vyn::output::Note>(items[0].content).name, "abc");
  // between steps there is nothing to make texts in
  EXPECT_EQ(service<void *(const char *, int32_t)>(vynsvc::kUlxtxt)("abc", -1), nullptr);
}

}  // namespace
