// The helper layer against a recording host object: the exact property
// lists each helper sends, its failure results, name quoting and the
// balanced tree.
#include "xob/ulxlib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "fakehost.h"
#include "host/vynsvc.h"

namespace {

using fakehost::Call;
using fakehost::find;
using fakehost::keys;
using fakehost::text;
using Keys = std::vector<uint16_t>;

class Helpers : public ::testing::Test {
 protected:
  void SetUp() override {
    fakehost::reset();
    fakehost::connect();
    table = fakehost::makeObject();
  }
  const std::vector<Call> &calls() { return fakehost::state().calls; }
  void *label(const char *s) { return ulxtxt(s, -1); }

  fakehost::Object *table;
  double cell = 0;
};

TEST_F(Helpers, ValueColumnSendsWidthAndSecondNumberButNoStorage) {
  EXPECT_EQ(ulxinsc(table, label("Mean"), "Mean", "s", &cell), 0);
  ASSERT_EQ(calls().size(), 1u);
  const Call &c = calls()[0];
  EXPECT_EQ(c.method, kMthColumn);
  EXPECT_EQ(keys(c), (Keys{272, 270, 138, 296, 285, 103}));
  EXPECT_EQ(c.props[0].v.i, 5);
  EXPECT_EQ(c.props[1].v.i, 2);
  EXPECT_EQ(text(c.props[2].v.p), "Mean");
  EXPECT_EQ(text(c.props[3].v.p), "Mean");
  EXPECT_EQ(c.props[4].type, kWobCell);
  EXPECT_EQ(c.props[4].v.p, &cell);
  EXPECT_EQ(c.props[5].v.i, 5);
}

TEST_F(Helpers, PValueColumnSendsFormatNameAndStorageButNoWidth) {
  EXPECT_EQ(ulxinsc(table, label("P"), "Probt", "p", &cell), 0);
  const Call &c = calls().at(0);
  EXPECT_EQ(keys(c), (Keys{340, 138, 296, 285, 289, 103}));
  EXPECT_EQ(text(c.props[0].v.p), "PVALUE");
  EXPECT_EQ(c.props[4].v.i, -32);
  EXPECT_EQ(c.props[5].v.i, 5);
}

TEST_F(Helpers, CharacterColumnsSendStorageByCode) {
  char buffer[64];
  EXPECT_EQ(ulxinsc(table, label("T"), "Text", "c", buffer), 0);
  EXPECT_EQ(ulxinsc(table, label("L"), "Long", "l", buffer), 0);
  ASSERT_EQ(calls().size(), 2u);
  EXPECT_EQ(keys(calls()[0]), (Keys{138, 296, 285, 289, 103}));
  EXPECT_EQ(find(calls()[0], 289)->v.i, -32);
  EXPECT_EQ(find(calls()[0], 103)->v.i, 6);
  EXPECT_EQ(find(calls()[1], 289)->v.i, -256);
}

TEST_F(Helpers, FailingColumnIsReportedAndGivesOne) {
  const auto refused = static_cast<int32_t>(0x80001111u);
  fakehost::state().status[kMthColumn] = refused;
  EXPECT_EQ(ulxinsc(table, label("Mean"), "Mean", "n", &cell), 1);
  EXPECT_EQ(fakehost::state().errors, std::vector<int32_t>{refused});
  // an unknown code never reaches the host
  EXPECT_EQ(ulxinsc(table, label("Mean"), "Mean", "q", &cell), 1);
  EXPECT_EQ(calls().size(), 1u);
  EXPECT_EQ(fakehost::state().debug.size(), 1u);
}

TEST_F(Helpers, WholeTableIsCreatedDefinedAndEnded) {
  double cells[2] = {};
  void *labels[2] = {label("Estimate"), label("P")};
  const char *names[2] = {"Estimate", "Probt"};
  void *bound[2] = {&cells[0], &cells[1]};
  const ulxtabdef def{label("Tests"), "Tests", labels, names, "np", bound, 2};
  void *made = ulxtab(&def, table);
  ASSERT_NE(made, nullptr);
  ASSERT_EQ(calls().size(), 5u);
  EXPECT_EQ(keys(calls()[0]), (Keys{143, 146, 144, 148, 296, 138}));
  EXPECT_EQ(std::string(static_cast<char *>(calls()[0].props[1].v.p), calls()[0].props[1].count),
            "data");
  EXPECT_EQ(calls()[1].object, made);
  EXPECT_EQ(keys(calls()[1]), (Keys{272, 270, 138, 296, 285, 289, 103}));
  EXPECT_EQ(calls()[1].props[1].v.i, 89);
  EXPECT_EQ(calls()[2].method, kMthColumn);
  // the p-value column gets its format afterwards, by column number
  EXPECT_EQ(calls()[3].method, kMthFormat);
  EXPECT_EQ(find(calls()[3], 347)->v.i, 2);
  EXPECT_EQ(text(find(calls()[3], 340)->v.p), "PVALUE");
  EXPECT_EQ(calls()[4].method, kMthEndTable);
}

TEST_F(Helpers, RefusedTableGivesNull) {
  fakehost::state().status[kMthCreate] = -7;
  const ulxtabdef def{label("T"), "T", nullptr, nullptr, "", nullptr, 0};
  EXPECT_EQ(ulxtab(&def, table), nullptr);
  EXPECT_EQ(fakehost::state().errors, std::vector<int32_t>{-7});
}

TEST_F(Helpers, StringFactIsCutAt256Characters) {
  const std::string value(300, 'x');
  EXPECT_EQ(ulxaddf(table, label("Note"), value.c_str(), "s"), 0);
  const Call &c = calls().at(0);
  EXPECT_EQ(c.method, kMthFact);
  EXPECT_EQ(keys(c), (Keys{296, 287, 272}));
  EXPECT_EQ(text(c.props[1].v.p), std::string(256, 'x'));
  EXPECT_EQ(c.props[2].v.i, 256);
}

TEST_F(Helpers, NumericFactsCarryTypeAndFormat) {
  const int32_t count = 42;
  const double p = 0.0125;
  EXPECT_EQ(ulxaddf(table, label("Count"), &count, "d"), 0);
  EXPECT_EQ(ulxaddf(table, label("P"), &p, "p"), 0);
  ASSERT_EQ(calls().size(), 2u);
  EXPECT_EQ(calls()[0].props[1].type, kWobIntD);
  EXPECT_EQ(calls()[0].props[1].v.i, 42);
  EXPECT_EQ(calls()[1].props[1].v.d, 0.0125);
  EXPECT_EQ(text(calls()[1].props[2].v.p), "PNAME6.");
}

TEST_F(Helpers, UnknownFactCodeIsADiagnosticWithoutACall) {
  const double v = 1;
  EXPECT_EQ(ulxaddf(table, label("X"), &v, "z"), 1);
  EXPECT_TRUE(calls().empty());
  EXPECT_EQ(fakehost::state().debug, std::vector<std::string>{"ulxaddfact: unknown format z"});
}

TEST_F(Helpers, NamedValueIsACopyOrAReference) {
  wobprop value = wobp_double(kKeyValue, 2.5);
  EXPECT_EQ(ulxadvl(table, label("k"), &value, 1), 0);
  EXPECT_EQ(ulxadvl(table, label("k"), &value, 0), 0);
  ASSERT_EQ(calls().size(), 2u);
  EXPECT_EQ(calls()[0].props[1].v.d, 2.5);
  EXPECT_EQ(calls()[1].props[1].type, kWobRef);
  EXPECT_EQ(calls()[1].props[1].count, 1);
  EXPECT_EQ(calls()[1].props[1].v.p, &value);
}

TEST_F(Helpers, LookupWalksUpToTheParentWhenAsked) {
  fakehost::Object *child = fakehost::makeObject(table);
  table->named["depth"] = wobp_int(kKeyValue, 3);
  wobprop result;
  ulxscvl(&result, child, label("depth"), 1);
  EXPECT_EQ(result.key, kKeyValue);  // the referenced slot itself, not the reference
  EXPECT_EQ(result.v.i, 3);
  // without the walk, or when no ancestor has it: sixteen zero bytes
  std::memset(&result, 0xAB, sizeof result);
  ulxscvl(&result, child, label("depth"), 0);
  const unsigned char zero[sizeof result] = {};
  EXPECT_EQ(std::memcmp(&result, zero, sizeof result), 0);
  std::memset(&result, 0xAB, sizeof result);
  ulxscvl(&result, child, label("width"), 1);
  EXPECT_EQ(std::memcmp(&result, zero, sizeof result), 0);
}

TEST_F(Helpers, ControlBlockBitsAreQueried) {
  EXPECT_EQ(ulxqbit(table, 0xFFFFFFFFu), 0);  // no control block
  table->hasControl = true;
  table->control[9] = 0x10;
  EXPECT_EQ(ulxqbit(table, 0x30), 1);
  EXPECT_EQ(ulxqbit(table, 0x01), 0);
}

TEST_F(Helpers, MatrixRowLabelsBecomeTextHandlesAndFailuresGiveOne) {
  double data[4] = {};
  void *handles[2] = {};
  const char *rows[2] = {"a", "b"};
  EXPECT_EQ(ulxmat(table, label("M"), handles, data, 2, rows, 2, nullptr, label("att"),
                   label("lab"), label("obj")),
            0);
  EXPECT_EQ(calls().at(0).props.size(), 17u);
  EXPECT_EQ(text(handles[1]), "b");
  EXPECT_EQ(find(calls()[0], 409)->v.p, handles);
  fakehost::state().status[kMthMatrix] = -3;
  EXPECT_EQ(
      ulxvec(table, label("V"), handles, data, 2, rows, 1, nullptr, label("lab"), label("obj")), 1);
  EXPECT_EQ(calls().at(1).props.size(), 12u);
  EXPECT_EQ(fakehost::state().errors, std::vector<int32_t>{-3});
}

TEST_F(Helpers, MissingMethodAnswersNoMethodAndCallsNothing) {
  EXPECT_EQ(wobmth(table, nullptr, 4242, 0, nullptr), static_cast<int32_t>(0x80008001u));
  EXPECT_TRUE(calls().empty());
}

// ---- quoting ----------------------------------------------------------------

std::string quoted(const std::string &in, int32_t mode, int32_t part = 0) {
  char buffer[128] = {};
  std::memcpy(buffer, in.data(), in.size());
  const int32_t n = quote_me(buffer, static_cast<int32_t>(in.size()), mode, part);
  return std::string(buffer, static_cast<size_t>(n)) + "|" + std::string(buffer + n);
}

TEST(QuoteMe, QuotesByMode) {
  EXPECT_EQ(quoted("a&b", 1), "%nrstr(\"a&b\")|");
  EXPECT_EQ(quoted("50%(x)", 1), "%nrstr(\"50%%%(x%)\")|");
  EXPECT_EQ(quoted("say \"hi\"", 1), "\"say \"\"hi\"\"\"|");
  EXPECT_EQ(quoted("it's", 2), "'it''s'|");
  EXPECT_EQ(quoted("my var", 3), "'my var'n|");
}

TEST(QuoteMe, TailFollowsTheQuotedPartAndIsNotCounted) {
  EXPECT_EQ(quoted("my var.x", 3, 6), "'my var'n|.x");
  // characters doubled inside the part push the tail along with them
  EXPECT_EQ(quoted("a'b c", 2, 3), "'a''b'| c");
  EXPECT_EQ(quoted("5%(a) z", 1, 5), "%nrstr(\"5%%%(a%)\")| z");
}

// ---- balanced tree ------------------------------------------------------------

struct Node {
  ulxnode link;
  uint32_t key;
};

int heightOf(const ulxnode *n, bool *ok) {
  if (n == nullptr) return 0;
  const int l = heightOf(n->left, ok), r = heightOf(n->right, ok);
  if (r - l != n->balance || n->balance < -1 || n->balance > 1) *ok = false;
  return 1 + std::max(l, r);
}

void inOrder(const ulxnode *n, std::vector<uint32_t> *out) {
  if (n == nullptr) return;
  inOrder(n->left, out);
  out->push_back(reinterpret_cast<const Node *>(n)->key);
  inOrder(n->right, out);
}

TEST(BalancedTree, StaysBalancedAndOrderedThroughEveryRotation) {
  // ascending, descending and zig-zag runs force single and double rotations both ways
  const uint32_t keys[] = {10, 20, 30, 40, 50, 25, 5, 4, 3, 35, 33, 34, 1, 2, 45, 47, 46};
  std::vector<Node> nodes(std::size(keys));
  ulxnode *root = nullptr;
  for (size_t i = 0; i < nodes.size(); ++i) {
    nodes[i].key = keys[i];
    ASSERT_EQ(ulxbdf(&root, &nodes[i].link, 0, offsetof(Node, key)), &nodes[i].link);
    bool ok = true;
    heightOf(root, &ok);
    ASSERT_TRUE(ok) << "after inserting " << keys[i];
  }
  std::vector<uint32_t> order;
  inOrder(root, &order);
  std::vector<uint32_t> sorted(std::begin(keys), std::end(keys));
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(order, sorted);
  bool ok = true;
  // the sparsest balanced tree of depth 6 has 20 nodes, so 17 stay within 5
  EXPECT_LE(heightOf(root, &ok), 5);
}

TEST(BalancedTree, DuplicateKeyReturnsTheExistingNodeAndChangesNothing) {
  Node a{{}, 7}, b{{}, 3}, dup{{}, 7};
  ulxnode *root = nullptr;
  ulxbdf(&root, &a.link, 0, offsetof(Node, key));
  ulxbdf(&root, &b.link, 0, offsetof(Node, key));
  EXPECT_EQ(ulxbdf(&root, &dup.link, 0, offsetof(Node, key)), &a.link);
  EXPECT_EQ(root, &a.link);
  EXPECT_EQ(a.link.left, &b.link);
  EXPECT_EQ(a.link.right, nullptr);
  EXPECT_EQ(a.link.balance, -1);
}

TEST(BalancedTree, ByteKeysCompareInMemoryOrder) {
  struct Named {
    ulxnode link;
    char name[4];
  };
  Named x{{}, "bcd"}, y{{}, "abc"}, z{{}, "abd"};
  ulxnode *root = nullptr;
  for (Named *n : {&x, &y, &z}) ulxbdf(&root, &n->link, 3, offsetof(Named, name));
  // inserting abc then abd under bcd rotates abd to the top
  EXPECT_EQ(root, &z.link);
  EXPECT_EQ(root->left, &y.link);
  EXPECT_EQ(root->right, &x.link);
  EXPECT_EQ(ulxbdf2(), 0);
}

}  // namespace
