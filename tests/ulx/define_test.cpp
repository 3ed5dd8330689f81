// The define phase of the one-sample and paired tables against a recording
// host: the property list of each column form and attribute as sent, and
// the end of the step when the host refuses a table.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakehost.h"
#include "xob/krvprocs.h"

namespace {

using fakehost::Call;
using fakehost::find;
using fakehost::keys;
using fakehost::text;
using Keys = std::vector<uint16_t>;

class Define : public ::testing::Test {
 protected:
  void SetUp() override {
    fakehost::reset();
    fakehost::connect();
    fakehost::setMessage(501, "Equivalent");
    fakehost::setMessage(502, "Not equivalent");
    fakehost::setMessage(503, "Undecided");
    fakehost::setMessage(504, "Upper");
    fakehost::setMessage(505, "Lower");
    fakehost::setMessage(506, "Overall");
    opts.outmgr = fakehost::makeObject();
    opts.alpha = 0.05;
    opts.tost = 1;
    opts.nobyvar = 1;
    opts.maxnamelen = 6;
    for (int i = 0; i < kKrvLabels; ++i) {
      opts.label[i] = buffers[i];
      opts.label_size[i] = 33;
    }
  }
  // The calls made on table `slot`, its creation first.
  std::vector<Call> tableCalls(int32_t slot) {
    std::vector<Call> out;
    for (const Call &c : fakehost::state().calls) {
      if (c.object == opts.outmgr && c.method == kMthCreate &&
          find(c, kKeyCreated)->v.p == opts.table_tmpl[slot]) {
        out.push_back(c);
      } else if (c.object == opts.table_tmpl[slot]) {
        out.push_back(c);
      }
    }
    return out;
  }
  // The column call named `name` of table `slot`.
  Call columnCall(int32_t slot, const std::string &name) {
    for (const Call &c : tableCalls(slot)) {
      if (c.method == kMthColumn && text(find(c, kKeyName)->v.p) == name) return c;
    }
    ADD_FAILURE() << "no column " << name;
    return {};
  }

  krvopts opts{};
  char buffers[kKrvLabels][33] = {};
};

TEST_F(Define, EveryColumnFormSendsItsOwnList) {
  ASSERT_EQ(krvo10(&opts), 0);
  EXPECT_EQ(opts.table_tmpl[2], nullptr);  // no t tests under TOST
  const Call create = tableCalls(0).at(0);
  EXPECT_EQ(keys(create), (Keys{143, 146, 144, 148, 296, 138}));
  EXPECT_EQ(text(find(create, kKeyLabel)->v.p), "181/600");
  EXPECT_EQ(text(find(create, kKeyName)->v.p), "Statistics");
  EXPECT_STREQ(opts.table_path[0], "Stat.Kravo.Statistics");

  const Call variable = columnCall(0, "Variable");
  EXPECT_EQ(keys(variable), (Keys{103, 138, 296, 285, 289, 311, 287, 311, 287, 311, 287}));
  EXPECT_EQ(find(variable, kKeyStorage)->v.i, 6);
  EXPECT_EQ(text(variable.props[9].v.p), "_printVariable");
  EXPECT_EQ(variable.props[10].v.b.value, 1);

  EXPECT_EQ(keys(columnCall(0, "N")), (Keys{272, 270, 138, 296, 285, 103}));
  EXPECT_EQ(find(columnCall(0, "N"), kKeyCell)->v.p, &opts.row[1]);
  EXPECT_EQ(keys(columnCall(0, "LowerCLStdDev")), (Keys{103, 138, 296, 285}));
  EXPECT_EQ(keys(columnCall(1, "LowerCLStdDev")), (Keys{103, 138, 296, 285, 311, 287}));
  const Call lower = columnCall(3, "LowerComparator");
  EXPECT_EQ(keys(lower), (Keys{103, 138, 285, 289, 272}));
  EXPECT_EQ(find(lower, kKeyStorage)->v.i, 1);
  EXPECT_EQ(find(lower, kKeyWidth)->v.i, 1);
  const Call probt = columnCall(4, "Probt");
  EXPECT_EQ(keys(probt), (Keys{103, 138, 285, 311, 287}));
  EXPECT_EQ(text(find(probt, kKeyValue)->v.p), "181/626");
  EXPECT_EQ(find(probt, kKeyCell)->v.p, &opts.row[5]);  // after Variable, Test, Null, tValue, DF
  // text columns are as wide as their longest catalogue text
  EXPECT_EQ(find(columnCall(3, "Assessment"), kKeyStorage)->v.i, 14);
  EXPECT_EQ(find(columnCall(4, "Test"), kKeyStorage)->v.i, 7);
}

TEST_F(Define, AttributesComeBetweenIdentifiersAndValues) {
  ASSERT_EQ(krvo10(&opts), 0);
  std::vector<std::string> order;
  for (const Call &c : tableCalls(1)) {
    if (c.method == kMthAttribute) order.push_back(text(c.props[0].v.p));
    if (c.method == kMthColumn) order.push_back(text(find(c, kKeyName)->v.p));
  }
  ASSERT_GE(order.size(), 5u);
  EXPECT_EQ(std::vector<std::string>(order.begin(), order.begin() + 5),
            (std::vector<std::string>{"Variable", "confmean", "confstd", "reqspace", "Mean"}));
  for (const Call &c : tableCalls(3)) {
    if (c.method == kMthAttribute) {
      EXPECT_EQ(text(c.props[0].v.p), "confequiv");
      EXPECT_EQ(c.props[1].type, kWobInt);
      EXPECT_EQ(c.props[1].v.i, 90);
    }
  }
  EXPECT_EQ(tableCalls(4).back().method, kMthEndTable);
}

TEST_F(Define, RefusedTableEndsTheStepWithTheHostStatus) {
  fakehost::state().status[kMthCreate] = -12;
  try {
    krvop0(&opts);
    FAIL() << "the step went on";
  } catch (const fakehost::Exit &e) {
    EXPECT_EQ(e.code, -12);
  }
  EXPECT_EQ(opts.failed, 1);
  EXPECT_EQ(fakehost::state().errors, std::vector<int32_t>{-12});
}

}  // namespace
