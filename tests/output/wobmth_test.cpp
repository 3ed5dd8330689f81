// Method dispatch on class records built by hand: the parent chain, the
// bucket mask, the missing method and the status that comes back.
#include <gtest/gtest.h>

#include <tuple>
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

TEST(Wobmth, FindsEachMethodWhereTheClassChainHasIt) {
  Classes c;
  wobobj object{&c.child};
  wobclass bare{"bare", nullptr, nullptr, 0, {}, nullptr, nullptr};
  wobobj plain{&bare};
  wobprop props[2] = {};
  const int32_t two = 2;
  const struct {
    void *object;
    wobclass *start;  // the class to start at; null: the object's own
    int32_t method, status;
    int tag;  // the method that ran; 0: none
    void *data, *classdata;
  } cases[] = {
      {&object, nullptr, 5, 1, 4, nullptr, nullptr},         // the child's own 5 hides the parent's
      {&object, nullptr, 21, 17, 2, nullptr, &classWord},    // up to the parent
      {&object, &c.parent, 5, 0, 1, &dataWord, &classWord},  // an explicit class starts there
      // 37, 21 and 53 share bucket 5 with 5: the number decides, not the bucket
      {&object, nullptr, 37, static_cast<int32_t>(0x80001234u), 5, nullptr, nullptr},
      {&object, nullptr, 53, kWobNoMethod, 0, nullptr, nullptr},
      {&object, nullptr, 8, kWobNoMethod, 0, nullptr, nullptr},
      {&object, nullptr, 7, -5, 3, nullptr, nullptr},  // a negative status comes back as is
      {nullptr, nullptr, 5, kWobNoMethod, 0, nullptr, nullptr},
      {&plain, nullptr, 5, kWobNoMethod, 0, nullptr, nullptr},
  };
  for (const auto &k : cases) {
    calls.clear();
    EXPECT_EQ(wobmth(k.object, k.start, k.method, 2, props), k.status) << k.method;
    ASSERT_EQ(calls.size(), k.tag ? 1u : 0u) << k.method;
    if (k.tag) {
      const Call &c = calls[0];
      EXPECT_EQ(std::tie(c.tag, c.object, c.data, c.classdata, c.count, c.props),
                std::tie(k.tag, k.object, k.data, k.classdata, two, props))
          << k.method;
    }
  }
}

using Release = std::tuple<void *, void *, int32_t, int32_t, int32_t>;
std::vector<Release> releases;

int32_t recordRelease(void *object, void *word11, int32_t code, int32_t zero, int32_t zero2) {
  releases.emplace_back(object, word11, code, zero, zero2);
  return 3;
}

TEST(WobRelease, CallsWordTenWithWordElevenAndCodeFour) {
  wobclass cls{"releasable", nullptr, nullptr, 0, {}, &recordRelease, &releaseWord};
  wobobj object{&cls};
  EXPECT_EQ(wobrelease(&object), 3);
  EXPECT_EQ(wobrelease(nullptr), 0);
  EXPECT_EQ(releases, (std::vector<Release>{{&object, &releaseWord, 4, 0, 0}}));
}

}  // namespace
