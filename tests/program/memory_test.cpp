// A program of 20,000 BY groups keeps its memory flat: the anonymous memory
// of the process, sampled as items are emitted and the documents written,
// stays under a fixed bound. A resource check, skipped under the sanitizers
// (VYN_SANITIZED), whose shadow memory would swamp it.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "host/vynmod.h"
#include "vyn/cli/run.h"
#include "vyn/output/render.h"

extern "C" const mcn_desc *mcn_main(void **connection, void *module_handle);

namespace {

using namespace vyn::output;

long rssAnonKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = -1;
  while (status >> key && key != "RssAnon:") status.ignore(1 << 10, '\n');
  status >> value;
  return value;
}

// Hands every item to the three writers, which drop their text, and samples
// the memory as it goes.
struct Sampler : ItemSink, TextOut {
  std::unique_ptr<DocumentWriter> writers[3] = {listingWriter(*this, false),
                                                htmlWriter(*this, &fileScratch),
                                                jsonWriter(*this, &fileScratch)};
  long peak = 0;
  size_t items = 0;

  void put(std::string_view) override {}
  void fail(const std::string &) override {}
  void beginStep(const std::string &proc) override {
    for (auto &w : writers) w->beginStep(proc);
  }
  void item(const Item &item, const ItemPlace &place) override {
    for (auto &w : writers) w->item(item, place);
    if (items++ % 1000 == 0) peak = std::max(peak, rssAnonKb());
  }
  void endStep(const StepRecord &step) override {
    for (auto &w : writers) w->endStep(step);
  }
};

TEST(Memory, TwentyThousandByGroupsStayUnderTheBound) {
#ifdef VYN_SANITIZED
  GTEST_SKIP() << "memory is not measured under the sanitizers";
#endif
  const std::string dir = ::testing::TempDir();
  // every BY group of its own; one-output mode defines its tables anew in each
  for (const auto &[groups, option] : {std::pair{20000, ""}, std::pair{5000, " nobyvar"}}) {
    std::ofstream csv(dir + "vyn_memory_by.csv");
    csv << "g,x,y\n";
    for (int g = 0; g < groups; ++g) {
      for (int k = 0; k < 4; ++k) csv << g << ',' << (g * 7 + k * 13) % 29 << ',' << k * k << '\n';
    }
    csv.close();
    vyn::RunOptions options;
    options.dataDir = dir;
    vyn::Host host;
    host.useLinkedModule(&mcn_main);
    Sampler sampler;
    const std::string text =
        std::string("proc kravo data=vyn_memory_by") + option + "; by g; var x y; run;";
    const auto run = vyn::runProgram(vyn::readProgram(text), host, options, &sampler);
    for (auto &w : sampler.writers) w->finish();
    ASSERT_EQ(run.size(), 1u);
    EXPECT_EQ(run[0].rc, 0);
    EXPECT_GE(sampler.items, 3u * groups) << option;
    EXPECT_LT(sampler.peak, 64 * 1024) << option;
  }
}

}  // namespace
