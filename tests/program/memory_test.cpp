// Programs of many BY groups keep their memory flat: the anonymous memory of
// the process, sampled as items and notes are emitted and the documents
// written, stays under a fixed bound. A resource check, skipped under the
// sanitizers (VYN_SANITIZED), whose shadow memory would swamp it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "host/vynmod.h"
#include "vyn/cli/run.h"
#include "vyn/output/objects.h"
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

// Hands every item and log entry to the three writers, which drop their
// text, and samples the memory and the output objects held as it goes.
struct Sampler : ItemSink, TextOut {
  std::unique_ptr<DocumentWriter> writers[3] = {listingWriter(*this, false),
                                                htmlWriter(*this, &fileScratch),
                                                jsonWriter(*this, &fileScratch)};
  long peak = 0;
  size_t items = 0;
  size_t objects = 0;  // the most output objects the step held at once

  void put(std::string_view) override {}
  void fail(const std::string &) override {}
  void beginStep(const std::string &proc) override {
    for (auto &w : writers) w->beginStep(proc);
  }
  void item(const Item &item, const ItemPlace &place) override {
    for (auto &w : writers) w->item(item, place);
    objects = std::max(objects, stepState()->objects.size());
    if (items++ % 1000 == 0) peak = std::max(peak, rssAnonKb());
  }
  void logged(const vyn::LogEntry &e) override {
    for (auto &w : writers) w->logged(e);
  }
  void endStep(const StepRecord &step) override {
    for (auto &w : writers) w->endStep(step);
  }
};

TEST(Memory, ManyByGroupsStayUnderTheBound) {
#ifdef VYN_SANITIZED
  GTEST_SKIP() << "memory is not measured under the sanitizers";
#endif
  ::setenv("VYN_THREADS", "2", 1);  // the read-ahead grows with the threads: two everywhere
  const std::string dir = ::testing::TempDir();
  // groups, rows, rc and step: every BY group of its own; one-output mode defines its tables
  // anew in each; under the lognormal model a zero in each group writes three notes
  for (const auto &[groups, rows, rc, step] :
       {std::tuple{20000, 4, 0, "; by g; var x y"},
        std::tuple{5000, 4, 0, " nobyvar; by g; var x y"},
        std::tuple{100000, 3, 4, " dist=lognormal; by g; var y"}}) {
    // named by the process, so that runs side by side do not share the file
    const std::string name = "vyn_memory_by_" + std::to_string(::getpid());
    std::ofstream csv(dir + name + ".csv");
    csv << "g,x,y\n";
    for (int g = 0; g < groups; ++g) {
      for (int k = 0; k < rows; ++k)
        csv << g << ',' << (g * 7 + k * 13) % 29 << ',' << k * k << '\n';
    }
    csv.close();
    vyn::RunOptions options;
    options.dataDir = dir;
    vyn::Host host;
    host.useLinkedModule(&mcn_main);
    Sampler sampler;
    const std::string text = "proc kravo data=" + name + step + "; run;";
    const auto run = vyn::runProgram(vyn::readProgram(text), host, options, &sampler);
    for (auto &w : sampler.writers) w->finish();
    std::remove((dir + name + ".csv").c_str());
    ASSERT_EQ(run.size(), 1u);
    EXPECT_EQ(run[0].rc, rc) << step;
    EXPECT_GE(sampler.items, 3u * groups) << step;
    EXPECT_LT(sampler.peak, 64 * 1024) << step;
    EXPECT_LT(sampler.objects, 1000u) << step;
  }
}

}  // namespace
