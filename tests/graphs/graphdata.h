// Whole programs with graphics on, and the graph data objects they produced.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/program/harness.h"
#include "vyn/output/dataobjects.h"

namespace graphdata {

using vyn::output::DataObject;

struct GraphRun {
  vyn::output::StepRecord step;
  std::vector<std::shared_ptr<const DataObject>> objects;  // in wrapping order
};

inline GraphRun run(const std::string &text, bool graphics = true,
                    const std::string &dataDir = GRAPHS_DATA) {
  GraphRun out;
  vyn::output::watchDataObjects([&](const auto &o) { out.objects.push_back(o); });
  vyn::Host host;
  host.useLinkedModule(&mcn_main);
  vyn::RunOptions options;
  options.dataDir = dataDir;
  options.graphics = graphics;
  vyn::output::Run steps = vyn::runProgram(vyn::readProgram(text), host, options);
  vyn::output::watchDataObjects(nullptr);
  EXPECT_EQ(steps.size(), 1u) << text;
  if (!steps.empty()) out.step = steps[0];
  return out;
}

}  // namespace graphdata
