// A program of 20,000 BY groups keeps its memory flat: the peak of the
// anonymous memory of the process, sampled as items are emitted and the
// documents written, stays under a fixed bound. A resource check: the
// sanitizers' shadow memory would swamp it, so it is skipped under them.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>

#include "host/vynmod.h"
#include "vyn/cli/run.h"
#include "vyn/output/render.h"

extern "C" const mcn_desc *mcn_main(void **connection, void *module_handle);

#if defined(__SANITIZE_ADDRESS__)
#define VYN_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VYN_SANITIZED 1
#endif
#endif

namespace {

// The anonymous memory of the process now, in kB.
long rssAnonKb() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "RssAnon:" && status >> value) return value;
    status.ignore(1 << 10, '\n');
  }
  return -1;
}

// Counts what the writers produce and drops it.
struct Discard : vyn::output::TextOut {
  size_t bytes = 0;
  void put(std::string_view text) override { bytes += text.size(); }
  void fail(const std::string &) override {}
};

// Hands every item to the three writers and samples the memory as it goes.
struct Sampler : vyn::output::ItemSink {
  Discard out;
  std::unique_ptr<vyn::output::DocumentWriter> writers[3] = {
      vyn::output::listingWriter(out, false),
      vyn::output::htmlWriter(out, &vyn::output::fileScratch),
      vyn::output::jsonWriter(out, &vyn::output::fileScratch)};
  long peak = 0;
  size_t items = 0;

  void beginStep(const std::string &proc) override {
    for (auto &w : writers) w->beginStep(proc);
  }
  void item(const vyn::output::Item &item, const vyn::output::ItemPlace &place) override {
    for (auto &w : writers) w->item(item, place);
    if (items++ % 1000 == 0) peak = std::max(peak, rssAnonKb());
  }
  void endStep(const vyn::output::StepRecord &step) override {
    for (auto &w : writers) w->endStep(step);
  }
};

TEST(Memory, TwentyThousandByGroupsStayUnderTheBound) {
#ifdef VYN_SANITIZED
  GTEST_SKIP() << "memory is not measured under the sanitizers";
#endif
  const std::string dir = ::testing::TempDir();
  {
    std::ofstream csv(dir + "vyn_memory_by.csv");
    csv << "g,x,y\n";
    for (int g = 0; g < 20000; ++g) {
      for (int k = 0; k < 4; ++k) csv << g << ',' << (g * 7 + k * 13) % 29 << ',' << k * k << '\n';
    }
  }
  for (const char *option : {"", " nobyvar"}) {
    vyn::Host host;
    host.useLinkedModule(&mcn_main);
    vyn::RunOptions options;
    options.dataDir = dir;
    Sampler sampler;
    const vyn::output::Run run =
        vyn::runProgram(vyn::readProgram(std::string("proc kravo data=vyn_memory_by") + option +
                                         "; by g; var x y; run;"),
                        host, options, &sampler);
    for (auto &w : sampler.writers) w->finish();
    ASSERT_EQ(run.size(), 1u);
    EXPECT_EQ(run[0].rc, 0);
    EXPECT_GE(sampler.items, 60000u) << option;
    EXPECT_LT(sampler.peak, 64 * 1024) << option;
  }
}

}  // namespace
