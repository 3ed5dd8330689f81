// The module's side of parsing, against a fake connection: krvstg builds the
// descriptor from the step pool and honours wztxdotr/xsfixsym; xsparse
// connects the descriptor to the host's routines once and calls xsproc.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/src/xinit.h"
#include "core/src/xsparse.h"
#include "host/vynsvc.h"
#include "src/krvstg.h"
#include "tools/lalr.h"

void **mcn_connection = nullptr;
void *mcn_module = nullptr;
void *mcn_kernel = nullptr;

namespace {

struct Exit {
  int code;
};

// What the fake host saw and what it is told to do.
struct FakeHost {
  std::vector<std::vector<void *>> slots;
  std::vector<void **> tables;
  std::vector<uint8_t> status;
  void *words[vynconn::kConnectionWords] = {};
  vynconn::Pool pool{};
  int processBlock = 0, anchor = 0, module = 0, tokenRoutine = 0, semanticRoutine = 0;

  bool failAllocation = false;
  size_t allocatedSize = 0;
  uint32_t allocatedFlags = 0;
  std::vector<void *> blocks;
  int32_t adapt = 0;
  std::vector<int32_t> fixArgs;
  vynstmt::GrammarDescriptor replacement{};
  bool replace = false;
  bool resolveFails = false;
  std::vector<std::pair<int, int>> resolved;
  std::vector<std::pair<int, int>> logged;
  std::string loggedInsert;
  std::vector<int64_t> procArgs;
  void *procDescriptor = nullptr;
  void *procBlock = nullptr;
  std::string debug;

  FakeHost();
  ~FakeHost() {
    for (void *b : blocks) std::free(b);
  }
  template <typename Fn>
  void put(xsvcid id, Fn *fn) {
    slots[id.group][id.slot] = reinterpret_cast<void *>(fn);
  }
};

FakeHost *host = nullptr;

void *poolAllocate(vynconn::Pool *, size_t size, uint32_t flags) {
  host->allocatedSize = size;
  host->allocatedFlags = flags;
  if (host->failAllocation) return nullptr;
  host->blocks.push_back(std::malloc(size));
  return host->blocks.back();
}
[[noreturn]] void fakeExit(int32_t code, int32_t) {
  throw Exit{code};
}
void fakeLog(int32_t group, int32_t number, int32_t count, const xins *inserts) {
  host->logged.push_back({group, number});
  if (count > 0) host->loggedInsert = inserts[0].text;
}
int32_t fakeAdapt() {
  return host->adapt;
}
void fakeFix(int32_t nclasses, int32_t nsymbols, int32_t symbytes, void **descriptor) {
  host->fixArgs = {nclasses, nsymbols, symbytes};
  if (host->replace) *descriptor = &host->replacement;
}
void *fakeResolve(void *module, int32_t group, int32_t slot) {
  EXPECT_EQ(module, &host->module);
  host->resolved.push_back({group, slot});
  if (host->resolveFails && slot == 236) return nullptr;
  return slot == 121 ? static_cast<void *>(&host->tokenRoutine)
                     : static_cast<void *>(&host->semanticRoutine);
}
void *fakeAnchor() {
  return &host->anchor;
}
int32_t fakeProc(void *descriptor, void *block, int32_t trace, int32_t options, int32_t zero,
                 int32_t zero2) {
  host->procDescriptor = descriptor;
  host->procBlock = block;
  host->procArgs = {trace, options, zero, zero2};
  return 77;
}
void fakeMemoryMessage(int32_t) {
  host->logged.push_back({210, 101});
}
int32_t fakeStream() {
  return 0;
}
int32_t fakeOption(const char *, char *out, int32_t capacity) {
  std::snprintf(out, capacity, "%s", host->debug.c_str());
  return 0;
}

FakeHost::FakeHost()
    : slots(vynconn::kServiceGroups, std::vector<void *>(vynconn::kServiceSlots)),
      status(vynconn::kServiceGroups) {
  for (auto &s : slots) tables.push_back(s.data());
  words[vynconn::kServiceTables] = tables.data();
  words[vynconn::kStatusArray] = status.data();
  words[vynconn::kProcessBlock] = &processBlock;
  pool.allocate = &poolAllocate;
  words[vynconn::kStepPool] = &pool;
  put(vynsvc::kXexit, &fakeExit);
  put(vynsvc::kXpmlog, &fakeLog);
  put(vynsvc::kXmemmsg, &fakeMemoryMessage);
  put(vynsvc::kWztxdotr, &fakeAdapt);
  put(vynsvc::kXsfixsym, &fakeFix);
  put(vynsvc::kVir2g, &fakeResolve);
  put(vynsvc::kXtanch, &fakeAnchor);
  put(vynsvc::kXsproc, &fakeProc);
  for (xsvcid id : {vynsvc::kXpopen, vynsvc::kXpoutl, vynsvc::kXpprnl, vynsvc::kXplogl,
                    vynsvc::kXpmsgl, vynsvc::kXpselec}) {
    put(id, &fakeStream);
  }
  put(vynsvc::kXoptcgt, &fakeOption);
}

class ModuleParse : public ::testing::Test {
 protected:
  void SetUp() override {
    host = &fake_;
    mcn_connection = fake_.words;
    mcn_module = &fake_.module;
    xinit(&step_);  // DEBUG empty: no trace
  }
  void TearDown() override {
    host = nullptr;
    mcn_connection = nullptr;
  }
  void setDebug(const char *text) {
    fake_.debug = text;
    xinit(&step_);
  }
  FakeHost fake_;
  static xstepblk step_;  // xinit keeps its address for the run
};
xstepblk ModuleParse::step_{};

TEST_F(ModuleParse, DescriptorIsACopyOfTheTemplateFromTheStepPool) {
  vynstmt::GrammarDescriptor *d = krvstg();
  EXPECT_EQ(fake_.allocatedFlags, 0x2004u);
  EXPECT_EQ(fake_.allocatedSize, sizeof(vynstmt::GrammarDescriptor));
  EXPECT_EQ(d->version, 1);
  EXPECT_EQ(d->first_nonterminal, 122);
  EXPECT_EQ(d->nterminals, 121);
  EXPECT_EQ(d->max_cost, 127);
  EXPECT_EQ(d->reserved63, 63);
  EXPECT_EQ(d->nclasses, 19);
  EXPECT_EQ(d->tables.prslst, krv_pc.tables.prslst);
  EXPECT_EQ(d->tables.instbl, krv_pc.tables.instbl);
  EXPECT_EQ(d->token_routine, nullptr);
  EXPECT_TRUE(fake_.fixArgs.empty()) << "xsfixsym only when wztxdotr asks";
}

TEST_F(ModuleParse, PoolFailureEndsTheRunWithTheMemoryCode) {
  fake_.failAllocation = true;
  try {
    krvstg();
    FAIL();
  } catch (const Exit &e) {
    EXPECT_EQ(e.code, 1016);
  }
  EXPECT_EQ(fake_.logged.back(), std::make_pair(210, 101)) << "the step says why it ends";
}

TEST_F(ModuleParse, HostMayAdaptTheSymbolTableAndReplaceTheDescriptor) {
  std::ifstream in(KRAVO_GRAMMAR);
  std::stringstream text;
  text << in.rdbuf();
  const lalr::Grammar g = lalr::readGrammar(text.str());
  int32_t bytes = 0;
  for (int s = 1; s <= g.nterminals; ++s) bytes += 1 + static_cast<int32_t>(g.names[s].size());
  fake_.adapt = 1;
  fake_.replace = true;
  vynstmt::GrammarDescriptor *d = krvstg();
  EXPECT_EQ(fake_.fixArgs, (std::vector<int32_t>{19, 121, bytes}));
  EXPECT_EQ(d, &fake_.replacement);
}

TEST_F(ModuleParse, ParseConnectsTheRoutinesOnceAndCallsTheParser) {
  vynstmt::GrammarDescriptor *d = krvstg();
  EXPECT_EQ(xsparse(d, 0), 77);
  EXPECT_EQ(fake_.resolved, (std::vector<std::pair<int, int>>{{31, 121}, {31, 236}}));
  EXPECT_EQ(d->token_routine, &fake_.tokenRoutine);
  EXPECT_EQ(d->semantic_routine, &fake_.semanticRoutine);
  EXPECT_EQ(d->anchor, &fake_.anchor);
  EXPECT_EQ(fake_.procDescriptor, d);
  EXPECT_EQ(fake_.procBlock, &fake_.processBlock);
  EXPECT_EQ(fake_.procArgs, (std::vector<int64_t>{0, 0, 0, 0}));
  xsparse(d, 0);
  EXPECT_EQ(fake_.resolved.size(), 2u) << "resolved on the first use only";
}

TEST_F(ModuleParse, TraceFlagsComeFromTheDebugOption) {
  setDebug("syn,sem");
  xsparse(krvstg(), 0);
  EXPECT_EQ(fake_.procArgs[0], 3);
  setDebug("Sem");
  xsparse(krvstg(), 0);
  EXPECT_EQ(fake_.procArgs[0], 1);
}

TEST_F(ModuleParse, UnresolvedRoutineLogsMessage54AndEndsWithTheConnectionCode) {
  fake_.resolveFails = true;
  try {
    xsparse(krvstg(), 0);
    FAIL();
  } catch (const Exit &e) {
    EXPECT_EQ(e.code, 1012);
  }
  EXPECT_EQ(fake_.logged, (std::vector<std::pair<int, int>>{{129, 54}}));
  EXPECT_EQ(fake_.loggedInsert, "xsem");
  EXPECT_EQ(fake_.procDescriptor, nullptr);
}

}  // namespace
