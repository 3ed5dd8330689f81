#include "tests/stat/fakehost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>

#include "dsup/src/mcnglob.h"
#include "host/vynconn.h"
#include "xob/krvprocs.h"

namespace {

FakeHost *current = nullptr;
size_t cursor = 0;
std::vector<void *> blocks;
std::array<uint8_t, 256> status{};
std::array<uint16_t, 256> classes{};

std::array<double, 256> missing{};

void *poolAllocate(vynconn::Pool *, size_t size, uint32_t) {
  blocks.push_back(std::calloc(1, size == 0 ? 1 : size));
  return blocks.back();
}
void poolRelease(vynconn::Pool *, void *block, int, int) {
  const auto it = std::find(blocks.begin(), blocks.end(), block);
  if (it == blocks.end()) return;
  std::free(block);
  blocks.erase(it);
}
vynconn::Pool stepPool{&poolAllocate, &poolRelease, nullptr}, workPool = stepPool;

void trap(int32_t group, int32_t slot) {
  ADD_FAILURE() << "host service " << group << "/" << slot << " is not provided";
  std::abort();
}

int32_t nextObservation(void *) {
  if (cursor < current->rows.size()) {
    ++cursor;
    return 1;
  }
  cursor = 0;
  return 0;
}

void blankCopy(char *out, size_t width, const std::string &text) {
  std::memset(out, ' ', width);
  std::memcpy(out, text.data(), std::min(width, text.size()));
}

int32_t fetchValues(void *request) {
  auto *o = static_cast<krvopts *>(request);
  const Row &row = current->rows[cursor - 1];
  for (int32_t i = 0; i < o->nvars; ++i) {
    o->values[i] = i < int32_t(row.values.size()) ? row.values[i] : hostMissing('.');
  }
  o->freq_value = row.freq;
  o->weight_value = row.weight;
  o->class_num = row.classNum;
  if (o->class_char != nullptr)
    blankCopy(o->class_char, 257, row.classValue.empty() ? row.classText : row.classValue);
  for (int k = 0; k < 2 && o->xo_char[k] != nullptr; ++k)
    blankCopy(o->xo_char[k], 257, row.treatments[k]);
  return 0;
}

int32_t fetchFormatted(void *request) {
  auto *o = static_cast<krvopts *>(request);
  if (o->class_fmt != nullptr) {
    blankCopy(o->class_fmt, o->class_fmtw, current->rows[cursor - 1].classText);
  }
  for (int k = 0; k < 2 && o->xo_fmt[k] != nullptr; ++k) {
    blankCopy(o->xo_fmt[k], o->xo_fmtw, current->rows[cursor - 1].treatments[k]);
  }
  return 0;
}

// The notes on the observations each analysis used are checked through the
// whole host; this log keeps the others.
void writeLog(int32_t group, int32_t number, int32_t count, const xins *inserts) {
  if (group == 181 && number >= 902 && number <= 929) return;
  const double insert = count > 0 && inserts[0].kind == 1 ? inserts[0].value : 0.0;
  current->log.push_back({group, number, insert});
}

[[noreturn]] void exitStep(int32_t code, int32_t) {
  throw FakeExit{code};
}

}  // namespace

double hostMissing(char letter) {
  return std::bit_cast<double>(uint64_t{0x7ff8000000000000} | static_cast<unsigned char>(letter));
}

bool isHostMissing(double x, char letter) {
  return std::bit_cast<uint64_t>(x) == std::bit_cast<uint64_t>(hostMissing(letter));
}

FakeHost::FakeHost()
    : slots_(vynconn::kServiceGroups, std::vector<void *>(vynconn::kServiceSlots, nullptr)) {
  for (auto &g : slots_) groups_.push_back(g.data());
  classes[' '] = classes['\t'] = vynconn::kClassBlank;
  for (int c = 0; c < 256; ++c) missing[c] = hostMissing(static_cast<char>(c));
  provide(xsvcid{0, 0}, &trap);
  provide(vynsvc::kXybyget, &nextObservation);
  provide(vynsvc::kXyvget, &fetchValues);
  provide(vynsvc::kXofprc, &fetchFormatted);
  provide(vynsvc::kXpmlog, &writeLog);
  provide(
      vynsvc::kXvname, +[](void *, int32_t, xvinfo *out) { return *out = xvinfo{}, int32_t{0}; });
  provide(vynsvc::kXexit, &exitStep);
  provide(
      vynsvc::kXmemdef, +[]() { return int32_t{0}; });
  words_[vynconn::kServiceTables] = groups_.data();
  words_[vynconn::kStatusArray] = status.data();
  words_[vynconn::kStepPool] = &stepPool;
  words_[vynconn::kWorkPool] = &workPool;
  words_[vynconn::kCharClasses] = classes.data();
  words_[vynconn::kMissingTable] = missing.data();
  mcn_connection = words_.data();
  current = this;
  cursor = 0;
}

FakeHost::~FakeHost() {
  for (void *block : blocks) std::free(block);
  blocks.clear();
  mcn_connection = nullptr;
  current = nullptr;
}

void FakeHost::rewind() {
  cursor = 0;
}

Step::Step(int32_t kind, int32_t nanalyses, int32_t nvars) {
  o_.kind = kind;
  o_.nanalyses = nanalyses;
  o_.nvars = nvars;
  krvalloc(&o_);
  o_.alpha = 0.05;
  o_.order = 42;
  o_.freq_var = o_.weight_var = o_.stat_var = -1;
  o_.reader = &o_;
  for (int32_t i = 0; i < nanalyses && kind != kKindPaired; ++i) {
    o_.sets_lo[0][i].varnum[0] = i;
    o_.sets_lo[0][i].varnum[1] = -1;
  }
  if (kind == kKindPaired) {
    map_.resize(nvars);
    for (int32_t v = 0; v < nvars; ++v) map_[v] = v + 1;
    pairing_.mapsize = nvars;
    pairing_.map = map_.data();
    o_.pairing = &pairing_;
  }
}

char *Step::buffer(size_t size) {
  buffers_.emplace_back(size, ' ');
  return buffers_.back().data();
}

void Step::pair(int32_t i, int32_t a, int32_t b) {
  o_.sets_lo[0][i].varnum[0] = a;
  o_.sets_lo[0][i].varnum[1] = b;
}

void Step::classVariable(uint8_t type, int32_t fmtw) {
  o_.class_type = type;
  o_.class_fmtw = fmtw;
  o_.class_fmt = buffer(fmtw + 1);
  for (char *&level : o_.level_fmt) level = buffer(fmtw + 1);
  if (type != 2) return;
  o_.class_charw = o_.class_len = 256;
  o_.class_char = buffer(257);
  for (char *&level : o_.level_char) level = buffer(257);
}

void Step::crossoverVariables(int32_t fmtw) {
  o_.xo_type = 2;
  o_.xo_fmtw = fmtw;
  o_.xo_charw = 256;
  for (char **b : {o_.xo_fmt, o_.trt_fmt, o_.xo_char, o_.trt_char}) {
    for (int k = 0; k < 2; ++k) b[k] = buffer(b == o_.xo_fmt || b == o_.trt_fmt ? fmtw + 1 : 257);
  }
}

void Step::testKind(int32_t testkind) {
  const int32_t base = testkind % 3;
  o_.testkind = testkind;
  o_.tost = testkind >= 3;
  o_.lognormal = base == 1;
  o_.ratio = base != 0;
  o_.normal_ratio = base == 2;
  o_.ratio_sets = o_.normal_ratio &&
                  (o_.kind == kKindPaired || (o_.kind == kKindCrossover && o_.ignore_period));
}
