// Tables built through the method calls of the output manager, with rows
// captured from the bound cells, and what the session collects.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <iterator>
#include <map>
#include <utility>

#include "host/vynsvc.h"
#include "props.h"
#include "vyn/core/services.h"
#include "vyn/data/missing.h"
#include "vyn/output/objects.h"
#include "vyn/output/session.h"

namespace {

using namespace testprops;
using vyn::data::missingValue;
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
wobprop txt(uint16_t key, const char *s) {
  return pointer(key, kWobText, text(s));
}
int32_t call(void *object, int32_t method, std::vector<wobprop> props) {
  return wobmth(object, nullptr, method, static_cast<int32_t>(props.size()), props.data());
}

class OutputSession : public ::testing::Test {
 protected:
  void SetUp() override {
    vyn::output::beginStep("KRAVO", &log);
    service<void(void **, int32_t)>(vynsvc::kXobinit)(&root, 0);
    manager = create(root, {counted(kKeyNameSpace, "ulx"), counted(kKeyKind, "manager")});
    ASSERT_NE(manager, nullptr);
  }
  void TearDown() override { vyn::output::endStep(); }

  // Creates a child object; its handle comes back in the created slot (null when refused).
  void *create(void *parent, std::vector<wobprop> props) {
    props.push_back(pointer(kKeyCreated, kWobObject, nullptr));
    wobmth(parent, nullptr, kMthCreate, static_cast<int32_t>(props.size()), props.data());
    return props.back().v.p;
  }
  void *makeTable(const char *name) {
    return create(
        manager, {counted(kKeyNameSpace, "ulx"), counted(kKeyKind, "data"), integer(kKeyOption, -1),
                  txt(kKeyLabel, "Summary"), txt(kKeyName, name)});
  }
  void *openOutput(void *table, const char *path) {
    wobprop props[5] = {pointer(0, kWobObject, nullptr), pointer(0, kWobObject, table),
                        txt(kKeyPath, path), txt(kKeyAttribute, "TOPSPACE"), integer(kKeyValue, 1)};
    EXPECT_EQ(wobmth(manager, nullptr, kMthOutput, 5, props), 0);
    return props[0].v.p;
  }
  void *group(const char *name, const char *label) {
    wobprop props[4] = {pointer(kKeyCreated, kWobObject, nullptr), boolean(kKeyGroupFlag, false),
                        txt(kKeyName, name), txt(kKeyLabel, label)};
    EXPECT_EQ(wobmth(manager, nullptr, kMthGroup, 4, props), 0);
    return props[0].v.p;
  }
  int32_t emit(void *output) { return call(manager, kMthEmit, {pointer(0, kWobObject, output)}); }
  // A heading call: its first slot is left unfilled (here: garbage that looks like a level).
  void heading(int level, const char *s) {
    EXPECT_EQ(call(manager, kMthHeading,
                   {integer(kKeyHeadingLevel, 99), integer(kKeyHeadingLevel, level),
                    txt(kKeyText, s), integer(kKeyAlign, 'c', kWobZero)}),
              0);
  }

  vyn::Log log;
  void *root = nullptr;
  void *manager = nullptr;
};

TEST_F(OutputSession, RowsComeFromTheBoundCellsAtEachRowCall) {
  heading(1, "The KRAVO Procedure");
  group("y", "");
  heading(3, "Variable: y");
  char name[8];
  double cells[3] = {};
  int32_t count = 0;
  void *table = makeTable("Statistics");
  const std::vector<wobprop> columns[] = {
      {integer(kKeyColumnType, 6), txt(kKeyName, "Variable"), txt(kKeyLabel, "Variable"),
       pointer(kKeyCell, kWobCell, name), integer(kKeyStorage, 8),
       txt(kKeyAttribute, "MinimumWidth"), integer(kKeyValue, 8),
       txt(kKeyAttribute, "_printVariable"), boolean(kKeyValue, false)},
      {integer(kKeyWidth, 5), integer(kKeyFormatNumber, 2), txt(kKeyName, "Mean"),
       txt(kKeyLabel, "Mean"), pointer(kKeyCell, kWobCell, &cells[0]), integer(kKeyColumnType, 5)},
      {integer(kKeyColumnType, 5), txt(kKeyName, "StdDev"), txt(kKeyLabel, "Std Dev"),
       pointer(kKeyCell, kWobCell, &cells[1]), txt(kKeyAttribute, "PrintIt"),
       boolean(kKeyValue, false)},
      {integer(kKeyColumnType, 5), txt(kKeyName, "Probt"), pointer(kKeyCell, kWobCell, &cells[2]),
       txt(kKeyAttribute, "ProbtHeader"), txt(kKeyValue, "Pr > |t|")},
      {integer(kKeyColumnType, 3), txt(kKeyName, "Count"), txt(kKeyLabel, "Count"),
       pointer(kKeyCell, kWobCell, &count)}};
  for (const auto &props : columns) EXPECT_EQ(call(table, kMthColumn, props), 0);
  EXPECT_EQ(call(table, kMthFormat, {integer(kKeyColumnNumber, 4), txt(kKeyFormat, "PVALUE")}), 0);
  EXPECT_EQ(call(table, kMthAttribute,
                 {txt(kKeyAttribute, "confmean"), real(kKeyValue, 95.5),
                  txt(kKeyAttribute, "reqspace"), integer(kKeyValue, 3)}),
            0);
  EXPECT_EQ(call(table, kMthEndTable, {}), 0);

  void *output = openOutput(table, "Stat.Kravo.Statistics");
  auto row = [&](const char *text, double mean, double sd, double p, int32_t n) {
    std::memcpy(name, text, 8);
    cells[0] = mean;
    cells[1] = sd;
    cells[2] = p;
    count = n;
    EXPECT_EQ(call(table, kMthRow, {}), 0);
  };
  row("y       ", 5.5, missingValue('I'), missingValue('_'), 10);
  row("longer  ", std::nan(""), -HUGE_VAL, missingValue('A'), -2);
  EXPECT_EQ(call(table, kMthLastOut, {integer(kKeyLast, 1)}), 0);
  EXPECT_EQ(emit(output), 0);
  EXPECT_LT(emit(output), 0);  // an output object is emitted once

  const auto items = vyn::output::endStep();
  ASSERT_EQ(items.size(), 1u);
  const Table &t = std::get<Table>(items[0].content);
  EXPECT_EQ(t.name + "|" + t.label + "|" + t.path, "Statistics|Summary|Stat.Kravo.Statistics");
  EXPECT_EQ(items[0].titles, (std::vector<std::string>{"The KRAVO Procedure", "Variable: y"}));
  EXPECT_EQ(items[0].group.name + "|" + items[0].group.label, "y|Variable: y");
  EXPECT_EQ(t.attributes,
            (vyn::output::Attributes{{"confmean", 95.5}, {"reqspace", 3LL}, {"TOPSPACE", 1LL}}));
  std::string shape;
  for (const vyn::output::Column &c : t.columns)
    shape += c.name + (c.print ? "" : "-") + ":" + c.format + " ";
  // numeric columns take the template's 12.4 unless the procedure set a format
  EXPECT_EQ(shape, "Variable-: Mean:12.4 StdDev-:12.4 Probt:PVALUE Count:12.4 ");
  EXPECT_EQ(std::get<std::string>(t.columns[3].attributes.at("ProbtHeader")), "Pr > |t|");
  EXPECT_EQ(t.columns[4].type, vyn::output::ColumnType::kInt);
  EXPECT_EQ(t.rows, (std::vector<std::vector<Cell>>{
                        {std::string("y"), 5.5, Missing{'I'}, Missing{'_'}, 10LL},
                        {std::string("longer"), Missing{'.'}, Missing{'M'}, Missing{'A'}, -2LL}}));
}

TEST_F(OutputSession, RefusedCallsAreLoggedByNumber) {
  void *table = makeTable("Kravos");
  EXPECT_EQ(call(table, kMthEndTable, {}), 0);
  EXPECT_LT(call(table, kMthRow, {}), 0);  // no open output
  ASSERT_EQ(log.entries().size(), 1u);
  EXPECT_EQ(log.entries()[0].number, 240);
  EXPECT_NE(log.entries()[0].text.find("Kravos"), std::string::npos);
  // a column after the end of the definition; an unknown method
  EXPECT_LT(call(table, kMthColumn, {integer(kKeyColumnType, 5), txt(kKeyName, "Late")}), 0);
  EXPECT_EQ(call(table, 9999, {}), kWobNoMethod);
  // a creation without the kind of object
  EXPECT_EQ(create(manager, {}), nullptr);
  EXPECT_EQ(log.entries().back().number, 243);
}

TEST_F(OutputSession, AReleasedManagerRefusesTheCallsAfterItsRelease) {
  const std::vector<wobprop> note = {txt(kKeyName, "KravoWtNote"), txt(kKeyText, "WEIGHT is w.")};
  EXPECT_EQ(call(manager, kMthNote, note), 0);
  EXPECT_EQ(call(manager, kMthReady, {}), 0);
  EXPECT_EQ(wobrelease(manager), 0);
  EXPECT_LT(call(manager, kMthNote, note), 0);
  EXPECT_LT(call(manager, kMthReady, {}), 0);
  EXPECT_EQ(vyn::output::endStep().size(), 1u);
}

TEST_F(OutputSession, ReleaseThroughTheClassEndsTheGroupAndInvalidatesTheHandle) {
  void *g = group("a_b", "a - b");
  const std::vector<wobprop> note = {txt(kKeyName, "KravoFreqNote"), txt(kKeyText, "FREQ is f."),
                                     integer(kKeySkip, 0), integer(kKeyAlign, 'l', kWobZero)};
  EXPECT_EQ(call(manager, kMthNote, note), 0);
  EXPECT_EQ(wobrelease(g), 0);
  EXPECT_LT(wobrelease(g), 0);  // a second release is refused
  EXPECT_EQ(service<void *(void *)>(vynsvc::kUlxggcb)(g), nullptr);
  EXPECT_NE(service<void *(void *)>(vynsvc::kUlxggcb)(manager), nullptr);
  EXPECT_EQ(call(manager, kMthNote, note), 0);
  EXPECT_LT(emit(g), 0);
  // the next group is made in the object released: its handle is new, the old one refused
  void *h = group("c", "");
  EXPECT_NE(h, g);
  EXPECT_LT(wobrelease(g), 0);
  EXPECT_EQ(service<void *(void *)>(vynsvc::kUlxggcb)(g), nullptr);
  EXPECT_NE(service<void *(void *)>(vynsvc::kUlxggcb)(h), nullptr);

  const auto items = vyn::output::endStep();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].group.name + "|" + items[0].group.label, "a_b|a - b");
  EXPECT_EQ(std::get<vyn::output::Note>(items[0].content).text, "FREQ is f.");
  EXPECT_EQ(items[1].group.name, "");
}

TEST_F(OutputSession, ANewByGroupKeepsOnlyTheProcedureTitle) {
  heading(1, "Title");
  heading(4, "Equivalence");
  EXPECT_EQ(call(manager, kMthNote, {txt(kKeyName, "N"), txt(kKeyText, "x")}), 0);
  vyn::output::setByGroup({{"site", "B", "B"}});
  EXPECT_EQ(call(manager, kMthNote, {txt(kKeyName, "N"), txt(kKeyText, "x")}), 0);
  const auto items = vyn::output::endStep();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].titles, (std::vector<std::string>{"Title", "Equivalence"}));
  EXPECT_TRUE(items[0].by.empty());
  EXPECT_EQ(items[1].titles, (std::vector<std::string>{"Title"}));
  EXPECT_EQ(items[1].by[0].value, "B");
}

// The headings in force after each call: a heading clears those at its level and after, a
// clear those from its level on; a heading set again shows only its own text.
TEST_F(OutputSession, HeadingsStandInTheOrderOfTheirLevels) {
  const struct {
    int level;  // negative: a clear from that level
    const char *text;
    std::vector<std::string> titles;
  } calls[] = {{1, "Title", {"Title"}},
               {3, "Variable: a_long_name", {"Title", "Variable: a_long_name"}},
               {4, "Equivalence", {"Title", "Variable: a_long_name", "Equivalence"}},
               {3, "Variable: y", {"Title", "Variable: y"}},
               {-3, nullptr, {"Title"}},
               {2, "Two", {"Title", "Two"}},
               {3, "Three", {"Title", "Two", "Three"}},
               {2, "2", {"Title", "2"}},
               {-1, nullptr, {}},
               {4, "Four", {"Four"}}};
  for (const auto &c : calls) {
    if (c.level < 0) {
      call(manager, kMthHeading,
           {integer(kKeyHeadingLevel, 99), integer(kKeyClearLevel, -c.level)});
    } else {
      heading(c.level, c.text);
    }
    EXPECT_EQ(call(manager, kMthNote, {txt(kKeyName, "N"), txt(kKeyText, "x")}), 0);
  }
  const auto items = vyn::output::endStep();
  ASSERT_EQ(items.size(), std::size(calls));
  for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(items[i].titles, calls[i].titles) << i;
}

// Groups are made again from released ones, hundreds of groups on: each takes its name from
// its own call and its label from its first heading, never from the group it was made from.
TEST_F(OutputSession, RemadeGroupsTakeTheirLabelFromTheirOwnFirstHeading) {
  const char *names[] = {"a_long_group_name", "", "y"};
  const char *headings[] = {"Variable: a_long_group_name", "Heading", "Second heading"};
  std::vector<void *> texts;  // made once, so that only the groups come and go
  for (const char *s : {"a_long_group_name", "", "y", "Given label", "N", "x"}) {
    texts.push_back(text(s));
  }
  for (const char *s : headings) texts.push_back(text(s));
  const std::vector<wobprop> note = {pointer(kKeyName, kWobText, texts[4]),
                                     pointer(kKeyText, kWobText, texts[5])};
  std::vector<std::string> expected;
  for (int i = 0; i < 300; ++i) {
    wobprop props[4] = {pointer(kKeyCreated, kWobObject, nullptr), boolean(kKeyGroupFlag, false),
                        pointer(kKeyName, kWobText, texts[i % 3]),
                        pointer(kKeyLabel, kWobText, i % 2 == 0 ? texts[3] : nullptr)};
    EXPECT_EQ(wobmth(manager, nullptr, kMthGroup, 4, props), 0);
    EXPECT_EQ(call(manager, kMthNote, note), 0);
    expected.push_back(std::string(names[i % 3]) + "|" + (i % 2 == 0 ? "Given label" : ""));
    for (int h : {i % 2, 2}) {
      EXPECT_EQ(call(manager, kMthHeading,
                     {integer(kKeyHeadingLevel, 99), integer(kKeyHeadingLevel, 3),
                      pointer(kKeyText, kWobText, texts[6 + h])}),
                0);
    }
    EXPECT_EQ(call(manager, kMthNote, note), 0);
    EXPECT_EQ(wobrelease(props[0].v.p), 0);
    expected.push_back(std::string(names[i % 3]) + "|" + headings[i % 2]);
  }
  const auto items = vyn::output::endStep();
  ASSERT_EQ(items.size(), expected.size());
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_EQ(items[i].group.name + "|" + items[i].group.label, expected[i]) << i;
    EXPECT_EQ(items[i].group.serial, static_cast<int>(i / 2) + 1) << i;
  }
}

// A call that opens a group with its heading places what follows as the group call, the
// clearing and the heading it stand for do, its slots laid out as procedures lay them or
// in another order; one that clears nothing is refused, and a group it leaves unheaded
// shows the label the call gave.
TEST_F(OutputSession, AGroupOpenedWithItsHeadingStandsWhereTheThreeCallsPutIt) {
  const std::vector<wobprop> note = {txt(kKeyName, "N"), txt(kKeyText, "x")};
  enum Way { kOneCall, kOneCallReordered, kThreeCalls };
  for (Way way : {kOneCall, kOneCallReordered, kThreeCalls}) {
    heading(4, "Equivalence");
    for (const char *name : {"y1", "y2", "a_longer_name"}) {
      std::vector<wobprop> props = {pointer(kKeyCreated, kWobObject, nullptr),
                                    boolean(kKeyGroupFlag, false),
                                    txt(kKeyName, name),
                                    txt(kKeyLabel, "Given"),
                                    integer(kKeyClearLevel, 3),
                                    integer(kKeyHeadingLevel, 3),
                                    txt(kKeyText, name)};
      if (way == kOneCall) {
        EXPECT_EQ(call(manager, kMthGroupHead, props), 0);
      } else if (way == kOneCallReordered) {
        std::swap(props[2], props[3]);
        EXPECT_EQ(call(manager, kMthGroupHead, props), 0);
      } else {
        EXPECT_EQ(wobmth(manager, nullptr, kMthGroup, 4, props.data()), 0);
        EXPECT_EQ(call(manager, kMthHeading, {slot(0, 0), props[4]}), 0);
        EXPECT_EQ(call(manager, kMthHeading, {slot(0, 0), props[5], props[6]}), 0);
      }
      EXPECT_EQ(call(manager, kMthNote, note), 0);
      EXPECT_EQ(wobrelease(props[0].v.p), 0);
    }
  }
  EXPECT_LT(call(manager, kMthGroupHead,
                 {pointer(kKeyCreated, kWobObject, nullptr), integer(kKeyHeadingLevel, 3)}),
            0);
  EXPECT_EQ(call(manager, kMthGroupHead,
                 {pointer(kKeyCreated, kWobObject, nullptr), txt(kKeyName, "z"),
                  txt(kKeyLabel, "Own"), integer(kKeyClearLevel, 3)}),
            0);
  EXPECT_EQ(call(manager, kMthNote, note), 0);
  std::string seen[3];
  const auto items = vyn::output::endStep();
  ASSERT_EQ(items.size(), 10u);
  for (size_t i = 0; i < 9; ++i) {
    for (const std::string &title : items[i].titles) seen[i / 3] += title + "/";
    seen[i / 3] += items[i].group.name + "|" + items[i].group.label + " ";
  }
  EXPECT_EQ(seen[0], seen[1]);
  EXPECT_EQ(seen[0], seen[2]);
  EXPECT_EQ(seen[0], "y1/y1|y1 y2/y2|y2 a_longer_name/a_longer_name|a_longer_name ");
  EXPECT_EQ(items[9].group.name + "|" + items[9].group.label, "z|Own");
}

// Each emitted table as "path:format of its first column", taken as a sink takes them.
struct FormatsSeen : vyn::output::ItemSink {
  std::string seen;
  void beginStep(const std::string &) override {}
  void item(const vyn::output::Item &item, const vyn::output::ItemPlace &) override {
    const Table &t = std::get<Table>(item.content);
    seen += " " + t.path + ":" + t.columns[0].format;
  }
  void endStep(const vyn::output::StepRecord &) override {}
  void logged(const vyn::LogEntry &) override {}
};

// Texts made before the first BY group serve them all; each output takes the columns as they
// are, also where the tables handed to a sink are written over from one output to the next.
TEST_F(OutputSession, StepTextsOutliveByGroupsAndOutputsFollowTheColumns) {
  FormatsSeen sink;
  vyn::output::stepState()->sink = &sink;
  void *path = text("Stat.Kravo.Statistics"), *byText = nullptr, *table = makeTable("T");
  double cell = 1.5;
  call(table, kMthColumn, {txt(kKeyName, "Zeta"), pointer(kKeyCell, kWobCell, &cell)});
  auto emitWith = [&](void *pathText) {
    wobprop props[3] = {pointer(0, kWobObject, nullptr), pointer(0, kWobObject, table),
                        pointer(kKeyPath, kWobText, pathText)};
    wobmth(manager, nullptr, kMthOutput, 3, props);
    call(table, kMthRow, {});
    emit(props[0].v.p);
  };
  for (const char *by : {"1", "2"}) {
    vyn::output::setByGroup({{"g", by, by}});
    for (void *p : {byText, path}) emitWith(p);  // a text of the previous BY group is gone
    byText = text("Stat.Kravo.Unknown");
  }
  for (void *p : {byText, path}) emitWith(p);
  call(table, kMthFormat, {integer(kKeyColumnNumber, 1), txt(kKeyFormat, "6.1")});
  emitWith(path);
  EXPECT_EQ(sink.seen,
            " :BEST12. Stat.Kravo.Statistics:12.4 :BEST12. Stat.Kravo.Statistics:12.4 "
            "Stat.Kravo.Unknown:BEST12. Stat.Kravo.Statistics:12.4 Stat.Kravo.Statistics:6.1");
}

// The attributes of each emitted table, taken as a sink takes them, and the tables
// whose shape (which the writers' layouts are kept by) was seen before with others.
struct AttributesSeen : vyn::output::ItemSink {
  std::vector<vyn::output::Attributes> seen;
  std::map<uint64_t, vyn::output::Attributes> byShape;
  int shapesReused = 0;
  void beginStep(const std::string &) override {}
  void item(const vyn::output::Item &item, const vyn::output::ItemPlace &) override {
    const Table &t = std::get<Table>(item.content);
    seen.push_back(t.attributes);
    const auto [at, added] = byShape.try_emplace(t.shape, t.attributes);
    if (!added && at->second != t.attributes) ++shapesReused;
  }
  void endStep(const vyn::output::StepRecord &) override {}
  void logged(const vyn::LogEntry &) override {}
};

// Output objects are made again from freed ones, hundreds of outputs on: each table emitted
// carries the attributes of its own output, whether they come again, change or go, and
// a new shape whenever they differ.
TEST_F(OutputSession, RemadeOutputsCarryOnlyTheirOwnAttributes) {
  AttributesSeen sink;
  vyn::output::stepState()->sink = &sink;
  void *table = makeTable("T"), *topspace = text("TOPSPACE");
  double cell = 1.5;
  call(table, kMthColumn, {txt(kKeyName, "X"), pointer(kKeyCell, kWobCell, &cell)});
  std::vector<vyn::output::Attributes> expected;
  for (int i = 0; i < 600; ++i) {
    const int value = i % 3;  // 0: no attribute
    std::vector<wobprop> props = {pointer(0, kWobObject, nullptr), pointer(0, kWobObject, table)};
    if (value != 0) {
      props.push_back(pointer(kKeyAttribute, kWobText, topspace));
      props.push_back(integer(kKeyValue, value));
      expected.push_back({{"TOPSPACE", static_cast<long long>(value)}});
    } else {
      expected.emplace_back();
    }
    wobmth(manager, nullptr, kMthOutput, static_cast<int32_t>(props.size()), props.data());
    call(table, kMthRow, {});
    emit(props[0].v.p);
  }
  EXPECT_EQ(sink.seen, expected);
  EXPECT_EQ(sink.shapesReused, 0);
}

// Each emitted table as a sink takes it, copied.
struct TablesSeen : vyn::output::ItemSink {
  std::vector<Table> seen;
  void beginStep(const std::string &) override {}
  void item(const vyn::output::Item &item, const vyn::output::ItemPlace &) override {
    seen.push_back(std::get<Table>(item.content));
  }
  void endStep(const vyn::output::StepRecord &) override {}
  void logged(const vyn::LogEntry &) override {}
};

// The output object a table keeps is made again for each output: nothing of one output (rows,
// attributes, named values) shows in the next, and the handle of an earlier output is refused
// while the next one is open, as is the handle of one released.
TEST_F(OutputSession, AKeptOutputShowsNothingOfItsLastOutputAndRefusesItsOldHandles) {
  TablesSeen sink;
  vyn::output::stepState()->sink = &sink;
  void *table = makeTable("T"), *topspace = text("TOPSPACE"), *path = text("P");
  double cell = 0;
  call(table, kMthColumn, {txt(kKeyName, "X"), pointer(kKeyCell, kWobCell, &cell)});
  auto open = [&](bool attribute) {
    std::vector<wobprop> props = {pointer(0, kWobObject, nullptr), pointer(0, kWobObject, table),
                                  pointer(kKeyPath, kWobText, path)};
    if (attribute) {
      props.push_back(pointer(kKeyAttribute, kWobText, topspace));
      props.push_back(integer(kKeyValue, 2));
    }
    EXPECT_EQ(
        wobmth(manager, nullptr, kMthOutput, static_cast<int32_t>(props.size()), props.data()), 0);
    return props[0].v.p;
  };
  auto rows = [&](const std::vector<double> &values) {
    for (double v : values) {
      cell = v;
      EXPECT_EQ(call(table, kMthRow, {}), 0);
    }
  };
  auto named = [](void *object) {
    wobprop ask[2] = {txt(0, "n"), slot(0, kWobRef)};
    return wobmth(object, nullptr, kMthLookup, 2, ask) == 0;
  };
  auto *ggcb = service<void *(void *)>(vynsvc::kUlxggcb);

  std::vector<void *> handles;
  for (int i = 0; i < 20; ++i) {
    handles.push_back(open(i % 2 == 0));
    const bool even = i % 2 == 0;
    if (even) {
      EXPECT_EQ(call(handles.back(), kMthFact, {txt(0, "n"), real(0, i)}), 0);
    }
    EXPECT_EQ(named(handles.back()), even) << i;
    rows(even ? std::vector<double>{1, 2, 3} : std::vector<double>{4});
    EXPECT_EQ(emit(handles.back()), 0);
  }
  void *current = open(false);
  const size_t logged = log.entries().size();
  for (size_t i = handles.size() - (vyn::output::kFaces - 1); i < handles.size(); ++i) {
    EXPECT_LT(emit(handles[i]), 0) << i;
    EXPECT_LT(call(handles[i], kMthAttribute, {txt(kKeyAttribute, "a"), integer(kKeyValue, 1)}), 0)
        << i;
    EXPECT_EQ(ggcb(handles[i]), nullptr) << i;
  }
  EXPECT_EQ(log.entries().size(), logged + 2 * (vyn::output::kFaces - 1));
  EXPECT_EQ(log.entries().back().number, 241);
  EXPECT_NE(ggcb(current), nullptr);
  EXPECT_FALSE(named(current));
  rows({5, 6});
  EXPECT_EQ(emit(current), 0);
  EXPECT_LT(call(current, kMthAttribute, {txt(kKeyAttribute, "a"), integer(kKeyValue, 1)}), 0);
  void *released = open(true);
  EXPECT_EQ(wobrelease(released), 0);
  EXPECT_LT(emit(released), 0);
  EXPECT_EQ(emit(open(true)), 0);

  ASSERT_EQ(sink.seen.size(), 22u);
  for (size_t i = 0; i < 20; ++i) {
    const Table &t = sink.seen[i];
    EXPECT_EQ(t.rows.size(), i % 2 == 0 ? 3u : 1u) << i;
    EXPECT_EQ(t.rows.back()[0], Cell(i % 2 == 0 ? 3.0 : 4.0)) << i;
    EXPECT_EQ(t.attributes.size(), i % 2 == 0 ? 1u : 0u) << i;
  }
  EXPECT_EQ(sink.seen[20].rows, (std::vector<std::vector<Cell>>{{5.0}, {6.0}}));
  EXPECT_TRUE(sink.seen[20].attributes.empty());
  EXPECT_TRUE(sink.seen[21].rows.empty());
  EXPECT_EQ(sink.seen[21].attributes, (vyn::output::Attributes{{"TOPSPACE", 2LL}}));
}

// A call the same as the last one of its table's output, slot for slot, gives the same path
// and attributes; each case changes one thing in between that the second output must show.
TEST_F(OutputSession, ARepeatedCallTakesAnewWhatChangedSinceTheLast) {
  TablesSeen sink;
  vyn::output::stepState()->sink = &sink;
  void *table = makeTable("T"), *topspace = text("TOPSPACE"), *path = text("P");
  double cell = 1;
  call(table, kMthColumn, {txt(kKeyName, "X"), pointer(kKeyCell, kWobCell, &cell)});
  char characters[] = "Q1";
  std::vector<wobprop> props;
  auto output = [&] {
    props[0].v.p = nullptr;
    EXPECT_EQ(
        wobmth(manager, nullptr, kMthOutput, static_cast<int32_t>(props.size()), props.data()), 0);
    EXPECT_EQ(call(table, kMthRow, {}), 0);
    return props[0].v.p;
  };
  auto repeated = [&](std::vector<wobprop> given, auto &&change) {
    props = {pointer(0, kWobObject, nullptr), pointer(0, kWobObject, table)};
    props.insert(props.end(), given.begin(), given.end());
    EXPECT_EQ(emit(output()), 0);
    void *second = output();
    change(second);
    EXPECT_EQ(emit(second), 0);
    EXPECT_EQ(emit(output()), 0);
    return sink.seen.back();
  };
  auto none = [](void *) {};
  const wobprop space = pointer(kKeyAttribute, kWobText, topspace);

  Table t =
      repeated({pointer(kKeyPath, kWobText, path), space, integer(kKeyValue, 1)}, [](void *second) {
        call(second, kMthAttribute, {txt(kKeyAttribute, "E"), integer(kKeyValue, 5)});
      });
  EXPECT_EQ(t.attributes, (vyn::output::Attributes{{"TOPSPACE", 1LL}})) << "attribute added";
  EXPECT_EQ(sink.seen.rbegin()[1].attributes,
            (vyn::output::Attributes{{"E", 5LL}, {"TOPSPACE", 1LL}}));
  EXPECT_EQ(t.path, "P");

  t = repeated({space, real(kKeyValue, 0.5)}, [&](void *) { props[3].v.d = 0.25; });
  EXPECT_EQ(t.attributes, (vyn::output::Attributes{{"TOPSPACE", 0.25}})) << "value changed";
  t = repeated({space, boolean(kKeyValue, true)}, [&](void *) { props[3].v.b.value = 0; });
  EXPECT_EQ(t.attributes, (vyn::output::Attributes{{"TOPSPACE", false}})) << "flag changed";

  t = repeated({counted(kKeyPath, characters)}, [&](void *) { characters[1] = '2'; });
  EXPECT_EQ(t.path, "Q2") << "characters of a counted string";

  vyn::output::setByGroup({{"g", "1", "1"}});
  void *passing = text("R");
  t = repeated({pointer(kKeyPath, kWobText, passing)}, [](void *) {
    vyn::output::setByGroup({{"g", "2", "2"}});
  });
  EXPECT_EQ(t.path, "") << "a text released reads as none";
  t = repeated({pointer(kKeyPath, kWobText, path), space, integer(kKeyValue, 2)}, none);
  EXPECT_EQ(t.attributes, (vyn::output::Attributes{{"TOPSPACE", 2LL}}));
  EXPECT_EQ(t.path, "P");
}

// A one-row output call emits what the output, row, end and emit calls it stands for emit, as
// before or after a change of the table's columns, of its call or of an output between.
TEST_F(OutputSession, AOneRowOutputEmitsWhatTheFourCallsDo) {
  TablesSeen sink;
  vyn::output::stepState()->sink = &sink;
  void *topspace = text("TOPSPACE");
  double cell = 0;
  for (bool oneCall : {true, false}) {
    void *table = makeTable("T");
    call(table, kMthColumn, {txt(kKeyName, "X"), pointer(kKeyCell, kWobCell, &cell)});
    std::vector<wobprop> given = {txt(kKeyPath, "P"), pointer(kKeyAttribute, kWobText, topspace),
                                  integer(kKeyValue, 1)};
    auto emitRow = [&](double value) {
      cell = value;
      if (oneCall) {
        EXPECT_EQ(call(table, kMthRowOutput, given), 0);
        return;
      }
      std::vector<wobprop> props = {pointer(0, kWobObject, nullptr), pointer(0, kWobObject, table)};
      props.insert(props.end(), given.begin(), given.end());
      wobmth(manager, nullptr, kMthOutput, static_cast<int32_t>(props.size()), props.data());
      call(table, kMthRow, {});
      call(table, kMthLastOut, {integer(kKeyLast, 1)});
      EXPECT_EQ(emit(props[0].v.p), 0);
    };
    emitRow(1);
    emitRow(2);
    call(table, kMthFormat, {integer(kKeyColumnNumber, 1), txt(kKeyFormat, "6.1")});
    emitRow(3);
    given[2].v.i = 2;
    emitRow(4);
    wobprop between[2] = {pointer(0, kWobObject, nullptr), pointer(0, kWobObject, table)};
    wobmth(manager, nullptr, kMthOutput, 2, between);
    call(between[0].v.p, kMthAttribute, {txt(kKeyAttribute, "E"), integer(kKeyValue, 5)});
    EXPECT_EQ(emit(between[0].v.p), 0);
    emitRow(std::nan(""));
    emitRow(6);
  }
  ASSERT_EQ(sink.seen.size(), 14u);
  for (size_t i = 0; i < 7; ++i) {
    const Table &one = sink.seen[i], &four = sink.seen[i + 7];
    EXPECT_EQ(one.path + one.columns[0].format, four.path + four.columns[0].format) << i;
    EXPECT_EQ(one.attributes, four.attributes) << i;
    EXPECT_EQ(one.rows, four.rows) << i;
  }
  EXPECT_EQ(sink.seen[6].rows, (std::vector<std::vector<Cell>>{{6.0}}));
  EXPECT_EQ(sink.seen[6].attributes, (vyn::output::Attributes{{"TOPSPACE", 2LL}}));
}

// A second output of a table opened before the first is emitted takes the rows from then on;
// both are emitted, and a released table opens no more outputs.
TEST_F(OutputSession, TwoOpenOutputsOfATableAndItsRelease) {
  TablesSeen sink;
  vyn::output::stepState()->sink = &sink;
  void *table = makeTable("T");
  double cell = 7;
  call(table, kMthColumn, {txt(kKeyName, "X"), pointer(kKeyCell, kWobCell, &cell)});
  void *first = openOutput(table, "P");
  EXPECT_EQ(call(table, kMthRow, {}), 0);
  void *second = openOutput(table, "P");
  EXPECT_NE(second, first);
  EXPECT_EQ(call(table, kMthRow, {}), 0);
  EXPECT_EQ(call(table, kMthRow, {}), 0);
  EXPECT_EQ(emit(first), 0);
  EXPECT_EQ(emit(second), 0);
  EXPECT_EQ(emit(openOutput(table, "P")), 0);
  EXPECT_EQ(wobrelease(table), 0);
  wobprop props[3] = {pointer(0, kWobObject, nullptr), pointer(0, kWobObject, table),
                      txt(kKeyPath, "P")};
  EXPECT_LT(wobmth(manager, nullptr, kMthOutput, 3, props), 0);
  ASSERT_EQ(sink.seen.size(), 3u);
  EXPECT_EQ(sink.seen[0].rows.size(), 1u);
  EXPECT_EQ(sink.seen[1].rows.size(), 2u);
  EXPECT_EQ(sink.seen[2].rows.size(), 0u);
}

// Where each item stands and its first cell, as one line.
struct PlacesSeen : vyn::output::ItemSink {
  std::vector<std::string> seen;
  void beginStep(const std::string &) override {}
  void item(const vyn::output::Item &item, const vyn::output::ItemPlace &) override {
    std::string line = item.group.name + "|" + item.group.label + "|";
    for (const std::string &title : item.titles) line += title + ",";
    line += "|" + std::get<std::string>(std::get<Table>(item.content).rows.at(0).at(0));
    seen.push_back(line);
  }
  void endStep(const vyn::output::StepRecord &) override {}
  void logged(const vyn::LogEntry &) override {}
};

// Groups, headings and cells that follow others of the same length, as the
// analyses of y1 and y2 do, show their own texts, not those before them.
TEST_F(OutputSession, TextsOfTheSameLengthReplaceTheOnesBefore) {
  PlacesSeen sink;
  vyn::output::stepState()->sink = &sink;
  // A heading longer than a short copy, which differs in the middle only.
  auto title = [](const std::string &v) { return "The variable named " + v + ", with its tables"; };
  char name[2];
  void *table = makeTable("T");
  call(table, kMthColumn,
       {integer(kKeyColumnType, 6), txt(kKeyName, "Variable"), pointer(kKeyCell, kWobCell, name),
        integer(kKeyStorage, 2)});
  heading(1, "Title");
  for (const char *v : {"y1", "y2", "y3"}) {
    void *g = group(v, "");
    heading(3, title(v).c_str());
    void *output = openOutput(table, "P");
    std::memcpy(name, v, 2);
    EXPECT_EQ(call(table, kMthRow, {}), 0);
    EXPECT_EQ(emit(output), 0);
    EXPECT_EQ(wobrelease(g), 0);
  }
  std::vector<std::string> expected;
  for (std::string v : {"y1", "y2", "y3"}) {
    expected.push_back(v + "|" + title(v) + "|Title," + title(v) + ",|" + v);
  }
  EXPECT_EQ(sink.seen, expected);
}

// Where each item stands: its kind and titles, and whether it shares the place of the one before.
struct TitlesSeen : vyn::output::ItemSink {
  std::vector<std::string> seen;
  uint64_t last = 0;
  void beginStep(const std::string &) override {}
  void item(const vyn::output::Item &item, const vyn::output::ItemPlace &) override {
    std::string line = std::holds_alternative<Table>(item.content) ? "table:" : "note:";
    for (const std::string &title : item.titles) line += title + ",";
    if (item.place == last) line += "same";
    last = item.place;
    seen.push_back(line);
  }
  void endStep(const vyn::output::StepRecord &) override {}
  void logged(const vyn::LogEntry &) override {}
};

// The place in force goes from table to table as they are emitted, and stands for a note after
// them, for a table after the one holding it was released and freed, and for a table emitted
// again once the headings changed.
TEST_F(OutputSession, ThePlaceGoesOnFromTheTablesEmittedToTheItemsAfterThem) {
  TitlesSeen sink;
  vyn::output::stepState()->sink = &sink;
  void *first = makeTable("A");
  void *second = makeTable("B");
  heading(1, "Title");
  for (void *table : {first, second, second}) EXPECT_EQ(emit(openOutput(table, "P")), 0);
  EXPECT_EQ(call(manager, kMthNote, {txt(kKeyText, "n")}), 0);
  EXPECT_EQ(emit(openOutput(first, "P")), 0);
  EXPECT_EQ(wobrelease(first), 0);
  EXPECT_EQ(vyn::output::stepState()->placeLent, nullptr) << "a table released keeps no place";
  for (int i = 0; i < 300; ++i) EXPECT_EQ(wobrelease(makeTable("T")), 0);  // sweeps free it
  EXPECT_EQ(emit(openOutput(second, "P")), 0);
  heading(2, "Sub");
  for (void *table : {second, second}) EXPECT_EQ(emit(openOutput(table, "P")), 0);
  EXPECT_EQ(sink.seen,
            (std::vector<std::string>{"table:Title,", "table:Title,same", "table:Title,same",
                                      "note:Title,same", "table:Title,same", "table:Title,same",
                                      "table:Title,Sub,", "table:Title,Sub,same"}));
}

// The table a row call last found, the text a call last named and the output
// last made are found again without a look-up; once released, their handles
// are refused all the same.
TEST_F(OutputSession, TheObjectsLastFoundAreRefusedOnceReleased) {
  TablesSeen sink;
  vyn::output::stepState()->sink = &sink;
  void *table = makeTable("T");
  double cell = 7;
  call(table, kMthColumn, {txt(kKeyName, "X"), pointer(kKeyCell, kWobCell, &cell)});
  void *output = openOutput(table, "P");
  EXPECT_EQ(call(table, kMthRow, {}), 0);
  EXPECT_EQ(wobrelease(output), 0);
  EXPECT_LT(emit(output), 0);
  EXPECT_EQ(log.entries().back().number, 241);
  EXPECT_EQ(wobrelease(table), 0);
  EXPECT_LT(call(table, kMthRow, {}), 0);
  EXPECT_LT(call(table, kMthLastOut, {}), 0);
  EXPECT_EQ(log.entries().back().number, 241);
  void *title = text("A title");
  const auto headed = [&] {
    return call(manager, kMthHeading,
                {integer(kKeyHeadingLevel, 0), integer(kKeyHeadingLevel, 1),
                 pointer(kKeyText, kWobText, title)});
  };
  EXPECT_EQ(headed(), 0);
  EXPECT_EQ(wobrelease(title), 0);
  EXPECT_LT(headed(), 0);
  EXPECT_EQ(log.entries().back().number, 243);
  EXPECT_TRUE(sink.seen.empty());
}

TEST_F(OutputSession, NamedValuesAndTheParentWalk) {
  void *table = makeTable("T");
  EXPECT_EQ(call(manager, kMthFact, {txt(0, "alpha"), real(0, 0.05)}), 0);
  wobprop ref = real(0, 2.5);
  wobprop byRef = pointer(0, kWobRef, &ref);
  byRef.count = 1;
  EXPECT_EQ(call(table, kMthFact, {txt(0, "scale"), byRef}), 0);
  // (object, name) -> the value found, or the status
  auto lookup = [](void *object, wobprop name, wobprop *found) {
    wobprop ask[2] = {name, slot(0, kWobRef)};
    const int32_t status = wobmth(object, nullptr, kMthLookup, 2, ask);
    *found = ask[1];
    return status;
  };
  wobprop found;
  ASSERT_EQ(lookup(table, txt(0, "scale"), &found), 0);
  EXPECT_EQ(static_cast<wobprop *>(found.v.p)->v.d, 2.5);
  EXPECT_EQ(lookup(table, txt(0, "alpha"), &found) & 0x803FFFFF, kWobNotFound);
  ASSERT_EQ(lookup(table, counted(0, "^P_S_T^"), &found), 0);
  EXPECT_EQ(found.v.p, manager);
  ASSERT_EQ(lookup(manager, txt(0, "alpha"), &found), 0);
  EXPECT_EQ(static_cast<wobprop *>(found.v.p)->v.d, 0.05);
}

TEST_F(OutputSession, TextsAndInsertsFromTheCatalogue) {
  xins in[2] = {{0, 1, "yz", 0}, {1, 0, nullptr, 0.25}};
  void *fmt =
      service<void *(const char *, int32_t, const xins *)>(vynsvc::kUlxtxts)("%2 of %1%3", 2, in);
  void *part = service<void *(const char *, int32_t)>(vynsvc::kUlxtxt)("abcdef", 3);
  EXPECT_EQ(service<void *(const char *, int32_t)>(vynsvc::kUlxtxt)("abc", -7), nullptr);
  void *msg =
      service<void *(int32_t, int32_t, int32_t, const xins *)>(vynsvc::kUlxmsgs)(181, 402, 2, in);
  EXPECT_EQ(call(manager, kMthNote,
                 {pointer(kKeyName, kWobText, part), pointer(kKeyText, kWobText, fmt)}),
            0);
  EXPECT_EQ(call(manager, kMthNote, {txt(kKeyName, "M"), pointer(kKeyText, kWobText, msg)}), 0);
  const auto items = vyn::output::endStep();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(std::get<vyn::output::Note>(items[0].content).name, "abc");
  EXPECT_EQ(std::get<vyn::output::Note>(items[0].content).text, "0.25 of y");
  EXPECT_EQ(std::get<vyn::output::Note>(items[1].content).text, "Variable: y (0.25)");
  // between steps there is nothing to make texts in
  EXPECT_EQ(text("abc"), nullptr);
}

}  // namespace
