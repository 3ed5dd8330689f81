// Names of the SVG files of a run's graphs.
#include <filesystem>

#include "vyn/output/render.h"

namespace vyn::output {
namespace {

// The graph's name with every byte but letters, digits, '_' and '-'
// replaced by '_', so that no name climbs out of the folder or needs quoting.
std::string fileStem(const std::string &name) {
  std::string stem = name.empty() ? std::string("Graph") : name;
  for (char &c : stem) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '_' || c == '-';
    if (!plain) c = '_';
  }
  return stem;
}

}  // namespace

std::string GraphPlaces::fileOf(size_t step, size_t item) const {
  if (step >= files.size() || item >= files[step].size()) return {};
  return files[step][item];
}

std::string GraphNamer::next(const std::string &graphName) {
  const std::string stem = fileStem(graphName);
  std::string file;
  do {
    file = stem + std::to_string(++counts_[stem]) + ".svg";
  } while (!taken_.insert(file).second);
  return (std::filesystem::path(dir_) / file).generic_string();
}

std::vector<std::vector<std::string>> graphFiles(const Run &run, const std::string &dir) {
  GraphNamer namer(dir);
  std::vector<std::vector<std::string>> files;
  for (const StepRecord &step : run) {
    std::vector<std::string> &names = files.emplace_back(step.output.size());
    for (size_t i = 0; i < step.output.size(); ++i) {
      const auto *graph = std::get_if<Graph>(&step.output[i].content);
      if (graph != nullptr) names[i] = namer.next(graph->name);
    }
  }
  return files;
}

}  // namespace vyn::output
