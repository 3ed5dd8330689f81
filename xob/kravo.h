// The options record: the one record of a step, passed to every procedure of
// the module. It holds what the statements asked for after defaults and
// checks, the analysis kind, the variables and read request, the work areas
// sized for the step and the handles of the output objects.
//
// 64-bit adaptation: handles and pointers are 8 bytes; every field keeps its
// place in the order of the record.
#pragma once

#include <cstdint>

struct krvstat;      // statistics record (one variable or pair in one role)
struct krvresult;    // results record of one analysis
struct krvpairing;   // pairing state of the PAIRED statement
struct krvgrafwork;  // graphics work area, filled per BY group
struct krvusage;     // observations used and left out by one analysis
struct krvnotename;  // the name of one analysis as its notes give it
struct krvt_plan;    // the columns a fill of one table walks
struct krvt_name;    // a variable name as the fills write it
struct krvt_held;    // the names a fill last wrote into a text buffer
struct krvt_row;     // one row of a table as a fill writes it

// Analysis kinds.
enum krvkind : int32_t {
  kKindOneSample = 0,
  kKindTwoSample = 1,
  kKindPaired = 2,
  kKindCrossover = 3
};

// Number of statistics sets, output tables and text buffers.
inline constexpr int kKrvSets = 20;
inline constexpr int kKrvTables = 7;
inline constexpr int kKrvLabels = 12;
inline constexpr int kKrvRowCells = 16;
inline constexpr int kKrvPathSize = 146;

// The plot-request block: signed 16-bit fields, each 0 or 1 but the first.
struct krvplotreq {
  int16_t produce;     // graphs are produced in this step
  int16_t fields[36];  // the requests, in the order the graph code reads them
  int32_t used[3];     // observations used in the current BY group, per counter
  krvgrafwork *work;   // the graphics work area
};

struct krvopts {
  // run status and selection
  int32_t failed;         // 1 just before any ending of the step through xexit
  int32_t rc;             // the highest severity reached: 0, 4, or an error code
  int16_t cochran;        // COCHRAN in force after the checks
  int16_t ci_equal;       // equal-tailed limits of the standard deviation wanted
  int16_t ci_umpu;        // UMPU limits of the standard deviation wanted
  int16_t ignore_period;  // IGNOREPERIOD given
  int32_t kind;           // krvkind
  int32_t dstype;         // 0 observations, 1 summary by _STAT_, 2 summary by _TYPE_
  int32_t sides;          // 0 two-sided, 1 lower, 2 upper
  int32_t testkind;       // 0 difference, 1 lognormal, 2 normal ratio; +3 with TOST
  double h0;              // null value
  double alpha;           // significance level
  double tost_lower;      // lower equivalence bound
  double tost_upper;      // upper equivalence bound
  int16_t nobyvar;        // one output object per table for all analyses of a BY group
  int32_t order;          // ORDER= code: 38 FORMATTED .. 42 MIXED
  int32_t devtest;        // internal test flag: diagnostic printout of the ratio interval
  int16_t tost;           // testkind >= 3
  int16_t lognormal;      // testkind 1 or 4
  int16_t ratio;          // ratio scale: testkind 1, 2, 4 or 5
  int16_t normal_ratio;   // testkind 2 or 5
  int16_t ratio_sets;     // the analysis uses the ratio statistics sets 16 to 19

  // variables and read request
  int32_t nvars;          // number of distinct analysis variables read
  double *values;         // nvars read targets of the analysis variables
  char stat_value[8];     // read target of _STAT_ or _TYPE_
  double freq_value;      // read target of FREQ
  double weight_value;    // read target of WEIGHT
  int32_t *varnums;       // variable numbers of the analysis variables
  int32_t freq_var;       // FREQ variable number, -1 when absent
  int32_t weight_var;     // WEIGHT variable number, -1 when absent
  int32_t stat_var;       // _STAT_/_TYPE_ variable number, -1 when absent
  void *data;             // the input data set
  void *reader;           // the read request of the data set
  int32_t class_namelen;  // length of the CLASS variable's name
  char *class_name;       // terminated copy of the CLASS variable's name
  char *level_fmt[2];     // formatted values of the two levels (class_fmtw+1 bytes)
  char *level_char[2];    // character values of the two levels (class_charw+1 bytes)
  double level_num[2];    // numeric values of the two levels
  uint8_t class_type;     // 1 numeric, 2 character
  double class_num;       // read target of a numeric CLASS variable
  char *class_char;       // read target of a character CLASS variable (class_charw+1 bytes)
  char *class_fmt;        // read target of the formatted CLASS value
  int32_t class_fmtw;     // formatted width of the CLASS variable
  char *level_trim[2];    // the two formatted levels without common blanks
  int32_t level_trimw;    // their width
  int32_t xo_namelen[2];  // lengths of the CROSSOVER= variables' names
  char *xo_name[2];       // terminated copies of their names
  char *trt_fmt[2];       // formatted values of the two treatments
  char *trt_char[2];      // character values of the two treatments
  double trt_num[2];      // numeric values of the two treatments
  uint8_t xo_type;        // type of the CROSSOVER= variables: 1 numeric, 2 character
  double xo_num[2];       // numeric read targets of the CROSSOVER= variables
  char *xo_char[2];       // character read targets (xo_charw+1 bytes)
  char *xo_fmt[2];        // formatted read targets
  int32_t xo_fmtw;        // their common formatted width
  char *trt_trim[2];      // the two formatted treatments without common blanks
  int32_t trt_trimw;      // their width
  krvpairing *pairing;    // pairing state, PAIRED only
  int32_t nanalyses;      // number of analyses

  // work areas and output
  krvstat *sets_lo[3];                        // statistics sets 0 to 2
  krvresult *results;                         // nanalyses results records
  krvstat *sets_hi[17];                       // statistics sets 3 to 19
  int16_t note21_issued;                      // the folded-F note of this BY group is written
  int32_t ntables;                            // number of output tables of the analysis kind
  void *objroot;                              // root of the output-object system
  void *outmgr;                               // the output manager
  void *table_out[kKrvTables];                // per table, the output object of the current group
  void *table_tmpl[kKrvTables];               // per table, the table template object
  void *group_obj;                            // output group of the current analysis or BY group
  int32_t cur;                                // index of the current analysis
  char table_path[kKrvTables][kKrvPathSize];  // per table, the template path
  int32_t maxnamelen;                         // longest analysis variable name
  int32_t maxpairlen;                         // longest sum of the two names of a pair
  char *label[kKrvLabels];                    // text buffers
  int32_t label_size[kKrvLabels];             // their sizes
  double row[kKrvRowCells];                   // the row buffer: numeric column k reads cell k
  krvplotreq graphics;                        // plot requests and graph work areas

  // level texts of any length (fields added after the original record)
  int32_t class_charw;      // length of the CLASS character values (buffers hold one more)
  int32_t class_len;        // bytes a character CLASS value can have: the rest of its target
                            // stays blank
  int32_t xo_charw;         // the same for the CROSSOVER= variables
  int32_t level_fmtlen[2];  // lengths of level_fmt without trailing blanks, after reading
  int32_t trt_fmtlen[2];    // the same for trt_fmt
  krvusage *usage;          // per analysis: its observations of the current BY group
  krvnotename *note_names;  // per analysis: its name in the notes, made for the first BY group

  // texts of the step, made once before the first BY group
  void *path_text[kKrvTables];  // per table, the text of its template path
  void *topspace_text;          // the attribute name "TOPSPACE"
  // per analysis of a single variable: the name, label and heading texts of
  // its output group, three in a row; null for pairs
  void **group_text;
  // per table, the columns its fills walk, made at its first fill
  krvt_plan *fill_plan[kKrvTables];
  // per analysis, the names of its two variables, looked up at its first fill
  krvt_name *fill_names;
  // per text buffer, the names of an analysis it holds from the last fill
  krvt_held *fill_held;
  // the statistics row of an analysis of a single variable or pair, kept
  // from fill to fill: its texts stay blank and its records and values are
  // written again
  krvt_row *fill_row;
  // bit t: table t is produced; bit 7: the tables of the step are worked out
  uint8_t fill_selected;
  // the output calls the next fill makes around its rows (krvt_output flags)
  uint8_t fill_output;
  // the one-call paths the host has not (krv_lacks flags)
  uint8_t host_lacks;
};

// One-call paths a host may lack: a one-row output made, filled and emitted
// at once, and a group opened with its heading.
enum krv_lacks : uint8_t { kLacksRowOutput = 1, kLacksGroupHeading = 2 };

// Statistics set n (0..19) of the record.
inline krvstat *&krvset(krvopts *opts, int n) {
  return n < 3 ? opts->sets_lo[n] : opts->sets_hi[n - 3];
}
