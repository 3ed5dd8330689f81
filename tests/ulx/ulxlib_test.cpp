// Name quoting and the balanced tree of the helper layer. The helpers that
// drive host objects are covered through the real host by the table goldens.
#include "xob/ulxlib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string quoted(const std::string &in, int32_t mode, int32_t part = 0) {
  char buffer[128] = {};
  std::memcpy(buffer, in.data(), in.size());
  const int32_t n = quote_me(buffer, static_cast<int32_t>(in.size()), mode, part);
  return std::string(buffer, static_cast<size_t>(n)) + "|" + std::string(buffer + n);
}

// A tail after the quoted part follows it, moved along by the characters
// doubled inside, and is not counted.
TEST(QuoteMe, QuotesByModeAndPart) {
  const struct {
    const char *in;
    int32_t mode, part;
    const char *out;
  } cases[] = {{"a&b", 1, 0, "%nrstr(\"a&b\")|"},
               {"50%(x)", 1, 0, "%nrstr(\"50%%%(x%)\")|"},
               {"say \"hi\"", 1, 0, "\"say \"\"hi\"\"\"|"},
               {"it's", 2, 0, "'it''s'|"},
               {"my var", 3, 0, "'my var'n|"},
               {"my var.x", 3, 6, "'my var'n|.x"},
               {"a'b c", 2, 3, "'a''b'| c"},
               {"5%(a) z", 1, 5, "%nrstr(\"5%%%(a%)\")| z"}};
  for (const auto &c : cases) EXPECT_EQ(quoted(c.in, c.mode, c.part), c.out) << c.in;
}

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
}

}  // namespace
