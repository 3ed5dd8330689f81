// Method dispatch on class records built by hand: the parent chain, the
// bucket mask, the missing method and the status that comes back.
#include <gtest/gtest.h>

#include <vector>

#include "hostcm/wob.h"

namespace {

struct Call {
  void *object, *data, *classdata;
  int32_t count;
  wobprop *props;
  int tag;
};
std::vector<Call> calls;

template <int Tag, int32_t Status>
int32_t method(void *object, void *data, void *classdata, int32_t count, wobprop *props) {
  calls.push_back({object, data, classdata, count, props, Tag});
  return Status;
}

int dataWord, classWord, releaseWord;

// Parent with methods 5 and 21 in bucket 5 (mask 15); child with method 7,
// its own 5, and 37 (also bucket 5, after 5 in the chain).
struct Classes {
  wobimpl impl[5] = {{&method<1, 0>, nullptr, &classWord},
                     {&method<2, 17>, nullptr, &classWord},
                     {&method<3, -5>, nullptr, nullptr},
                     {&method<4, 1>, nullptr, nullptr},
                     {&method<5, static_cast<int32_t>(0x80001234u)>, nullptr, nullptr}};
  wobment parent21{nullptr, nullptr, &impl[1], 21};
  wobment parent5{&parent21, &dataWord, &impl[0], 5};
  wobment *parentBuckets[16] = {};
  wobclass parent{"parent", nullptr, parentBuckets, 15, {}, nullptr, nullptr};
  wobment child37{nullptr, nullptr, &impl[4], 37};
  wobment child5{&child37, nullptr, &impl[3], 5};
  wobment child7{nullptr, nullptr, &impl[2], 7};
  wobment *childBuckets[16] = {};
  wobclass child{"child", &parent, childBuckets, 15, {}, nullptr, nullptr};
  Classes() {
    parentBuckets[5] = &parent5;
    childBuckets[5] = &child5;
    childBuckets[7] = &child7;
  }
};

class WobmthTest : public ::testing::Test {
 protected:
  void SetUp() override { calls.clear(); }
  Classes c;
  wobobj object{&c.child};
};

TEST_F(WobmthTest, FindsTheMethodInTheObjectsClassFirst) {
  wobprop props[2] = {};
  EXPECT_EQ(wobmth(&object, nullptr, 5, 2, props), 1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].tag, 4);
  EXPECT_EQ(calls[0].object, &object);
  EXPECT_EQ(calls[0].count, 2);
  EXPECT_EQ(calls[0].props, props);
}

TEST_F(WobmthTest, WalksUpToTheParentAndPassesItsWords) {
  EXPECT_EQ(wobmth(&object, nullptr, 21, 0, nullptr), 17);
  // an explicit class starts the search there, skipping the object's own
  EXPECT_EQ(wobmth(&object, &c.parent, 5, 0, nullptr), 0);
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0].tag, 2);
  EXPECT_EQ(calls[0].classdata, &classWord);
  EXPECT_EQ(calls[1].tag, 1);
  EXPECT_EQ(calls[1].data, &dataWord);
  EXPECT_EQ(calls[1].classdata, &classWord);
}

TEST_F(WobmthTest, MatchesTheNumberNotJustTheBucket) {
  // 37 and 21 hash to bucket 5 like 5 itself; 53 hashes there too and nobody has it
  EXPECT_EQ(wobmth(&object, nullptr, 37, 0, nullptr), static_cast<int32_t>(0x80001234u));
  EXPECT_EQ(wobmth(&object, nullptr, 53, 0, nullptr), kWobNoMethod);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].tag, 5);
}

TEST_F(WobmthTest, UnknownMethodCallsNothing) {
  EXPECT_EQ(kWobNoMethod, static_cast<int32_t>(0x80008001u));
  EXPECT_EQ(wobmth(&object, nullptr, 8, 0, nullptr), kWobNoMethod);
  EXPECT_EQ(wobmth(nullptr, nullptr, 5, 0, nullptr), kWobNoMethod);
  wobclass bare{"bare", nullptr, nullptr, 0, {}, nullptr, nullptr};
  wobobj plain{&bare};
  EXPECT_EQ(wobmth(&plain, nullptr, 5, 0, nullptr), kWobNoMethod);
  EXPECT_TRUE(calls.empty());
}

TEST_F(WobmthTest, NegativeStatusComesBackUnchanged) {
  EXPECT_EQ(wobmth(&object, nullptr, 7, 0, nullptr), -5);
}

struct Release {
  void *object, *word11;
  int32_t code, zero, zero2;
};
std::vector<Release> releases;

int32_t recordRelease(void *object, void *word11, int32_t code, int32_t zero, int32_t zero2) {
  releases.push_back({object, word11, code, zero, zero2});
  return 3;
}

TEST(WobRelease, CallsWordTenWithWordElevenAndCodeFour) {
  wobclass cls{"releasable", nullptr, nullptr, 0, {}, &recordRelease, &releaseWord};
  wobobj object{&cls};
  EXPECT_EQ(wobrelease(&object), 3);
  ASSERT_EQ(releases.size(), 1u);
  EXPECT_EQ(releases[0].object, &object);
  EXPECT_EQ(releases[0].word11, &releaseWord);
  EXPECT_EQ(releases[0].code, 4);
  EXPECT_EQ(releases[0].zero, 0);
  EXPECT_EQ(releases[0].zero2, 0);
  EXPECT_EQ(wobrelease(nullptr), 0);
}

}  // namespace
