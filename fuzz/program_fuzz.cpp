// Fuzz target: whole programs through the host and the linked module. An
// input is a program, optionally followed by a data set and its schema
// sidecar, each after a separator line of its own:
//
//   <program text>
//   %%csv
//   <CSV text: the data set d (DATA=d), written as d.csv in a scratch folder>
//   %%schema
//   <JSON text: d.schema.json beside it>
//
// The program text goes whole to the program reader (it is not cut into
// statements here), then every step runs through the parser and the module,
// and the run is rendered as a listing, an HTML report with graphs and JSON.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "host/vynmod.h"
#include "vyn/cli/run.h"
#include "vyn/core/host.h"
#include "vyn/output/render.h"

extern "C" const mcn_desc *mcn_main(void **connection, void *module_handle);

namespace {

constexpr std::string_view kCsvLine = "\n%%csv\n";
constexpr std::string_view kSchemaLine = "\n%%schema\n";

struct FuzzInput {
  std::string_view program, csv, schema;
  bool hasCsv = false, hasSchema = false;
};

FuzzInput splitInput(std::string_view in) {
  FuzzInput out;
  const size_t csv = in.find(kCsvLine);
  out.program = in.substr(0, csv);
  if (csv == std::string_view::npos) return out;
  std::string_view rest = in.substr(csv + kCsvLine.size());
  const size_t schema = rest.find(kSchemaLine);
  out.hasCsv = true;
  out.csv = rest.substr(0, schema);
  if (schema == std::string_view::npos) return out;
  out.hasSchema = true;
  out.schema = rest.substr(schema + kSchemaLine.size());
  return out;
}

std::filesystem::path scratchDir;

void removeScratch() {
  std::error_code ignored;
  std::filesystem::remove_all(scratchDir, ignored);
}

// The scratch folder of this process: made at the first input, removed at exit.
const std::filesystem::path &scratch() {
  if (scratchDir.empty()) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vyn-fuzz-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    scratchDir = pattern;
    std::atexit(removeScratch);
  }
  return scratchDir;
}

// Writes `text` to `path`, or removes the file when the input has none.
void place(const std::filesystem::path &path, bool present, std::string_view text) {
  std::error_code ignored;
  std::filesystem::remove(path, ignored);
  if (!present) return;
  std::ofstream out(path, std::ios::binary);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
  if (!out) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const FuzzInput in = splitInput({reinterpret_cast<const char *>(data), size});
  place(scratch() / "d.csv", in.hasCsv, in.csv);
  place(scratch() / "d.schema.json", in.hasSchema, in.schema);

  const vyn::Program program = vyn::readProgram(in.program);
  vyn::Host host;
  host.useLinkedModule(&mcn_main);
  vyn::RunOptions options;
  options.dataDir = scratch().string();
  options.graphics = true;
  const vyn::output::Run run = vyn::runProgram(program, host, options);
  vyn::output::renderListing(run);
  vyn::output::renderHtml(run);
  vyn::output::renderJson(run);
  vyn::exitStatus(run, program);
  return 0;
}
