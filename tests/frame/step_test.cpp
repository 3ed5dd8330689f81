// A whole step through the host and the linked module: the lifecycle from
// the procedure entry to the exit service, return codes, and pools left empty.
#include <gtest/gtest.h>

#include <string>

#include "host/vynmod.h"
#include "vyn/core/host.h"
#include "vyn/core/program.h"
#include "vyn/output/session.h"

extern "C" const mcn_desc *mcn_main(void **connection, void *module_handle);

namespace {

constexpr const char *kDataDir = VYN_TEST_DATA;

struct Ran {
  vyn::StepOutcome outcome;
  std::vector<vyn::LogEntry> log;
  size_t liveAfter = 0;
};

class StepTest : public ::testing::Test {
 protected:
  StepTest() { host_.useLinkedModule(&mcn_main); }

  Ran run(const std::string &text) {
    vyn::Program program = vyn::readProgram(text);
    EXPECT_EQ(program.steps.size(), 1u);
    vyn::StepContext step;
    step.proc = program.steps[0].proc;
    step.statements = program.steps[0].statements;
    step.dataDir = kDataDir;
    vyn::output::beginStep(step.proc, &step.log);
    Ran ran;
    ran.outcome = host_.runStep(step);
    vyn::output::endStep();
    ran.log = step.log.entries();
    ran.liveAfter =
        host_.connection().stepPool().liveBlocks() + host_.connection().workPool().liveBlocks();
    return ran;
  }

  static bool logged(const Ran &r, int group, int number) {
    for (const auto &e : r.log) {
      if (e.group == group && e.number == number) return true;
    }
    return false;
  }

  vyn::Host host_;
};

TEST_F(StepTest, EmptyDataSetRunsToTheEndAndTheModuleFreesEverything) {
  const Ran r = run("proc kravo data=empty; var y; run;");
  EXPECT_EQ(r.outcome.rc, 0);
  // the module's own release step gave back every block before the exit but
  // the grammar descriptor, which the host's end of step frees
  EXPECT_EQ(r.outcome.leftStepBlocks, 1u);
  EXPECT_EQ(r.outcome.leftWorkBlocks, 0u);
  EXPECT_EQ(r.liveAfter, 0u);
}

TEST_F(StepTest, ErrorEndsTheStepFromDeepInsideAndTheHostFreesTheRest) {
  const Ran r = run("proc kravo data=small alpha=2; var y; run;");
  EXPECT_EQ(r.outcome.rc, 3000);
  EXPECT_TRUE(logged(r, 181, 47));
  EXPECT_GT(r.outcome.leftStepBlocks, 0u);  // the options record was still held
  EXPECT_EQ(r.liveAfter, 0u);
}

TEST_F(StepTest, MissingDataSetIsReportedWithItsName) {
  const Ran r = run("proc kravo data=nosuch; var y; run;");
  EXPECT_GE(r.outcome.rc, 1008);
  bool named = false;
  for (const auto &e : r.log) named = named || e.text.find("nosuch") != std::string::npos;
  EXPECT_TRUE(named);
  EXPECT_EQ(r.liveAfter, 0u);
}

TEST_F(StepTest, EveryFailedAllocationEndsCleanlyWithTheMemoryCode) {
  for (size_t n = 1; n <= 40; ++n) {
    host_.connection().stepPool().failAllocation(n);
    const Ran r = run("proc kravo data=empty; var y; run;");
    host_.connection().stepPool().failAllocation(0);
    EXPECT_TRUE(r.outcome.rc == 0 || r.outcome.rc == 1016) << "allocation " << n;
    if (r.outcome.rc == 1016) {
      EXPECT_TRUE(logged(r, 210, 101)) << "allocation " << n;
    }
    EXPECT_EQ(r.liveAfter, 0u);
  }
}

TEST_F(StepTest, UnknownProcedureIsAnError) {
  const Ran r = run("proc nosuch; run;");
  EXPECT_EQ(r.outcome.rc, 3000);
  EXPECT_TRUE(logged(r, 210, 103));
}

}  // namespace
