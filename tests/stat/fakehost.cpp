#include "tests/stat/fakehost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "host/vynconn.h"
#include "host/vynsvc.h"

void **mcn_connection = nullptr;
void *mcn_module = nullptr;
void *mcn_kernel = nullptr;

namespace {

FakeHost *current = nullptr;
size_t cursor = 0;

// The service vector: every group has every slot.
struct Tables {
  std::vector<std::vector<void *>> slots;
  std::vector<void **> groups;
  std::vector<uint8_t> status;
  std::array<double, 256> missing{};
  std::array<uint16_t, 256> classes{};
  Tables()
      : slots(vynconn::kServiceGroups, std::vector<void *>(vynconn::kServiceSlots, nullptr)),
        status(vynconn::kServiceGroups, 0) {
    for (auto &g : slots) groups.push_back(g.data());
    for (int c = 0; c < 256; ++c) {
      missing[c] = std::bit_cast<double>(uint64_t{0x7ff8000000000000} | uint64_t(c));
    }
    classes[' '] = classes['\t'] = vynconn::kClassBlank;
  }
  template <typename Fn>
  void put(xsvcid id, Fn *fn) {
    slots[id.group][id.slot] = reinterpret_cast<void *>(fn);
  }
};

Tables &tables() {
  static Tables t;
  return t;
}

void *poolAllocate(vynconn::Pool *, size_t size, uint32_t) {
  return std::calloc(1, size);
}
void poolRelease(vynconn::Pool *, void *block, int, int) {
  std::free(block);
}
vynconn::Pool stepPool{&poolAllocate, &poolRelease, nullptr};
vynconn::Pool workPool{&poolAllocate, &poolRelease, nullptr};

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
  if (o->class_char != nullptr) blankCopy(o->class_char, 257, row.classText);
  return 0;
}

int32_t fetchFormatted(void *request) {
  auto *o = static_cast<krvopts *>(request);
  if (o->class_fmt != nullptr) {
    blankCopy(o->class_fmt, o->class_fmtw, current->rows[cursor - 1].classText);
  }
  return 0;
}

void writeLog(int32_t group, int32_t number, int32_t count, const xins *inserts) {
  const double insert = count > 0 && inserts[0].kind == 1 ? inserts[0].value : 0.0;
  current->log.push_back({group, number, insert});
}

void exitStep(int32_t code, int32_t) {
  throw std::runtime_error("xexit " + std::to_string(code));
}
void memoryMessage(int32_t) {}

}  // namespace

double hostMissing(char letter) {
  return tables().missing[static_cast<unsigned char>(letter)];
}

bool isHostMissing(double x, char letter) {
  return std::bit_cast<uint64_t>(x) == std::bit_cast<uint64_t>(hostMissing(letter));
}

FakeHost::FakeHost() {
  Tables &t = tables();
  t.put(xsvcid{0, 0}, &trap);
  t.put(vynsvc::kXybyget, &nextObservation);
  t.put(vynsvc::kXyvget, &fetchValues);
  t.put(vynsvc::kXofprc, &fetchFormatted);
  t.put(vynsvc::kXpmlog, &writeLog);
  t.put(vynsvc::kXexit, &exitStep);
  t.put(vynsvc::kXmemmsg, &memoryMessage);
  words_[vynconn::kServiceTables] = t.groups.data();
  words_[vynconn::kStatusArray] = t.status.data();
  words_[vynconn::kStepPool] = &stepPool;
  words_[vynconn::kWorkPool] = &workPool;
  words_[vynconn::kCharClasses] = t.classes.data();
  words_[vynconn::kMissingTable] = t.missing.data();
  mcn_connection = words_.data();
  current = this;
  cursor = 0;
}

FakeHost::~FakeHost() {
  mcn_connection = nullptr;
  current = nullptr;
}

void FakeHost::rewind() {
  cursor = 0;
}

namespace {

// The sets the driver takes for each kind.
bool setWanted(int32_t kind, int n) {
  switch (kind) {
    case kKindOneSample:
      return n == 0;
    case kKindTwoSample:
      return n <= 2;
    case kKindPaired:
      return n == 0 || n >= 14;
    default:
      return n == 0 || (n >= 3 && n <= 13) || n >= 16;
  }
}

}  // namespace

Step::Step(int32_t kind, int32_t nanalyses, int32_t nvars)
    : sets_(kKrvSets), results_(nanalyses), values_(nvars) {
  o_.kind = kind;
  o_.nanalyses = nanalyses;
  o_.nvars = nvars;
  o_.values = values_.data();
  o_.results = results_.data();
  o_.alpha = 0.05;
  o_.order = 42;
  o_.freq_var = o_.weight_var = o_.stat_var = -1;
  o_.reader = &o_;
  for (int n = 0; n < kKrvSets; ++n) {
    if (!setWanted(kind, n)) continue;
    sets_[n].resize(nanalyses);
    krvset(&o_, n) = sets_[n].data();
  }
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

Step::~Step() {
  for (char *text : o_.level_trim) std::free(text);
  for (char *text : o_.trt_trim) std::free(text);
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
  o_.class_charw = 256;
  o_.class_char = buffer(257);
  for (char *&level : o_.level_char) level = buffer(257);
}

void Step::testKind(int32_t testkind) {
  const int32_t base = testkind % 3;
  o_.testkind = testkind;
  o_.tost = testkind >= 3;
  o_.lognormal = base == 1;
  o_.ratio = base != 0;
  o_.normal_ratio = base == 2;
  o_.ratio_sets = o_.normal_ratio && o_.kind == kKindPaired;
}
