// Graphs: the plot requests of the step, the graph data objects of a BY group
// and the graphs of each analysis.
#pragma once

#include <cstdint>

#include "xob/kravo.h"

// The plot requests after `produce`: fields[r] of the plot-request block.
enum krvplot : int {
  kPlotGiven,               // PLOTS= was written
  kPlotAll,                 // ALL
  kPlotNone,                // NONE
  kPlotOnly,                // ONLY
  kPlotUnpack,              // UNPACK (global)
  kPlotShowH0,              // SHOWH0
  kPlotHistogram,           // HISTOGRAM
  kPlotBox,                 // BOX
  kPlotInterval,            // INTERVAL
  kPlotSummary,             // SUMMARY
  kPlotQQ,                  // QQ
  kPlotProfiles,            // PROFILES
  kPlotAgreement,           // AGREEMENT
  kPlotIntervalPerGroup,    // INTERVAL(TYPE=PERGROUP)
  kPlotIntervalTest,        // INTERVAL(TYPE=TEST)
  kPlotIntervalTreatment,   // INTERVAL(TYPE=TREATMENT)
  kPlotIntervalPeriod,      // INTERVAL(TYPE=PERIOD)
  kPlotSummaryUnpacked,     // SUMMARY(UNPACK), also set by UNPACK
  kPlotProfilesTreatment,   // PROFILES(TYPE=TREATMENT)
  kPlotProfilesPeriod,      // PROFILES(TYPE=PERIOD)
  kPlotAgreementTreatment,  // AGREEMENT(TYPE=TREATMENT)
  kPlotAgreementPeriod,     // AGREEMENT(TYPE=PERIOD)
  kPlotFields
};

// Sizes of the graphics work area's own arrays and text buffers.
inline constexpr int kKrvGrafIntervals = 24;
inline constexpr int kKrvGrafRows = 14;
inline constexpr int kKrvGrafTexts = 15;
inline constexpr int32_t kKrvGrafTextSize = 1040;

// A text buffer of the work area: blank-filled before it is written.
struct krvtextbuf {
  char *text;    // the bytes, `size` of them
  int32_t size;  // capacity in bytes
  int32_t len;   // current length
};

// The graphics work area, allocated once per step from the work pool and
// refilled for every BY group and analysis.
struct krvgrafwork {
  // What the graph data objects hand to the graphs of each analysis.
  void *stats_ref;      // data reference of GraphDataStats
  void *obs_ref[4];     // data references of the observation objects, in creation order
  double *far_lower;    // per analysis, SIDES=L: far lower limit of the band
  double *view_min;     // per analysis, SIDES=L: view minimum
  double *far_upper;    // per analysis, SIDES=U: far upper limit of the band
  double *view_max;     // per analysis, SIDES=U: view maximum
  krvtextbuf name[2];   // names of the analysis variable(s), 33 bytes each
  krvtextbuf label[2];  // their labels, 257 bytes each

  // The data objects' own buffers, arrays and handles.
  double constant[5];                      // 0.0 to 4.0: the columns "Zero" to "Four"
  int32_t nintervals;                      // interval arrays in use
  double *interval[kKrvGrafIntervals];     // per analysis: mean, lower, upper of each family
  int32_t nrows;                           // row arrays in use
  double *row[kKrvGrafRows];               // per analysis: values of the current row
  char *varname;                           // per analysis 33 bytes: the stacked rows' name
  krvtextbuf text[kKrvGrafTexts];          // label and class values of the columns
  double obsno[2];                         // the observation number, and again unless a repeat
  int32_t position;                        // paired: 1 first variable, 2 second
  int32_t sequence, trtnum, period, cell;  // crossover: legend of the stacked row
  int16_t first_row[2];                    // the mean columns' first row is still to write

  // The graphs' own texts.
};

// Completes the requests copied from the statement for the analysis type:
// the default or ALL set, UNPACK and the TYPE= defaults. Returns 0, or the
// message number of the first request that does not fit the analysis.
int32_t krvplot_resolve(krvopts *opts);
// Resolves PLOTS= and allocates the graphics work area.
void krvGraphicsParseAlloc(krvopts *opts);
// Produces the graph data objects of the BY group.
void krvProduceGraphDataObjects(krvopts *opts);
// Draws the requested graphs of analysis `cur`.
void krvRenderGraphs(krvopts *opts);
// Frees the graphics work area.
void krvGraphicsRelease(krvopts *opts);
