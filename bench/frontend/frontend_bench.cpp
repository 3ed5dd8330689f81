// Growth of the host's front end with the size of its input: one long
// statement (program reader and parser), a wide CSV header (data set open),
// and a numbered variable range (parser against a wide data set). Each job
// runs at n and at 4n in the same process; the ratio t(4n)/t(n) is about 4
// when the job is linear and about 16 when it is quadratic.
// Usage: frontend_bench [N_TOKENS [N_COLUMNS [N_RANGE]]]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "src/krvstg.h"
#include "vyn/core/program.h"
#include "vyn/data/dataset.h"
#include "vyn/data/where.h"
#include "vyn/parse/parser.h"

namespace {

// The parser's view of one in-memory data set.
class DataHost : public vyn::ParseHost {
 public:
  explicit DataHost(const vyn::data::DataSet &ds) {
    for (const auto &v : ds.variables()) vars_.push_back({v.name, v.numeric});
  }
  void *openDataSet(std::string_view, bool) override { return this; }
  void *defaultDataSet() override { return this; }
  const std::vector<vyn::VariableRef> &variables(void *) override { return vars_; }
  void setByRequest(void *, const vyn::ByRequest &) override {}
  void setWhere(void *, std::unique_ptr<vyn::data::Where>) override {}

 private:
  std::vector<vyn::VariableRef> vars_;
};

std::string header(size_t columns, const char *prefix) {
  std::string text;
  for (size_t i = 1; i <= columns; ++i) {
    text += prefix + std::to_string(i) + (i < columns ? "," : "\n");
  }
  return text;
}

// A header of `columns` names and one row of ones.
std::string wideCsv(size_t columns, const char *prefix) {
  std::string csv = header(columns, prefix);
  for (size_t i = 1; i <= columns; ++i) csv += i < columns ? "1," : "1\n";
  return csv;
}

// Reads the program and parses its one step; the parse status.
int readAndParse(const std::string &text, vyn::ParseHost &host) {
  const vyn::Program program = vyn::readProgram(text);
  if (program.failed || program.steps.size() != 1) return -1;
  vyn::StepContext step;
  step.proc = program.steps[0].proc;
  step.statements = program.steps[0].statements;
  step.parseHost = &host;
  vyn::StepParse parse;
  return vyn::parseStep(step, parse, krv_pc, 0);
}

// Best of three runs, in seconds of the process's processor time (the
// machine may be shared; waiting for it is not the job's cost).
double bestOf3(const std::function<void()> &job) {
  double best = 1e300;
  for (int r = 0; r < 3; ++r) {
    const std::clock_t start = std::clock();
    job();
    best = std::min(best, static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
  }
  return best;
}

struct Job {
  const char *name;
  size_t n;
  std::function<std::function<void()>(size_t)> at;  // prepares the input of size n
};

void report(const Job &job) {
  const double small = bestOf3(job.at(job.n)), large = bestOf3(job.at(4 * job.n));
  std::printf("%-22s %9zu %10.2f %10.2f %8.2f\n", job.name, job.n, small * 1e3, large * 1e3,
              large / small);
}

size_t argOr(int argc, char **argv, int i, size_t fallback) {
  return argc > i ? std::strtoull(argv[i], nullptr, 10) : fallback;
}

}  // namespace

int main(int argc, char **argv) {
  const size_t tokens = argOr(argc, argv, 1, 250000);
  const size_t columns = argOr(argc, argv, 2, 100000);
  const size_t range = argOr(argc, argv, 3, 100000);
  const auto oneColumn = vyn::data::DataSet::fromText("y.csv", "y\n1\n");
  DataHost yHost(*oneColumn);

  const std::vector<Job> jobs = {
      {"statement (tokens)", tokens,
       [&](size_t n) {
         std::string text = "proc kravo data=y; var";
         for (size_t i = 0; i < n; ++i) text += i % 16 == 15 ? "\n y" : " y";
         text += "; run;";
         return [text, &yHost] {
           if (readAndParse(text, yHost) != 0) std::abort();
         };
       }},
      {"header (columns)", columns,
       [](size_t n) {
         std::string csv = wideCsv(n, "c");
         return [csv] {
           if (vyn::data::DataSet::fromText("h.csv", csv)->variableCount() == 0) std::abort();
         };
       }},
      {"var x1-xN (N)", range,
       [](size_t n) {
         auto host =
             std::make_shared<DataHost>(*vyn::data::DataSet::fromText("w.csv", wideCsv(n, "x")));
         const std::string text = "proc kravo data=w; var x1-x" + std::to_string(n) + "; run;";
         return [text, host] {
           if (readAndParse(text, *host) != 0) std::abort();
         };
       }},
  };
  std::printf("%-22s %9s %10s %10s %8s\n", "job", "n", "t(n) ms", "t(4n) ms", "ratio");
  for (const Job &job : jobs) report(job);
  std::printf("ratio t(4n)/t(n): about 4 when linear, about 16 when quadratic\n");
  return 0;
}
