// Whole programs written while they run: the listing, HTML report, JSON
// document and log are the same bytes as the reference documents rendered
// from the finished run, and only the outputs are left in the folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "host/vynmod.h"
#include "vyn/cli/run.h"
#include "vyn/core/program.h"
#include "vyn/output/render.h"

extern "C" const mcn_desc *mcn_main(void **connection, void *module_handle);

namespace {

namespace fs = std::filesystem;

std::string contents(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The text with what differs from run to run blanked: the step's running
// time and the folder of the data set read.
std::string withoutTime(const std::string &text) {
  static const std::regex time("took [0-9.]+ seconds"), folder("data set [^ \"<]*/");
  return std::regex_replace(std::regex_replace(text, time, "took _ seconds"), folder, "data set ");
}

// A fresh folder that is the working folder while it lives: the graph
// files are named relative to it, as when the references were made.
struct WorkingFolder {
  fs::path before = fs::current_path();
  fs::path dir;
  WorkingFolder() {
    std::string name = (fs::temp_directory_path() / "vyn-stream-XXXXXX").string();
    dir = ::mkdtemp(name.data());
    fs::current_path(dir);
  }
  ~WorkingFolder() {
    fs::current_path(before);
    fs::remove_all(dir);
  }
};

TEST(Stream, DocumentsMatchTheReferences) {
  const fs::path examples = fs::path(VYN_SOURCE_DIR) / "examples";
  const fs::path references = fs::path(VYN_SOURCE_DIR) / "tests/output/stream";
  for (const std::string name : {"bygroup", "paired", "summary"}) {
    WorkingFolder folder;
    vyn::Command command;
    command.programFile = (examples / (name + ".vyn")).string();
    command.options = {
        ".", name + ".lst", name + ".log", name + ".html", name + ".json", "graphs-" + name, true};
    vyn::Host host;
    host.useLinkedModule(&mcn_main);
    EXPECT_EQ(vyn::runCommand(command, host), 0) << name;
    std::set<std::string> left;
    for (const auto &entry : fs::directory_iterator(folder.dir)) {
      left.insert(entry.path().filename().string());
    }
    EXPECT_EQ(left, (std::set<std::string>{name + ".lst", name + ".html", name + ".json",
                                           name + ".log", "graphs-" + name}));
    for (const char *kind : {".lst", ".html", ".json", ".log"}) {
      EXPECT_TRUE(withoutTime(contents(name + kind)) ==
                  withoutTime(contents(references / (name + kind))))
          << name << kind;
    }
    // with no document that shows the log, its notes are written straight as lines
    command.options = {".", "alone.lst", "alone.log", "", "", "", true};
    EXPECT_EQ(vyn::runCommand(command, host), 0) << name;
    EXPECT_TRUE(withoutTime(contents("alone.log")) ==
                withoutTime(contents(references / (name + ".log"))))
        << name;
  }
}

// The log is the same whether its notes are written straight as lines or
// go as entries to documents that show them: notes, host messages and notes
// too long for a line's room (a long BY value) stay in order.
TEST(Stream, LogWrittenAloneAsBesideDocuments) {
  WorkingFolder folder;
  const std::string longValue(700, 'v');
  std::ofstream(folder.dir / "long.csv") << "g,f,y\n"
                                            "a,1,1\na,0,2\na,1,\na,2,4\n"
                                         << longValue << ",1,5\n"
                                         << longValue << ",-1,6\n"
                                         << longValue
                                         << ",1,7\n"
                                            "w,1,8\nw,1,9\n";
  std::string logs[2];
  for (int documents = 0; documents < 2; ++documents) {
    vyn::Command command;
    command.programText = "proc kravo data=long; by g; freq f; var y; run; proc kravo data=none;";
    command.options = {folder.dir.string(), "l.lst", "l.log", "", ""};
    if (documents == 1) {
      command.options.html = "r.html";
      command.options.json = "o.json";
    }
    vyn::Host host;
    host.useLinkedModule(&mcn_main);
    vyn::runCommand(command, host);
    logs[documents] = withoutTime(contents("l.log"));
  }
  EXPECT_EQ(logs[0], logs[1]);
  for (const std::string &part :
       {"analysis of y in the BY group g=" + longValue + " used 2 of the 3",
        std::string("in the BY group g=a for a FREQ value (f)"), std::string("ERROR: ")}) {
    EXPECT_NE(logs[0].find(part), std::string::npos) << part;
  }
}

// Every item of a run copied whole as a sink takes it, while the tables handed on are
// still to be written over by the next output of their table.
struct ItemsCopied : vyn::output::ItemSink {
  vyn::output::StepRecord step;
  void beginStep(const std::string &proc) override { step.proc = proc; }
  void item(const vyn::output::Item &item, const vyn::output::ItemPlace &) override {
    step.output.push_back(item);
  }
  void endStep(const vyn::output::StepRecord &) override {}
  void logged(const vyn::LogEntry &) override {}
};

// The step of `text` with every item kept by the session, and the same step as a sink saw it.
std::pair<vyn::output::Run, vyn::output::Run> keptAndStreamed(const std::string &text,
                                                              const std::string &dataDir) {
  vyn::RunOptions options;
  options.dataDir = dataDir;
  const vyn::Program program = vyn::readProgram(text);
  vyn::Host host;
  host.useLinkedModule(&mcn_main);
  vyn::output::Run kept = vyn::runProgram(program, host, options);
  for (vyn::output::StepRecord &step : kept) step = {step.proc, 0, {}, std::move(step.output)};
  ItemsCopied sink;
  vyn::runProgram(program, host, options, &sink);
  return {kept, {sink.step}};
}

// The tables of one BY group are written over those of the group before: a value, a missing
// value, a name or an attribute of one group never shows in the next, whether a variable has
// no observations there, one, or many, and whichever way a row is worked out.
TEST(Stream, TablesWrittenOverShowOnlyTheirOwnGroup) {
  WorkingFolder folder;
  std::ofstream(folder.dir / "groups.csv") << "g,c,y,zeta_long\n"
                                              "1,a,1.5,2.5\n1,a,2,3\n1,b,3,4.5\n1,b,4.5,5\n"
                                              "2,a,10,\n2,b,12,\n2,b,11,\n2,a,13,\n"
                                              "3,a,5,6\n3,b,7,\n"
                                              "4,a,2,9\n4,a,3,8\n4,b,4,7\n4,b,6,1\n";
  for (const char *statements :
       {"by g; var y zeta_long;", "by g; class c; var y zeta_long;", "by g; paired y*zeta_long;",
        "nobyvar; by g; var y zeta_long;", "dist=lognormal tost(0.8, 1.25); by g; var y zeta_long;",
        "test=ratio dist=normal; by g; class c; var y zeta_long;"}) {
    std::string text = "proc kravo data=groups";
    text += statements[0] == 'b' ? "; " : " ";
    text += statements;
    text += " run;";
    const auto [kept, streamed] = keptAndStreamed(text, folder.dir.string());
    ASSERT_EQ(streamed[0].output.size(), kept[0].output.size()) << text;
    EXPECT_EQ(vyn::output::renderJson(streamed), vyn::output::renderJson(kept)) << text;
    EXPECT_EQ(vyn::output::renderListing(streamed), vyn::output::renderListing(kept)) << text;
  }
}

}  // namespace
