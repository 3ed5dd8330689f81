// libFuzzer target of the CSV reader: every input is opened as a data set
// (DataSet::fromText: the block scan of the inference pass, with the
// baseline and the widest instruction set, and the field scanner), read with
// a Cursor and compared with the plain reference reader
// of tests/data/reference_csv.h; a difference aborts. A data set that opens
// is then read in BY groups (first column, NOTSORTED) with a rewind, and its
// values are formatted.
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string text(reinterpret_cast<const char *>(data), size);
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
    if (e.number() != vyn::data::kMsgNotSorted) std::abort();
  }
  return 0;
}
