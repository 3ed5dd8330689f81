// The module's side of parsing through the tests' connection: the host adapts
// the symbol table, xsparse resolves the host's routines once and traces.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/src/xinit.h"
#include "core/src/xsparse.h"
#include "dsup/src/mcnglob.h"
#include "src/krvstg.h"
#include "tests/stat/fakehost.h"
#include "tools/lalr.h"

namespace {

// What the parse services saw and what they are told to do.
struct Seen {
  int processBlock = 0, anchor = 0, module = 0, tokenRoutine = 0, semanticRoutine = 0;
  int32_t adapt = 0;
  bool resolveFails = false;
  std::vector<int32_t> fixArgs;
  vynstmt::GrammarDescriptor replacement{};
  std::vector<std::pair<int, int>> resolved;
  std::vector<int64_t> procArgs;
  void *procDescriptor = nullptr;
  std::string debug;
} *seen = nullptr;

void fixSymbols(int32_t nclasses, int32_t nsymbols, int32_t symbytes, void **descriptor) {
  seen->fixArgs = {nclasses, nsymbols, symbytes};
  *descriptor = &seen->replacement;
}
void *resolve(void *module, int32_t group, int32_t slot) {
  EXPECT_EQ(module, &seen->module);
  seen->resolved.push_back({group, slot});
  if (seen->resolveFails && slot == 236) return nullptr;
  return slot == 121 ? &seen->tokenRoutine : &seen->semanticRoutine;
}
int32_t parse(void *descriptor, void *block, int32_t trace, int32_t options, int32_t zero,
              int32_t zero2) {
  seen->procDescriptor = descriptor;
  EXPECT_EQ(block, &seen->processBlock);
  seen->procArgs = {trace, options, zero, zero2};
  return 77;
}
int32_t option(const char *, char *out, int32_t capacity) {
  std::snprintf(out, capacity, "%s", seen->debug.c_str());
  return 0;
}

struct ModuleParse : ::testing::Test {
  void SetUp() override {
    seen = &seen_;
    host_.provide(
        vynsvc::kWztxdotr, +[]() { return seen->adapt; });
    host_.provide(vynsvc::kXsfixsym, &fixSymbols);
    host_.provide(vynsvc::kVir2g, &resolve);
    host_.provide(
        vynsvc::kXtanch, +[]() -> void * { return &seen->anchor; });
    host_.provide(vynsvc::kXsproc, &parse);
    for (xsvcid id : {vynsvc::kXpopen, vynsvc::kXpoutl, vynsvc::kXpprnl, vynsvc::kXplogl,
                      vynsvc::kXpmsgl, vynsvc::kXpselec}) {
      host_.provide(
          id, +[]() { return int32_t{0}; });
    }
    host_.provide(vynsvc::kXoptcgt, &option);
    host_.setWord(vynconn::kProcessBlock, &seen_.processBlock);
    mcn_module = &seen_.module;
    setDebug("");
  }
  void setDebug(const char *text) {
    seen_.debug = text;
    xinit(&step_);
  }
  FakeHost host_;
  Seen seen_;
  static xstepblk step_;  // xinit keeps its address for the run
};
xstepblk ModuleParse::step_{};

TEST_F(ModuleParse, HostMayAdaptTheSymbolTableAndReplaceTheDescriptor) {
  krvstg();
  EXPECT_TRUE(seen_.fixArgs.empty()) << "xsfixsym only when wztxdotr asks";
  std::stringstream text;
  text << std::ifstream(KRAVO_GRAMMAR).rdbuf();
  const lalr::Grammar g = lalr::readGrammar(text.str());
  int32_t bytes = 0;
  for (int s = 1; s <= g.nterminals; ++s) bytes += 1 + static_cast<int32_t>(g.names[s].size());
  seen_.adapt = 1;
  EXPECT_EQ(krvstg(), &seen_.replacement);
  EXPECT_EQ(seen_.fixArgs, (std::vector<int32_t>{19, g.nterminals, bytes}));
}

TEST_F(ModuleParse, ParseConnectsTheRoutinesOnceAndCallsTheParser) {
  vynstmt::GrammarDescriptor *d = krvstg();
  EXPECT_EQ(xsparse(d, 0), 77);
  EXPECT_EQ(seen_.resolved, (std::vector<std::pair<int, int>>{{31, 121}, {31, 236}}));
  EXPECT_EQ(d->token_routine, &seen_.tokenRoutine);
  EXPECT_EQ(d->semantic_routine, &seen_.semanticRoutine);
  EXPECT_EQ(d->anchor, &seen_.anchor);
  EXPECT_EQ(seen_.procDescriptor, d);
  EXPECT_EQ(seen_.procArgs, (std::vector<int64_t>{0, 0, 0, 0}));
  xsparse(d, 0);
  EXPECT_EQ(seen_.resolved.size(), 2u) << "resolved on the first use only";
}

TEST_F(ModuleParse, TraceFlagsComeFromTheDebugOption) {
  const std::pair<const char *, int64_t> cases[] = {{"syn,sem", 3}, {"Sem", 1}, {"syn", 2}};
  for (const auto &[debug, flags] : cases) {
    setDebug(debug);
    xsparse(krvstg(), 0);
    EXPECT_EQ(seen_.procArgs.at(0), flags) << debug;
  }
}

TEST_F(ModuleParse, UnresolvedRoutineLogsMessage54AndEndsWithTheConnectionCode) {
  seen_.resolveFails = true;
  try {
    xsparse(krvstg(), 0);
    FAIL();
  } catch (const FakeExit &e) {
    EXPECT_EQ(e.code, 1012);
  }
  ASSERT_EQ(host_.log.size(), 1u);
  EXPECT_EQ(host_.log[0].group, 129);
  EXPECT_EQ(host_.log[0].number, 54);
  EXPECT_EQ(seen_.procDescriptor, nullptr);
}

}  // namespace
