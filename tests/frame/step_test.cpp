// A whole step: return codes, pools left empty, and every allocation failed in turn.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>

#include "host/vynmod.h"
#include "vyn/core/host.h"
#include "vyn/core/program.h"
#include "vyn/output/render.h"
#include "vyn/output/session.h"

extern "C" const mcn_desc *mcn_main(void **connection, void *module_handle);

namespace {

struct Ran {
  vyn::StepOutcome outcome;
  std::vector<vyn::LogEntry> log;
  std::string output;  // the step's output and log as JSON
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
    step.dataDir = VYN_TEST_DATA;
    vyn::output::beginStep(step.proc, &step.log);
    Ran ran;
    ran.outcome = host_.runStep(step);
    vyn::output::StepRecord record{step.proc, ran.outcome.rc, step.log.entries(),
                                   vyn::output::endStep()};
    ran.log = record.log;
    // the step's time differs from run to run
    ran.output = std::regex_replace(vyn::output::renderJson({record}),
                                    std::regex("took [0-9.]+ seconds"), "took t seconds");
    ran.liveAfter = stepPool().liveBlocks() + workPool().liveBlocks();
    return ran;
  }
  vyn::CountingPool &stepPool() { return host_.connection().stepPool(); }
  vyn::CountingPool &workPool() { return host_.connection().workPool(); }

  static bool logged(const Ran &r, int group, int number) {
    return std::any_of(r.log.begin(), r.log.end(),
                       [&](const auto &e) { return e.group == group && e.number == number; });
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

TEST_F(StepTest, ErrorsEndTheStepWithTheirCodeAndTheHostFreesTheRest) {
  const Ran bad = run("proc kravo data=small alpha=2; var y; run;");
  EXPECT_EQ(bad.outcome.rc, 3000);
  EXPECT_TRUE(logged(bad, 181, 47));
  EXPECT_GT(bad.outcome.leftStepBlocks, 0u);  // the options record was still held
  EXPECT_EQ(bad.liveAfter, 0u);
  const Ran missing = run("proc kravo data=nosuch; var y; run;");
  EXPECT_GE(missing.outcome.rc, 1008);
  EXPECT_NE(missing.output.find("nosuch"), std::string::npos);
  const Ran unknown = run("proc nosuch; run;");
  EXPECT_EQ(unknown.outcome.rc, 3000);
  EXPECT_TRUE(logged(unknown, 210, 103));
}

// Counts the allocations of a clean run in each pool, then fails each of
// them in turn: every failure ends the step with the memory code and its
// message, nothing stays allocated, and the next step runs as if nothing
// had happened.
class AllocationSweep : public StepTest, public ::testing::WithParamInterface<const char *> {};

TEST_P(AllocationSweep, EveryAllocationOfEitherPoolFailsCleanly) {
  const std::string program = GetParam();
  const size_t steps = stepPool().allocations(), works = workPool().allocations();
  const Ran clean = run(program);
  ASSERT_EQ(clean.outcome.rc, 0) << clean.output;
  EXPECT_NE(clean.output.find("\"Statistics\""), std::string::npos);
  const size_t counts[2] = {stepPool().allocations() - steps, workPool().allocations() - works};
  EXPECT_GT(counts[1], 0u);
  for (int p = 0; p < 2; ++p) {
    vyn::CountingPool &pool = p == 0 ? stepPool() : workPool();
    for (size_t i = 1; i <= counts[p]; ++i) {
      SCOPED_TRACE(testing::Message() << pool.name() << " allocation " << i);
      pool.failAllocation(i);
      const Ran failed = run(program);
      pool.failAllocation(0);
      EXPECT_EQ(failed.outcome.rc, 1016);
      EXPECT_TRUE(logged(failed, 210, 101));
      EXPECT_EQ(failed.liveAfter, 0u);
      EXPECT_EQ(run(program).output, clean.output);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    WholeSteps, AllocationSweep,
    ::testing::Values("proc kravo data=sweep tost(1, 6) ci=umpu; by g; var y z; run;",
                      "proc kravo data=sweep nobyvar; by g; paired y*z; run;",
                      "proc kravo data=sweep test=ratio tost(0.8, 1.25); paired y*z; run;",
                      "proc kravo data=sweep cochran ci=umpu; by g; class c; var y z; run;",
                      "proc kravo data=sweep tost(-2, 2); class c; var y; run;"));

}  // namespace
