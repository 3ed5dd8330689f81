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
  }
}

}  // namespace
