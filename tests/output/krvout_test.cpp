// The driver's output calls (manager, output group, notes, table output
// objects) run against the host's output objects: the module side is
// compiled in, its host services lead straight to the host's implementations.
#include "xob/krvout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "host/vynsvc.h"
#include "hostcm/wob.h"
#include "stat/src/krvstat.h"
#include "vyn/core/catalog.h"
#include "vyn/core/services.h"
#include "vyn/output/session.h"
#include "xob/krvmsg.h"
#include "xob/krvprocs.h"

namespace {

struct Exit {
  int32_t code;
};

template <typename Fn>
Fn *host(xsvcid id) {
  if (vyn::findService(vynsvc::kXobinit) == nullptr) vyn::registerOutputServices();
  return reinterpret_cast<Fn *>(vyn::findService(id)->fn);
}

struct FakeVar {
  const char *name;
  const char *label;
};
const std::map<int32_t, FakeVar> vars = {
    {1, {"before", ""}}, {2, {"after", ""}}, {5, {"f", "Count"}}, {6, {"w", ""}}};
int32_t reportedStatus = 0;

}  // namespace

// The module's service stubs, answered here.
void xobinit(void **root, int32_t zero) {
  host<void(void **, int32_t)>(vynsvc::kXobinit)(root, zero);
}
void *ulxmsg(int32_t group, int32_t number) {
  return host<void *(int32_t, int32_t)>(vynsvc::kUlxmsg)(group, number);
}
void *ulxmsgs(int32_t group, int32_t number, int32_t count, const xins *inserts) {
  return host<void *(int32_t, int32_t, int32_t, const xins *)>(vynsvc::kUlxmsgs)(group, number,
                                                                                 count, inserts);
}
void *ulxtxt(const char *text, int32_t length) {
  return host<void *(const char *, int32_t)>(vynsvc::kUlxtxt)(text, length);
}
int32_t xvname(void *, int32_t number, xvinfo *out) {
  const FakeVar &v = vars.at(number);
  *out = {};
  std::strcpy(out->name, v.name);
  out->namelen = static_cast<uint16_t>(std::strlen(v.name));
  std::strcpy(out->label, v.label);
  out->labellen = static_cast<uint16_t>(std::strlen(v.label));
  return 0;
}
void xprrlog(int32_t, int32_t status) {
  reportedStatus = status;
}
void xexit(int32_t code, int32_t) {
  throw Exit{code};
}
xins krvins_text(const char *text, int32_t len) {
  return xins{0, len, text, 0.0};
}
xins krvins_num(double value) {
  return xins{1, 0, nullptr, value};
}

// Row procedures: one row whose cell 3 counts the analysis.
namespace {
int32_t row(krvopts *opts, int32_t table) {
  opts->row[3] = 10 + opts->cur;
  return wobmth(opts->table_tmpl[table], nullptr, kMthRow, 0, nullptr);
}
}  // namespace
int32_t krvo11(krvopts *opts, int32_t table) {
  return row(opts, table);
}
int32_t krvo21(krvopts *opts, int32_t table) {
  return row(opts, table);
}
int32_t krvop1(krvopts *opts, int32_t table) {
  return row(opts, table);
}
int32_t krvoc1(krvopts *opts, int32_t table) {
  return row(opts, table);
}

namespace {

using vyn::output::Item;
using vyn::output::Note;
using vyn::output::Table;

class DriverOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    vyn::output::beginStep("KRAVO");
    opts.kind = kKindPaired;
    opts.alpha = 0.05;
    opts.freq_var = 5;
    opts.weight_var = -1;
    const int32_t sizes[5] = {66, 0, 33, 68, 68};
    for (int i = 0; i < 5; ++i) {
      opts.label_size[i] = sizes[i];
      opts.label[i] = sizes[i] > 0 ? buffers[i] : nullptr;
    }
    stats[0].varnum[0] = 1;
    stats[0].varnum[1] = 2;
    stats[1].varnum[0] = 2;
    stats[1].varnum[1] = 1;
    opts.sets_lo[0] = stats;
    opts.nanalyses = 2;
  }
  void TearDown() override { vyn::output::endStep(); }

  // A table as the definition procedures make it: one column on row cell 3.
  void defineTable(int t, const char *path) {
    std::strcpy(opts.table_path[t], path);
    wobprop create[4] = {wobp_str(kKeyNameSpace, "ulx", 3), wobp_str(kKeyKind, "data", 4),
                         wobp_ptr(kKeyCreated, kWobObject, nullptr),
                         wobp_ptr(kKeyName, kWobText, ulxtxt("T", 1))};
    ASSERT_EQ(wobmth(opts.outmgr, nullptr, kMthCreate, 4, create), 0);
    opts.table_tmpl[t] = create[2].v.p;
    wobprop column[3] = {wobp_int(kKeyColumnType, 5), wobp_ptr(kKeyName, kWobText, ulxtxt("N", 1)),
                         wobp_ptr(kKeyCell, kWobCell, &opts.row[3])};
    wobmth(opts.table_tmpl[t], nullptr, kMthColumn, 3, column);
    wobmth(opts.table_tmpl[t], nullptr, kMthEndTable, 0, nullptr);
  }

  krvopts opts{};
  krvstat stats[2]{};
  char buffers[5][68];
};

TEST_F(DriverOutput, PairGroupNoteAndTableUnderTheirHeadings) {
  krvinito(&opts);
  ASSERT_NE(opts.outmgr, nullptr);
  krv_open_group(&opts);
  ASSERT_NE(opts.group_obj, nullptr);
  EXPECT_EQ(std::string(opts.label[0], 7), "before ");
  EXPECT_EQ(std::string(opts.label[3], 13), "before_after ");
  krv_out_fw(&opts);
  defineTable(0, "Stat.Kravo.Statistics");
  krv_out(&opts, 0, 1, 1);

  const auto items = vyn::output::endStep();
  ASSERT_EQ(items.size(), 2u);
  const std::string heading = vyn::catalogMessage(181, 403, {"before - after"});
  const std::vector<std::string> titles{vyn::catalogMessage(181, 11), heading};
  for (const Item &item : items) {
    EXPECT_EQ(item.titles, titles);
    EXPECT_EQ(item.group.name, "before_after");
    EXPECT_EQ(item.group.label, heading);
  }
  const Note &note = std::get<Note>(items[0].content);
  EXPECT_EQ(note.name, "KravoFreqNote");
  EXPECT_EQ(note.text, vyn::catalogMessage(181, 55, {"f", "Count"}));
  const Table &table = std::get<Table>(items[1].content);
  EXPECT_EQ(table.path, "Stat.Kravo.Statistics");
  EXPECT_EQ(std::get<long long>(table.attributes.at("TOPSPACE")), 1);
  ASSERT_EQ(table.rows.size(), 1u);
  EXPECT_EQ(std::get<double>(table.rows[0][0]), 10.0);
}

TEST_F(DriverOutput, OneOutputCollectsEveryAnalysisAfterTheAlphaHeading) {
  opts.ratio = 1;
  krvinito(&opts);
  krv_open_group(&opts);
  EXPECT_EQ(std::string(opts.label[4], 15), "before / after ");
  defineTable(3, "Stat.Kravo.EquivLimits");
  opts.cur = 0;
  krv_out(&opts, 3, 1, 0);
  opts.cur = 1;
  krv_out(&opts, 3, 0, 1);
  const auto items = vyn::output::endStep();
  ASSERT_EQ(items.size(), 1u);
  ASSERT_EQ(items[0].titles.size(), 3u);
  EXPECT_EQ(items[0].titles[1], vyn::catalogMessage(181, 405, {"before / after"}));
  EXPECT_EQ(items[0].titles[2], vyn::catalogMessage(181, 744, {"0.05"}));
  const Table &table = std::get<Table>(items[0].content);
  ASSERT_EQ(table.rows.size(), 2u);
  EXPECT_EQ(std::get<double>(table.rows[1][0]), 11.0);
}

TEST_F(DriverOutput, ReleasedGroupLeavesLaterOutputOutsideIt) {
  krvinito(&opts);
  krv_open_group(&opts);
  krv_release_group(&opts);
  EXPECT_EQ(opts.group_obj, nullptr);
  opts.cur = 1;
  krv_out_fw(&opts);
  const auto items = vyn::output::endStep();
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].group.name, "");
}

TEST_F(DriverOutput, AFailedOutputObjectEndsTheStepWithCode1012) {
  krvinito(&opts);
  opts.rc = 4;
  std::strcpy(opts.table_path[1], "Stat.Kravo.ConfLimits");
  try {
    krv_out(&opts, 1, 1, 1);
    FAIL() << "the step went on";
  } catch (const Exit &e) {
    EXPECT_EQ(e.code, 1012);
  }
  EXPECT_EQ(opts.failed, 1);
  EXPECT_LT(reportedStatus, 0);
}

TEST_F(DriverOutput, NoManagerWithoutARootEndsTheStepWithTheStatus) {
  vyn::output::endStep();  // no step: the root cannot be made
  try {
    krvinito(&opts);
    FAIL() << "the step went on";
  } catch (const Exit &e) {
    EXPECT_LT(e.code, 0);
  }
  EXPECT_EQ(opts.failed, 1);
}

}  // namespace
