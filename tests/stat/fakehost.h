// The tests' one connection for driving module procedures directly: the
// step and work pools (every block freed when the host goes), the host's
// missing values (NaNs carrying their letter), a message log, an exit service
// that throws, and the observation services fed from rows held here. A test
// may provide further services. One step record with work areas taken by the
// module's own allocation.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "host/vynsvc.h"
#include "stat/src/krvpair.h"
#include "stat/src/krvstat.h"
#include "xob/kravo.h"

// One observation of a BY group.
struct Row {
  std::vector<double> values;               // the analysis variables, in `values` order
  double freq = 1.0;                        // FREQ value, read when a FREQ variable is set
  double weight = 1.0;                      // WEIGHT value, read when a WEIGHT variable is set
  double classNum = 0.0;                    // numeric CLASS value
  std::string classText{};                  // formatted CLASS value (also the character value)
  std::array<std::string, 2> treatments{};  // character CROSSOVER= values, as formatted
  std::string classValue{};                 // character CLASS value when not classText
};

// A message written to the log: its number and first numeric insert.
struct Logged {
  int32_t group, number;
  double insert;
};

// What the exit service throws.
struct FakeExit {
  int32_t code;
};

// The host's missing value of a letter, as the tests expect it.
double hostMissing(char letter);
// Same bits as the host's missing value of `letter`.
bool isHostMissing(double x, char letter);

class FakeHost {
 public:
  FakeHost();
  ~FakeHost();
  FakeHost(const FakeHost &) = delete;
  FakeHost &operator=(const FakeHost &) = delete;

  std::vector<Row> rows;    // the BY group the next read fetches
  std::vector<Logged> log;  // messages written
  // The next read starts again at the first row.
  void rewind();
  // Puts a service of the test's own into its slot.
  template <typename Fn>
  void provide(xsvcid id, Fn *fn) {
    slots_[id.group][id.slot] = reinterpret_cast<void *>(fn);
  }
  // Sets a word of the connection.
  void setWord(int index, void *value) { words_[index] = value; }

 private:
  std::vector<std::vector<void *>> slots_;
  std::vector<void **> groups_;
  std::array<void *, 84> words_{};
};

// The options record of one step with its work areas.
class Step {
 public:
  Step(int32_t kind, int32_t nanalyses, int32_t nvars);
  Step(const Step &) = delete;
  Step &operator=(const Step &) = delete;

  krvopts *operator->() { return &o_; }
  krvopts *opts() { return &o_; }
  krvstat &rec(int set, int32_t i = 0) { return krvset(&o_, set)[i]; }
  krvresult &result(int32_t i = 0) { return o_.results[i]; }
  // Paired: analysis i pairs the variables at positions a and b of `values`.
  void pair(int32_t i, int32_t a, int32_t b);
  // Two-sample: a CLASS variable of type 1 or 2 and formatted width `fmtw`.
  void classVariable(uint8_t type, int32_t fmtw);
  // Crossover: character treatment variables of formatted width `fmtw`.
  void crossoverVariables(int32_t fmtw);
  // Options derived from testkind as the options code derives them.
  void testKind(int32_t testkind);

 private:
  krvopts o_{};
  krvpairing pairing_{};
  std::vector<int32_t> map_;
  std::vector<std::vector<char>> buffers_;
  char *buffer(size_t size);
};
