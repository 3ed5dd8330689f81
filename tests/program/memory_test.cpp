// A program of 20,000 BY groups, or of 100,000 with notes in each, keeps its
// memory flat: the anonymous memory of the process, sampled as items and log
// entries are emitted and the documents written, stays under a fixed bound.
// A resource check, skipped under the sanitizers (VYN_SANITIZED), whose
// shadow memory would swamp it.
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
  size_t entries = 0;
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
  void logged(const vyn::LogEntry &entry) override {
    for (auto &w : writers) w->logged(entry);
    ++entries;
  }
  void endStep(const StepRecord &step) override {
    for (auto &w : writers) w->endStep(step);
    peak = std::max(peak, rssAnonKb());
  }
};

TEST(Memory, ManyByGroupsStayUnderTheBound) {
#ifdef VYN_SANITIZED
  GTEST_SKIP() << "memory is not measured under the sanitizers";
#endif
  // the parsing workers read ahead a number of pieces of the file that grows
  // with them: two threads make the measure the same on every machine
  ::setenv("VYN_THREADS", "2", 1);
  const std::string dir = ::testing::TempDir();
  // every BY group of its own; one-output mode defines its tables anew in
  // each; under the lognormal model a zero in every group of three rows
  // writes three notes per group
  const struct {
    int groups, rows;
    const char *options, *variables;
    size_t entriesAtLeast;
    int rc;
  } cases[] = {{20000, 4, "", "x y", 0, 0},
               {5000, 4, " nobyvar", "x y", 0, 0},
               {100000, 3, " dist=lognormal", "y", 300000, 4}};
  for (const auto &[groups, rows, options, variables, entriesAtLeast, rc] : cases) {
    // named by the process, so that runs side by side do not share the file
    const std::string name = "vyn_memory_by_" + std::to_string(::getpid());
    std::ofstream csv(dir + name + ".csv");
    csv << "g,x,y\n";
    for (int g = 0; g < groups; ++g) {
      for (int k = 0; k < rows; ++k)
        csv << g << ',' << (g * 7 + k * 13) % 29 << ',' << k * k << '\n';
    }
    csv.close();
    vyn::RunOptions runOptions;
    runOptions.dataDir = dir;
    vyn::Host host;
    host.useLinkedModule(&mcn_main);
    Sampler sampler;
    const std::string text =
        "proc kravo data=" + name + options + "; by g; var " + variables + "; run;";
    const auto run = vyn::runProgram(vyn::readProgram(text), host, runOptions, &sampler);
    for (auto &w : sampler.writers) w->finish();
    std::remove((dir + name + ".csv").c_str());
    ASSERT_EQ(run.size(), 1u);
    EXPECT_EQ(run[0].rc, rc) << options;
    EXPECT_GE(sampler.items, 3u * groups) << options;
    EXPECT_GE(sampler.entries, entriesAtLeast) << options;
    EXPECT_TRUE(run[0].log.empty()) << options;
    EXPECT_LT(sampler.peak, 64 * 1024) << options;
    EXPECT_LT(sampler.objects, 1000u) << options;
  }
}

}  // namespace
