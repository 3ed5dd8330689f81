// PLOTS= resolved against the analysis type: the graphs it adds, and every
// request that does not fit, with its message and code.
#include <string>
#include <vector>

#include "tests/graphs/graphdata.h"
#include "xob/krvgraf.h"

namespace {

using harness::messages;
using vyn::LogLevel;

// The seven graph kinds, as letters: H histogram, B box, I interval,
// S summary, Q Q-Q, P profiles, A agreement.
std::string graphsOf(const krvopts &opts) {
  const std::pair<krvplot, char> kinds[] = {
      {kPlotHistogram, 'H'}, {kPlotBox, 'B'},      {kPlotInterval, 'I'}, {kPlotSummary, 'S'},
      {kPlotQQ, 'Q'},        {kPlotProfiles, 'P'}, {kPlotAgreement, 'A'}};
  std::string out;
  for (auto [f, letter] : kinds)
    if (opts.graphics.fields[f]) out += letter;
  return out;
}

TEST(PlotRequests, AddTheDefaultOrAllSetOfTheAnalysisType) {
  enum Model { kPlain, kNormalRatio, kNormalRatioNoPeriod };
  const struct {
    int32_t kind;
    Model model;
    std::vector<krvplot> given;  // besides kPlotGiven when not empty
    const char *graphs;
    krvplot typed;  // a TYPE= or UNPACK field the resolution sets, or kPlotFields
  } cases[] = {
      {kKindOneSample, kPlain, {}, "SQ", kPlotFields},
      {kKindTwoSample, kPlain, {kPlotBox}, "BSQ", kPlotFields},
      {kKindTwoSample, kPlain, {kPlotInterval}, "ISQ", kPlotIntervalTest},
      {kKindPaired, kPlain, {}, "SQPA", kPlotFields},
      {kKindPaired, kPlain, {kPlotOnly, kPlotBox}, "B", kPlotFields},
      {kKindPaired, kPlain, {kPlotBox}, "BSQPA", kPlotFields},
      {kKindPaired, kPlain, {kPlotAll}, "HBISQPA", kPlotFields},
      {kKindPaired, kNormalRatio, {kPlotAll}, "HBSQPA", kPlotFields},
      {kKindOneSample, kPlain, {kPlotNone}, "", kPlotFields},
      {kKindOneSample, kPlain, {kPlotNone, kPlotAll}, "HBISQ", kPlotFields},
      {kKindOneSample, kPlain, {kPlotUnpack, kPlotOnly}, "", kPlotSummaryUnpacked},
      {kKindCrossover, kPlain, {}, "HBQPA", kPlotProfilesTreatment},
      {kKindCrossover, kPlain, {kPlotAll}, "HBIQPA", kPlotIntervalTreatment},
      {kKindCrossover, kNormalRatio, {kPlotAll}, "HBIQPA", kPlotAgreementTreatment},
      {kKindCrossover, kNormalRatioNoPeriod, {kPlotAll}, "HBQPA", kPlotFields},
      {kKindCrossover,
       kPlain,
       {kPlotOnly, kPlotProfiles, kPlotProfilesPeriod},
       "P",
       kPlotProfilesPeriod},
  };
  for (const auto &c : cases) {
    krvopts opts{};
    opts.kind = c.kind;
    opts.normal_ratio = c.model != kPlain;
    opts.ignore_period = c.model == kNormalRatioNoPeriod;
    for (krvplot f : c.given) opts.graphics.fields[f] = 1;
    opts.graphics.fields[kPlotGiven] = !c.given.empty();
    EXPECT_EQ(krvplot_resolve(&opts), 0) << c.graphs;
    EXPECT_EQ(graphsOf(opts), c.graphs) << "kind " << c.kind;
    if (c.typed != kPlotFields) {
      EXPECT_EQ(opts.graphics.fields[c.typed], 1) << c.graphs;
    }
  }
}

// Each refusal ends the step with its message and code 3000, graphics on or off.
TEST(PlotRequests, RefuseWhatDoesNotFitTheAnalysis) {
  const struct {
    const char *statements;
    int message;
  } cases[] = {
      {"plots=profiles; var math", 128},
      {"plots=(all profiles); var math", 128},
      {"plots=agreement; var math", 129},
      {"test=ratio dist=normal plots=interval; paired math*reading", 138},
      {"plots=profiles; class grp; var math", 130},
      {"plots=agreement; class grp; var math", 131},
      {"plots=interval(type=treatment); class grp; var math", 118},
      {"plots=interval(type=period); class grp; var math", 119},
      {"plots=interval(type=pergroup type=test); class grp; var math", 121},
      {"plots(showh0)=box tost(60, 80); var math", 133},
      {"plots(showh0) tost(60, 80); var math", 133},
      {"plots=interval(type=test); var math", 134},
      {"plots=interval(type=pergroup); paired math*reading", 134},
      {"plots=profiles(type=period); paired math*reading", 124},
      {"plots=agreement(type=treatment); paired math*reading", 125},
  };
  for (bool graphics : {true, false}) {
    for (const auto &c : cases) {
      const std::string program = std::string("proc kravo data=scores ") + c.statements + "; run;";
      const auto run = graphdata::run(program, graphics, VYN_PROGRAM_DATA);
      EXPECT_EQ(run.step.rc, 3000) << program;
      EXPECT_EQ(messages(run.step, LogLevel::kError), std::vector<int>{c.message}) << program;
      EXPECT_TRUE(run.objects.empty()) << program;
    }
  }
}

TEST(PlotRequests, RefuseCrossoverRequestsThatDoNotFit) {
  const struct {
    const char *options, *var_options;
    int message;
  } cases[] = {
      {"plots=summary", "", 132},
      {"plots=interval(type=test)", "", 122},
      {"plots=interval(type=pergroup type=period)", "", 123},
      {"plots=profiles(type=treatment type=period)", "", 126},
      {"plots=agreement(type=treatment type=period)", "", 127},
      {"plots=interval(type=period)", "ignoreperiod", 136},
      {"plots=interval test=ratio dist=normal", "ignoreperiod", 139},
  };
  for (const auto &c : cases) {
    const std::string program = std::string("proc kravo data=xover ") + c.options +
                                "; var y1 y2 / crossover=(t1 t2) " + c.var_options + "; run;";
    const auto run = graphdata::run(program, true, VYN_PROGRAM_DATA);
    EXPECT_EQ(run.step.rc, 3000) << program;
    EXPECT_EQ(messages(run.step, LogLevel::kError), std::vector<int>{c.message}) << program;
  }
}

bool logged(const vyn::output::StepRecord &step, int group, int number) {
  for (const vyn::LogEntry &e : step.log)
    if (e.group == group && e.number == number && e.level == LogLevel::kNote) return true;
  return false;
}

// PLOTS= with graphics off is noted and draws nothing; with summary input it
// is noted; neither changes the code. Graphics on produce the data objects
// even under PLOTS=NONE.
TEST(PlotRequests, NoteGraphicsOffAndSummaryInput) {
  const struct {
    const char *program;
    bool graphics;
    bool off_note, summary_note;
    size_t objects;
  } cases[] = {
      {"proc kravo data=scores plots=box; var math; run;", false, true, false, 0},
      {"proc kravo data=scores; var math; run;", false, false, false, 0},
      {"proc kravo data=scores plots=none; var math; run;", true, false, false, 2},
      {"proc kravo data=scores; class grp; var math; run;", true, false, false, 4},
      {"proc kravo data=women_sum plots=box; var height; run;", true, false, true, 2},
      {"proc kravo data=women_sum plots=box; var height; run;", false, true, true, 0},
  };
  for (const auto &c : cases) {
    const auto run = graphdata::run(c.program, c.graphics, VYN_PROGRAM_DATA);
    EXPECT_EQ(run.step.rc, 0) << c.program;
    EXPECT_EQ(logged(run.step, 210, 1104), c.off_note) << c.program;
    EXPECT_EQ(logged(run.step, 181, 140), c.summary_note) << c.program;
    EXPECT_EQ(run.objects.size(), c.objects) << c.program;
  }
}

}  // namespace
