// The three renderings of a run: a text listing, an HTML page and the JSON
// document of the output contract.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "vyn/core/copy_short.h"
#include "vyn/output/document.h"
#include "vyn/output/sink.h"

namespace vyn::output {

// Builds one visitor out of lambdas, one per kind of item; std::visit then
// refuses to compile while a kind has no lambda.
template <class... Handlers>
struct Overloaded : Handlers... {
  using Handlers::operator()...;
};
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;

// Where the drawings of the graphs of a run went besides the JSON.
struct GraphPlaces {
  std::vector<std::vector<std::string>> files;  // per step and item: its SVG file, or empty
  bool html = false;                            // an HTML report shows them

  // The file of item `item` of step `step`; empty when none was written.
  std::string fileOf(size_t step, size_t item) const;
};

// Where a document's text goes, piece by piece. A destination that cannot
// take it any more keeps the first reason and drops the rest.
class TextOut {
 public:
  virtual ~TextOut() = default;
  virtual void put(std::string_view text) = 0;
  virtual void fail(const std::string &reason) = 0;
};

// A TextOut that keeps the text.
class StringOut : public TextOut {
 public:
  void put(std::string_view text) override { text_.append(text); }
  void fail(const std::string &) override {}
  std::string take() { return std::move(text_); }

 private:
  std::string text_;
};

// Text held back until what must come before it is known: a step's JSON
// items until its log is, the HTML body until the contents are complete.
class Scratch : public TextOut {
 public:
  // Puts everything held into `out` (or its failure) and starts empty.
  virtual void replay(TextOut &out) = 0;
};
using ScratchMaker = std::unique_ptr<Scratch> (*)();
std::unique_ptr<Scratch> memoryScratch();
std::unique_ptr<Scratch> fileScratch();  // an anonymous temporary file

// One document written while the run goes on: every step and item as a
// sink, then finish() once at the end of the run.
class DocumentWriter : public ItemSink {
 public:
  virtual void finish() = 0;
};

std::unique_ptr<DocumentWriter> listingWriter(TextOut &out, bool htmlShowsGraphs);
std::unique_ptr<DocumentWriter> htmlWriter(TextOut &out, ScratchMaker scratch);
std::unique_ptr<DocumentWriter> jsonWriter(TextOut &out, ScratchMaker scratch);

// Where the last item of a step stood, without its content: what the
// preamble of the item after it is worked out against, which reads its
// titles, its group's serial and the names and shown values of its BY group,
// and only those are kept. They are written over, item after item, rather
// than made again.
class LastPlace {
 public:
  const Item *get() const { return held_ ? &place_ : nullptr; }
  void forget() { held_ = false; }
  void remember(const Item &item) {
    held_ = true;
    if (item.place != 0 && item.place == place_.place) return;
    keepTexts(place_.titles, item.titles);
    place_.group.serial = item.group.serial;
    keepBy(place_.by, item.by);
    place_.place = item.place;
  }

 private:
  // A text kept over the one before, in place and without a call when it has
  // as many bytes, as the next item's mostly has.
  [[gnu::always_inline]] static void keepText(std::string &kept, const std::string &text) {
    if (kept.size() == text.size() && text.size() <= kShortCopy) {
      copyShort(kept.data(), text.data(), text.size());
    } else {
      kept = text;
    }
  }
  static void keepTexts(std::vector<std::string> &kept, const std::vector<std::string> &texts) {
    if (kept.size() != texts.size()) kept.resize(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) keepText(kept[i], texts[i]);
  }
  static void keepBy(std::vector<ByValue> &kept, const std::vector<ByValue> &by) {
    if (kept.size() != by.size()) kept.resize(by.size());
    for (size_t i = 0; i < by.size(); ++i) {
      keepText(kept[i].name, by[i].name);
      keepText(kept[i].formatted, by[i].formatted);
    }
  }

  Item place_;
  bool held_ = false;
};

// Hands a whole run to a sink as if it were happening, graphs placed as
// `graphs` says.
void replayRun(const Run &run, const GraphPlaces &graphs, ItemSink &sink);

// Names the SVG files of graphs one after another, as graphFiles does.
class GraphNamer {
 public:
  explicit GraphNamer(std::string dir) : dir_(std::move(dir)) {}
  std::string next(const std::string &graphName);

 private:
  std::string dir_;
  std::map<std::string, int> counts_;
  std::set<std::string> taken_;  // "A1" + "1" and "A" + "11" would meet without it
};

// The SVG file of every graph of a run in folder `dir`, per step and item
// (empty for other items): the graph's name, made safe for a file name, and
// its count among the run's graphs of that name, such as "SummaryPanel2.svg".
std::vector<std::vector<std::string>> graphFiles(const Run &run, const std::string &dir);

// Aligned text: headings and BY lines where they change, each table with its
// spanning headers, headers and rows, each note as a line, each graph as a
// line that says where its drawing went.
std::string renderListing(const Run &run, const GraphPlaces &graphs = {});

// One HTML page: a contents list by step, BY group and output group, then
// every table, note and graph (drawn inline as SVG), then each step's log.
std::string renderHtml(const Run &run);

// The JSON document "vyn-output/1"; numbers with 17 significant digits. A
// graph names its SVG file when one was written.
std::string renderJson(const Run &run, const GraphPlaces &graphs = {});

}  // namespace vyn::output
