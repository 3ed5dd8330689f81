// libFuzzer target of the CSV reader: every input is opened as a data set
// (DataSet::fromText: the block scan of the inference pass, with the
// baseline and the widest instruction set, and the field scanner), read with
// a Cursor and compared with the plain reference reader
// of tests/data/reference_csv.h; a difference aborts. A data set that opens
// is then read in BY groups (first column, NOTSORTED) with a rewind, and its
// values are formatted. The typing pass on two threads over small pieces
// must find what it finds on one, or fail with the same error.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/data/reference_csv.h"
#include "vyn/data/block_scan.h"
#include "vyn/data/cursor.h"
#include "vyn/data/dataset.h"
#include "vyn/data/error.h"
#include "vyn/data/format.h"

namespace {

// The types, lengths, first texts and rows the typing pass found, or its error.
std::string typing(const std::string &text, const vyn::data::TypingOptions &options) {
  std::string out;
  try {
    const auto ds = vyn::data::DataSet::fromText("fuzz.csv", text, ',', options);
    out = std::to_string(ds->observations()) + " " + std::to_string(ds->badText().line) + ":" +
          std::to_string(ds->badText().column);
    for (const vyn::data::Variable &v : ds->variables())
      out += " " + std::to_string(v.numeric) + std::to_string(v.length) + "@" +
             std::to_string(v.firstTextLine) + v.firstText;
  } catch (const vyn::data::DataError &e) {
    out = std::to_string(e.number()) + " " + std::to_string(e.line()) + ":" +
          std::to_string(e.column());
    for (const std::string &insert : e.inserts()) out += "|" + insert;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
  const std::string oneThread = typing(text, {});
  const std::string twoThreads = typing(text, {2, size % 61 + 1});
  if (oneThread != twoThreads) {
    std::fprintf(stderr, "typing on two threads differs:\n%s\n%s\n", oneThread.c_str(),
                 twoThreads.c_str());
    std::abort();
  }
  for (bool widest : {false, true}) {  // the baseline block scan, then AVX2 where there is one
    vyn::data::scan::useWidestScan(widest);
    std::string why = vyn::data::reference::check(text);
    if (!why.empty()) {
      std::fprintf(stderr, "the reader (%s scan) and the reference differ: %s\n",
                   widest ? "widest" : "baseline", why.c_str());
      std::abort();
    }
  }
  std::unique_ptr<vyn::data::DataSet> ds;
  try {
    ds = vyn::data::DataSet::fromText("fuzz.csv", text);
  } catch (const vyn::data::DataError &) {
    return 0;
  }
  std::vector<int> all;
  int width = 0;
  for (int i = 0; i < ds->variableCount(); ++i) {
    all.push_back(i);
    width = std::max(width, ds->variable(i).formattedWidth());
  }
  std::vector<char> out(static_cast<size_t>(width) + 1);
  try {
    vyn::data::ByGroups by(*ds, {{0, false}}, true, all);
    int groups = 0;
    while (by.nextGroup() && groups < 50) {
      ++groups;
      while (by.nextRow())
        for (int i = 0; i < ds->variableCount(); ++i) by.row().formatted(i, out.data());
      by.rewindGroup();
      if (!by.nextRow()) std::abort();  // a group has at least one row
    }
    // the same sorted: either groups or a not-sorted error
    vyn::data::ByGroups sorted(*ds, {{0, true}}, false, all);
    while (sorted.nextGroup()) {
    }
  } catch (const vyn::data::DataError &e) {
    // the only errors left to reading: rows out of order, an infinite value
    if (e.number() != vyn::data::kMsgNotSorted && e.number() != vyn::data::kMsgInfinite)
      std::abort();
  }
  return 0;
}
