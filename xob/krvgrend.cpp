// The graphs of one analysis: which graphs its type draws and when, their
// names, labels, templates and data objects, and the dynamic variables each
// template receives, mostly names of columns of the graph data objects.
// The tables below are the whole description; the code walks them.
#include <cstdio>
#include <cstring>
#include <limits>
#include <span>

#include "host/vynsvc.h"
#include "stat/src/krvstat.h"
#include "xob/krvgraf.h"
#include "xob/krvmsg.h"
#include "zreg/zreg.h"

namespace {

// A total frequency at or below this is no observation at all.
constexpr double kZeroBound = 1.110223024625157e-13;
// "log(" a label of up to 257 bytes ")".
constexpr int kLogSize = 262;
constexpr int kColumnSize = 48;

// When a graph is drawn, in terms of the plot requests.
enum krvgwhen : uint8_t {
  kWhenSummary,
  kWhenHistogram,
  kWhenBox,
  kWhenInterval,
  kWhenIntervalPerGroup,
  kWhenIntervalTest,
  kWhenIntervalTrtIgnore,
  kWhenIntervalTrt,
  kWhenIntervalPrd,
  kWhenQQ,
  kWhenProfiles,
  kWhenAgreement,
  kWhenProfilesTrt,
  kWhenProfilesPrd,
  kWhenAgreementTrt,
  kWhenAgreementPrd
};

// Where a dynamic variable's value comes from.
enum krvgsrc : uint8_t {
  kSrcColumn,   // a column name: the value followed by k+1
  kSrcPairY,    // paired: "Yratio" or "Ydif" followed by k+1
  kSrcLiteral,  // the value itself
  kSrcFlag,     // "y" when the flag holds, else the variable is left out
  kSrcText,     // a text of the analysis
  kSrcGroup     // a group of variables
};

enum krvgflag : uint8_t { kFlagLognormal, kFlagTost, kFlagLower, kFlagUpper, kFlagRatio, kFlagYes };

enum krvgtext : uint8_t {
  kTextName1,     // name of the (first) variable
  kTextName2,     // name of the second variable
  kTextPairName,  // paired: 756 / 757 with both names
  kTextScale,     // 594 / 593
  kTextDiffName,  // two-sample: 780 / 781 with the name and both class levels
  kTextPairText,  // crossover: 788 with both names
  kTextTrtPrd,    // crossover: 790
  kTextTrtName,   // crossover: 793 / 794 with both names and both treatments
  kTextPrdName,   // crossover: 795 / 796 with both names
  kTextTrtScale,  // crossover: 596 / 595
  kTextPrdScale,  // crossover: 598 / 597
  kTextClass1,    // formatted class levels, as the tables show them
  kTextClass2,
  kTextClassName,  // the class variable's name
  kTextTrtA,       // formatted treatments, as the tables show them
  kTextTrtB
};

enum krvggroup : uint8_t {
  kGroupNames,         // _VARNAME, _XLAB, _SHORTXLAB of the variable
  kGroupQQNames,       // _VARNAME, _YLAB, _SHORTYLAB, on the log scale for lognormal analyses
  kGroupLabs,          // _LAB1, _SHORTLAB1, _LAB2, _SHORTLAB2
  kGroupYLabs,         // _YLAB1, _SHORTYLAB1, _YLAB2, _SHORTYLAB2
  kGroupQQNamesPair,   // _VARNAMEi, _YLABi, _SHORTYLABi of both variables, log scale as above
  kGroupPairedQQ,      // _VARNAME and _YLAB of a paired Q-Q plot
  kGroupBand,          // _LCL, _UCL and the view limit of a one-sided band
  kGroupNullBounds,    // _H0, _LEQB, _UEQB
  kGroupConfidence,    // _CONFIDENCE and _CONFLAB
  kGroupConfOnly,      // _CONFIDENCE
  kGroupConfPerGroup,  // _CONFIDENCE at 100 (1 - alpha), also with TOST
  kGroupIntervals      // the intervals of interval set `arg`
};

struct krvgdyn {
  const char *name;
  krvgsrc src;
  uint8_t arg;        // flag, text or group
  uint8_t set;        // interval set of kGroupIntervals
  const char *value;  // column prefix or literal text
};

constexpr krvgdyn col(const char *name, const char *prefix) {
  return {name, kSrcColumn, 0, 0, prefix};
}
// The paired values as analysed: ratios or differences.
constexpr krvgdyn kPairY = {"_Y", kSrcPairY, 0, 0, nullptr};
constexpr krvgdyn lit(const char *name, const char *value) {
  return {name, kSrcLiteral, 0, 0, value};
}
constexpr krvgdyn flag(const char *name, krvgflag f) {
  return {name, kSrcFlag, f, 0, nullptr};
}
constexpr krvgdyn txt(const char *name, krvgtext t) {
  return {name, kSrcText, t, 0, nullptr};
}
constexpr krvgdyn grp(krvggroup g, uint8_t set = 0) {
  return {nullptr, kSrcGroup, g, set, nullptr};
}

// The intervals of an interval plot, drawn at "One", "Two", ... from the
// families of GraphDataStats; an equivalence interval follows under TOST.
struct krvginterval {
  int n;
  bool h0;       // "_H0"i when SHOWH0
  bool bySides;  // the side flag follows SIDES; else always two-sided
  bool equiv;    // the equivalence interval follows under TOST
  const char *labels[4];
  const char *families[4];
};

enum krvgset : uint8_t {
  kSetMainI,
  kSetClassI,
  kSetTestI,
  kSetCellI,
  kSetTrtTestI,
  kSetTrtI,
  kSetPrdI
};

constexpr krvginterval kIntervals[] = {
    {1, true, true, true, {"CIMainLabel"}, {"CIMain"}},
    {2, false, false, false, {"CIClass1Label", "CIClass2Label"}, {"CIClass1", "CIClass2"}},
    {2, true, true, true, {"CIPooledLabel", "CISattLabel"}, {"CIPooled", "CISatt"}},
    {4,
     false,
     false,
     false,
     {"CITrtAPrd1Label", "CITrtAPrd2Label", "CITrtBPrd1Label", "CITrtBPrd2Label"},
     {"CITrtAPrd1", "CITrtAPrd2", "CITrtBPrd1", "CITrtBPrd2"}},
    {1, true, true, true, {"CIMainLabel"}, {"CITrtTest"}},
    {2, true, true, true, {"CIPooledLabel", "CISattLabel"}, {"CITrtPooled", "CITrtSatt"}},
    {2, true, true, true, {"CIPooledLabel", "CISattLabel"}, {"CIPrdPooled", "CIPrdSatt"}},
};

constexpr const char *kYVal[] = {"One", "Two", "Three", "Four"};

// One graph an analysis type can draw: what it is called, when it is drawn,
// its texts, its template, its data objects and its dynamic variables.
struct krvgdef {
  const char *name;              // graph name
  krvgwhen when;                 // the request that draws it
  int16_t label[2];              // label message: ratio analyses, others
  int16_t title[2];              // title message: ratio analyses, others
  const char *tmpl;              // template below the product path
  int8_t data[3];                // data object at each position: 0 GraphDataStats,
                                 // 1 to 4 the observation objects in creation order, -1 none
  std::span<const krvgdyn> dyn;  // dynamic variables in the order they are set
};

// ---- one-sample --------------------------------------------------------------

constexpr krvgdyn kSummary1[] = {col("_Y", "Y"),
                                 grp(kGroupBand),
                                 grp(kGroupNullBounds),
                                 grp(kGroupNames),
                                 grp(kGroupConfidence),
                                 flag("_LOGNORMAL", kFlagLognormal),
                                 flag("_TOST", kFlagTost),
                                 lit("_OBSVAR", "Observation"),
                                 flag("_ISLOWER", kFlagLower),
                                 flag("_ISUPPER", kFlagUpper)};
constexpr krvgdyn kHist1[] = {col("_Y", "Y"), grp(kGroupNames), flag("_LOGNORMAL", kFlagLognormal)};
constexpr krvgdyn kBox1[] = {col("_Y", "Y"),
                             grp(kGroupNames),
                             grp(kGroupBand),
                             grp(kGroupNullBounds),
                             grp(kGroupConfidence),
                             flag("_TOST", kFlagTost),
                             lit("_OBSVAR", "Observation"),
                             flag("_ISLOWER", kFlagLower),
                             flag("_ISUPPER", kFlagUpper),
                             flag("_LOGNORMAL", kFlagLognormal)};
constexpr krvgdyn kInterval1[] = {grp(kGroupIntervals, kSetMainI),    grp(kGroupNames),
                                  flag("_LOGNORMAL", kFlagLognormal), grp(kGroupConfOnly),
                                  flag("_TOST", kFlagTost),           flag("_ONESAMP", kFlagYes)};
constexpr krvgdyn kQQ1[] = {col("_Y", "Y"), grp(kGroupQQNames),
                            lit("_OBSVAR", "ObservationNoMiss")};

constexpr krvgdef kOneSample[] = {
    {"SummaryPanel",
     kWhenSummary,
     {763, 763},
     {833, 833},
     "Graphics.Summary1",
     {1, 0, -1},
     kSummary1},
    {"Histogram",
     kWhenHistogram,
     {764, 764},
     {835, 835},
     "Graphics.HistDens1",
     {1, -1, -1},
     kHist1},
    {"BoxPlot", kWhenBox, {765, 765}, {836, 836}, "Graphics.Box1", {1, 0, -1}, kBox1},
    {"Interval",
     kWhenInterval,
     {766, 766},
     {837, 837},
     "Graphics.Interval",
     {0, -1, -1},
     kInterval1},
    {"QQPlot", kWhenQQ, {767, 767}, {838, 838}, "Graphics.QQ1", {1, -1, -1}, kQQ1},
};

// ---- paired ------------------------------------------------------------------

constexpr krvgdyn kSummaryP[] = {kPairY,
                                 grp(kGroupBand),
                                 grp(kGroupNullBounds),
                                 txt("_VARNAME", kTextPairName),
                                 txt("_XLAB", kTextScale),
                                 grp(kGroupConfidence),
                                 flag("_TOST", kFlagTost),
                                 flag("_PAIRED", kFlagYes),
                                 flag("_RATIO", kFlagRatio),
                                 flag("_LOGNORMAL", kFlagLognormal),
                                 lit("_OBSVAR", "ObservationPaired"),
                                 flag("_ISLOWER", kFlagLower),
                                 flag("_ISUPPER", kFlagUpper)};
constexpr krvgdyn kHistP[] = {kPairY,
                              txt("_VARNAME", kTextPairName),
                              txt("_XLAB", kTextScale),
                              flag("_PAIRED", kFlagYes),
                              flag("_RATIO", kFlagRatio),
                              flag("_LOGNORMAL", kFlagLognormal)};
constexpr krvgdyn kBoxP[] = {kPairY,
                             txt("_VARNAME", kTextPairName),
                             txt("_XLAB", kTextScale),
                             grp(kGroupBand),
                             grp(kGroupNullBounds),
                             grp(kGroupConfidence),
                             flag("_TOST", kFlagTost),
                             flag("_PAIRED", kFlagYes),
                             flag("_RATIO", kFlagRatio),
                             lit("_OBSVAR", "ObservationPaired"),
                             flag("_ISLOWER", kFlagLower),
                             flag("_ISUPPER", kFlagUpper),
                             flag("_LOGNORMAL", kFlagLognormal)};
constexpr krvgdyn kIntervalP[] = {
    grp(kGroupIntervals, kSetMainI), txt("_VARNAME", kTextPairName),
    txt("_XLAB", kTextScale),        grp(kGroupConfOnly),
    flag("_TOST", kFlagTost),        flag("_PAIRED", kFlagYes),
    flag("_RATIO", kFlagRatio),      flag("_LOGNORMAL", kFlagLognormal)};
constexpr krvgdyn kProfilesP[] = {col("_VARNAMEVAR", "VarName"),
                                  col("_Y", "Y"),
                                  col("_YMEAN", "YMean"),
                                  txt("_VARNAME1", kTextName1),
                                  txt("_VARNAME2", kTextName2),
                                  lit("_OBSVAR", "ObservationNoMiss"),
                                  flag("_LOGNORMAL", kFlagLognormal)};
constexpr krvgdyn kAgreementP[] = {col("_Y1", "Y1"),
                                   col("_Y2", "Y2"),
                                   col("_Y1MEAN", "Y1Mean"),
                                   col("_Y2MEAN", "Y2Mean"),
                                   txt("_VARNAME1", kTextName1),
                                   txt("_VARNAME2", kTextName2),
                                   grp(kGroupLabs),
                                   lit("_OBSVAR", "ObservationPairedNoMiss"),
                                   flag("_LOGNORMAL", kFlagLognormal)};
constexpr krvgdyn kQQP[] = {kPairY, grp(kGroupPairedQQ), flag("_PAIRED", kFlagYes),
                            flag("_RATIO", kFlagRatio), lit("_OBSVAR", "ObservationPairedNoMiss")};

constexpr krvgdef kPaired[] = {
    {"SummaryPanel",
     kWhenSummary,
     {768, 769},
     {833, 833},
     "Graphics.Summary1",
     {2, 0, -1},
     kSummaryP},
    {"Histogram",
     kWhenHistogram,
     {770, 771},
     {835, 835},
     "Graphics.HistDens1",
     {2, -1, -1},
     kHistP},
    {"BoxPlot", kWhenBox, {772, 773}, {836, 836}, "Graphics.Box1", {2, 0, -1}, kBoxP},
    {"Interval",
     kWhenInterval,
     {774, 775},
     {840, 839},
     "Graphics.Interval",
     {0, -1, -1},
     kIntervalP},
    {"ProfilesPlot",
     kWhenProfiles,
     {776, 776},
     {841, 841},
     "Graphics.ProfilesP",
     {1, -1, -1},
     kProfilesP},
    {"AgreementPlot",
     kWhenAgreement,
     {777, 777},
     {842, 842},
     "Graphics.AgreementP",
     {2, -1, -1},
     kAgreementP},
    {"QQPlot", kWhenQQ, {778, 779}, {838, 838}, "Graphics.QQ1", {2, -1, -1}, kQQP},
};

// ---- two-sample --------------------------------------------------------------

constexpr krvgdyn kSummary2[] = {col("_Y1", "Y1"),
                                 col("_Y2", "Y2"),
                                 col("_Y", "Y"),
                                 grp(kGroupNames),
                                 txt("_CLASS1", kTextClass1),
                                 txt("_CLASS2", kTextClass2),
                                 txt("_CLASSNAME", kTextClassName),
                                 flag("_LOGNORMAL", kFlagLognormal),
                                 lit("_OBSVAR", "Observation")};
constexpr krvgdyn kHist2[] = {col("_Y1", "Y1"),
                              col("_Y2", "Y2"),
                              grp(kGroupNames),
                              txt("_CLASS1", kTextClass1),
                              txt("_CLASS2", kTextClass2),
                              txt("_CLASSNAME", kTextClassName),
                              flag("_LOGNORMAL", kFlagLognormal)};
constexpr krvgdyn kBox2[] = {col("_Y", "Y"), grp(kGroupNames), txt("_CLASSNAME", kTextClassName),
                             lit("_OBSVAR", "Observation"), flag("_LOGNORMAL", kFlagLognormal)};
constexpr krvgdyn kPerGroup2[] = {
    grp(kGroupIntervals, kSetClassI),   grp(kGroupNames),        txt("_CLASSNAME", kTextClassName),
    flag("_LOGNORMAL", kFlagLognormal), grp(kGroupConfPerGroup), flag("_TWOSAMP_PERGRP", kFlagYes)};
constexpr krvgdyn kTest2[] = {grp(kGroupIntervals, kSetTestI), txt("_VARNAME", kTextDiffName),
                              txt("_XLAB", kTextScale),        grp(kGroupConfOnly),
                              flag("_TOST", kFlagTost),        flag("_TWOSAMP_TEST", kFlagYes),
                              flag("_RATIO", kFlagRatio),      flag("_LOGNORMAL", kFlagLognormal)};
constexpr krvgdyn kQQ2[] = {col("_Y1", "Y1"),
                            col("_Y2", "Y2"),
                            grp(kGroupQQNames),
                            txt("_CLASS1", kTextClass1),
                            txt("_CLASS2", kTextClass2),
                            txt("_CLASSNAME", kTextClassName),
                            lit("_OBSVAR1", "ObservationClass1NoMiss"),
                            lit("_OBSVAR2", "ObservationClass2NoMiss")};

constexpr krvgdef kTwoSample[] = {
    {"SummaryPanel",
     kWhenSummary,
     {763, 763},
     {833, 833},
     "Graphics.Summary2",
     {2, 3, 1},
     kSummary2},
    {"Histogram", kWhenHistogram, {782, 782}, {843, 843}, "Graphics.HistDens2", {2, 3, -1}, kHist2},
    {"BoxPlot", kWhenBox, {783, 783}, {844, 844}, "Graphics.Box2", {1, -1, -1}, kBox2},
    {"Interval",
     kWhenIntervalPerGroup,
     {784, 784},
     {845, 845},
     "Graphics.Interval",
     {0, -1, -1},
     kPerGroup2},
    {"Interval",
     kWhenIntervalTest,
     {785, 786},
     {840, 839},
     "Graphics.Interval",
     {0, -1, -1},
     kTest2},
    {"QQPlot", kWhenQQ, {787, 787}, {846, 846}, "Graphics.QQ2", {2, 3, -1}, kQQ2},
};

// ---- crossover ---------------------------------------------------------------

constexpr krvgdyn kHistC[] = {col("_YA1", "YA1"),
                              col("_YA2", "YA2"),
                              col("_YB1", "YB1"),
                              col("_YB2", "YB2"),
                              txt("_VARNAME1", kTextName1),
                              txt("_VARNAME2", kTextName2),
                              grp(kGroupLabs),
                              txt("_TRTA", kTextTrtA),
                              txt("_TRTB", kTextTrtB),
                              flag("_LOGNORMAL", kFlagLognormal)};
constexpr krvgdyn kBoxC[] = {col("_Y", "Y"), txt("_VARNAMES", kTextPairText),
                             txt("_TRTPRDLABEL", kTextTrtPrd), lit("_OBSVAR", "Observation"),
                             flag("_LOGNORMAL", kFlagLognormal)};
constexpr krvgdyn kPerGroupC[] = {grp(kGroupIntervals, kSetCellI),
                                  txt("_VARNAME", kTextPairText),
                                  lit("_XLAB", "Response"),
                                  grp(kGroupConfPerGroup),
                                  flag("_CROSSOVER_PERGRP", kFlagYes),
                                  flag("_LOGNORMAL", kFlagLognormal)};
constexpr krvgdyn kTrtIgnoreC[] = {
    grp(kGroupIntervals, kSetTrtTestI), txt("_VARNAME", kTextTrtName),
    txt("_XLAB", kTextTrtScale),        grp(kGroupConfOnly),
    flag("_TOST", kFlagTost),           flag("_CROSSOVER_TRT_IP", kFlagYes),
    flag("_RATIO", kFlagRatio),         flag("_LOGNORMAL", kFlagLognormal)};
constexpr krvgdyn kTrtC[] = {grp(kGroupIntervals, kSetTrtI), txt("_VARNAME", kTextTrtName),
                             txt("_XLAB", kTextTrtScale),    grp(kGroupConfOnly),
                             flag("_TOST", kFlagTost),       flag("_CROSSOVER_TRT", kFlagYes),
                             flag("_RATIO", kFlagRatio),     flag("_LOGNORMAL", kFlagLognormal)};
constexpr krvgdyn kPrdC[] = {grp(kGroupIntervals, kSetPrdI), txt("_VARNAME", kTextPrdName),
                             txt("_XLAB", kTextPrdScale),    grp(kGroupConfOnly),
                             flag("_TOST", kFlagTost),       flag("_CROSSOVER_PRD", kFlagYes),
                             flag("_RATIO", kFlagRatio),     flag("_LOGNORMAL", kFlagLognormal)};
constexpr krvgdyn kProfTrtC[] = {col("_Y", "Y"),
                                 col("_YMEAN", "YMean"),
                                 txt("_VARNAMES", kTextPairText),
                                 txt("_VARNAME1", kTextName1),
                                 txt("_VARNAME2", kTextName2),
                                 lit("_OBSVAR", "ObservationNoMiss"),
                                 col("_TIPVAR", "VarName")};
constexpr krvgdyn kProfPrdC[] = {col("_Y", "Y"),
                                 col("_YMEAN", "YMean"),
                                 txt("_VARNAME1", kTextName1),
                                 txt("_VARNAME2", kTextName2),
                                 grp(kGroupYLabs),
                                 lit("_OBSVAR", "ObservationNoMiss"),
                                 col("_TIPVAR", "VarName")};
constexpr krvgdyn kAgrTrtC[] = {col("_YA", "YA"),
                                col("_YB", "YB"),
                                col("_YAMEAN", "YAMean"),
                                col("_YBMEAN", "YBMean"),
                                txt("_VARNAMES", kTextPairText),
                                txt("_TRTA", kTextTrtA),
                                txt("_TRTB", kTextTrtB),
                                lit("_OBSVAR", "ObservationSemistackedNoMiss")};
constexpr krvgdyn kAgrPrdC[] = {col("_Y1", "Y1"),
                                col("_Y2", "Y2"),
                                col("_Y1MEAN", "Y1Mean"),
                                col("_Y2MEAN", "Y2Mean"),
                                txt("_VARNAME1", kTextName1),
                                txt("_VARNAME2", kTextName2),
                                grp(kGroupLabs),
                                lit("_OBSVAR", "ObservationSemistackedNoMiss")};
constexpr krvgdyn kQQC[] = {col("_YA1", "YA1"),
                            col("_YA2", "YA2"),
                            col("_YB1", "YB1"),
                            col("_YB2", "YB2"),
                            grp(kGroupQQNamesPair),
                            txt("_TRTA", kTextTrtA),
                            txt("_TRTB", kTextTrtB),
                            lit("_OBSVARSEQ1", "ObservationSeq1NoMiss"),
                            lit("_OBSVARSEQ2", "ObservationSeq2NoMiss")};

constexpr krvgdef kCrossover[] = {
    {"Histogram", kWhenHistogram, {797, 797}, {843, 843}, "Graphics.HistDensC", {3, 4, -1}, kHistC},
    {"BoxPlot", kWhenBox, {798, 798}, {844, 844}, "Graphics.BoxC", {1, -1, -1}, kBoxC},
    {"Interval",
     kWhenIntervalPerGroup,
     {799, 799},
     {845, 845},
     "Graphics.Interval",
     {0, -1, -1},
     kPerGroupC},
    {"Interval",
     kWhenIntervalTrtIgnore,
     {800, 801},
     {848, 847},
     "Graphics.Interval",
     {0, -1, -1},
     kTrtIgnoreC},
    {"Interval", kWhenIntervalTrt, {800, 801}, {848, 847}, "Graphics.Interval", {0, -1, -1}, kTrtC},
    {"Interval", kWhenIntervalPrd, {802, 803}, {850, 849}, "Graphics.Interval", {0, -1, -1}, kPrdC},
    {"ProfilesOverTrt",
     kWhenProfilesTrt,
     {804, 804},
     {851, 851},
     "Graphics.ProfilesOverTreatmentC",
     {1, -1, -1},
     kProfTrtC},
    {"ProfilesOverPrd",
     kWhenProfilesPrd,
     {805, 805},
     {852, 852},
     "Graphics.ProfilesOverPeriodC",
     {1, -1, -1},
     kProfPrdC},
    {"AgreementOfTreatments",
     kWhenAgreementTrt,
     {806, 806},
     {853, 853},
     "Graphics.AgreementOfTreatments",
     {2, -1, -1},
     kAgrTrtC},
    {"AgreementOfPeriods",
     kWhenAgreementPrd,
     {807, 807},
     {854, 854},
     "Graphics.AgreementOfPeriods",
     {2, -1, -1},
     kAgrPrdC},
    {"QQPlot", kWhenQQ, {808, 808}, {846, 846}, "Graphics.QQC", {3, 4, -1}, kQQC},
};

std::span<const krvgdef> graphsOf(int32_t kind) {
  switch (kind) {
    case kKindOneSample:
      return kOneSample;
    case kKindTwoSample:
      return kTwoSample;
    case kKindPaired:
      return kPaired;
    default:
      return kCrossover;
  }
}

// ---- the call ------------------------------------------------------------------

struct krvgctx {
  krvopts *opts;
  krvgrafwork *work;
  zregobj *g;
  int32_t k;      // the analysis
  char k1[12];    // k + 1 in decimal
  xvinfo var[2];  // the variable, or the two of a pair
  bool ratio;     // messages in pairs take their ratio form
};

bool requested(const krvopts *opts, krvplot p) {
  return opts->graphics.fields[p] != 0;
}

// SUMMARY(UNPACK): the summary panel becomes a group of the histogram and
// the box plot, which are then not drawn on their own.
bool unpackedSummary(const krvopts *opts) {
  return opts->kind != kKindCrossover && requested(opts, kPlotSummary) &&
         requested(opts, kPlotSummaryUnpacked);
}

// Both class levels of the analysis have observations.
bool bothLevels(const krvopts *opts, int32_t k) {
  const krvstat *level1 = opts->sets_lo[kSetMain];
  const krvstat *level2 = opts->sets_lo[kSetLevel2];
  return level1 != nullptr && level2 != nullptr && level1[k].n > kZeroBound &&
         level2[k].n > kZeroBound;
}

bool wanted(const krvopts *opts, int32_t k, krvgwhen when) {
  const bool unpacked = unpackedSummary(opts);
  const bool interval = requested(opts, kPlotInterval);
  switch (when) {
    case kWhenSummary:
      return requested(opts, kPlotSummary) && !unpacked &&
             (opts->kind != kKindTwoSample || bothLevels(opts, k));
    case kWhenHistogram:
      return requested(opts, kPlotHistogram) && !unpacked;
    case kWhenBox:
      return requested(opts, kPlotBox) && !unpacked;
    case kWhenInterval:
      return interval;
    case kWhenIntervalPerGroup:
      return interval && requested(opts, kPlotIntervalPerGroup);
    case kWhenIntervalTest:
      return interval && requested(opts, kPlotIntervalTest);
    case kWhenIntervalTrtIgnore:
      return interval && requested(opts, kPlotIntervalTreatment) && opts->ignore_period;
    case kWhenIntervalTrt:
      return interval && requested(opts, kPlotIntervalTreatment) && !opts->ignore_period;
    case kWhenIntervalPrd:
      return interval && requested(opts, kPlotIntervalPeriod);
    case kWhenQQ:
      return requested(opts, kPlotQQ);
    case kWhenProfiles:
      return requested(opts, kPlotProfiles);
    case kWhenAgreement:
      return requested(opts, kPlotAgreement);
    case kWhenProfilesTrt:
      return requested(opts, kPlotProfiles) && requested(opts, kPlotProfilesTreatment);
    case kWhenProfilesPrd:
      return requested(opts, kPlotProfiles) && requested(opts, kPlotProfilesPeriod);
    case kWhenAgreementTrt:
      return requested(opts, kPlotAgreement) && requested(opts, kPlotAgreementTreatment);
    case kWhenAgreementPrd:
      return requested(opts, kPlotAgreement) && requested(opts, kPlotAgreementPeriod);
  }
  return false;
}

bool anyWanted(const krvopts *opts, int32_t k) {
  if (unpackedSummary(opts)) return true;
  for (const krvgdef &graph : graphsOf(opts->kind)) {
    if (wanted(opts, k, graph.when)) return true;
  }
  return false;
}

// Variable number j (0 or 1) of analysis k.
int32_t analysisVar(const krvopts *opts, int32_t k, int j) {
  const krvstat *first = opts->sets_lo[0];
  if (first != nullptr) return first[k].varnum[j];
  return j == 0 && opts->varnums != nullptr ? opts->varnums[k] : -1;
}

void *bytes(const char *s, int32_t len = -1) {
  return ulxtxt(s, len < 0 ? static_cast<int32_t>(std::strlen(s)) : len);
}

xins nameInsert(const xvinfo &v) {
  return krvins_text(v.name, v.namelen);
}

// A message of the pair: `ratio` or `diff` by the analysis, with both names.
void *pairMessage(const krvgctx &c, int32_t ratio, int32_t diff) {
  const xins inserts[2] = {nameInsert(c.var[0]), nameInsert(c.var[1])};
  return ulxmsgs(kKrvGroup, c.ratio ? ratio : diff, 2, inserts);
}

void *analysisText(const krvgctx &c, krvgtext t) {
  const krvopts *o = c.opts;
  switch (t) {
    case kTextName1:
      return bytes(c.var[0].name, c.var[0].namelen);
    case kTextName2:
      return bytes(c.var[1].name, c.var[1].namelen);
    case kTextPairName:
      return pairMessage(c, 756, 757);
    case kTextScale:
      return ulxmsg(kKrvGroup, c.ratio ? 594 : 593);
    case kTextDiffName: {
      const xins inserts[3] = {nameInsert(c.var[0]), krvins_text(o->level_trim[0]),
                               krvins_text(o->level_trim[1])};
      return ulxmsgs(kKrvGroup, c.ratio ? 780 : 781, 3, inserts);
    }
    case kTextPairText:
      return pairMessage(c, 788, 788);
    case kTextTrtPrd:
      return ulxmsg(kKrvGroup, 790);
    case kTextTrtName: {
      const xins inserts[4] = {nameInsert(c.var[0]), nameInsert(c.var[1]),
                               krvins_text(o->trt_trim[0]), krvins_text(o->trt_trim[1])};
      return ulxmsgs(kKrvGroup, c.ratio ? 793 : 794, 4, inserts);
    }
    case kTextPrdName:
      return pairMessage(c, 795, 796);
    case kTextTrtScale:
      return ulxmsg(kKrvGroup, c.ratio ? 596 : 595);
    case kTextPrdScale:
      return ulxmsg(kKrvGroup, c.ratio ? 598 : 597);
    case kTextClass1:
      return bytes(o->level_trim[0]);
    case kTextClass2:
      return bytes(o->level_trim[1]);
    case kTextClassName:
      return bytes(o->class_name);
    case kTextTrtA:
      return bytes(o->trt_trim[0]);
    case kTextTrtB:
      return bytes(o->trt_trim[1]);
  }
  return nullptr;
}

bool flagHolds(const krvgctx &c, krvgflag f) {
  switch (f) {
    case kFlagLognormal:
      return c.opts->lognormal != 0;
    case kFlagTost:
      return c.opts->tost != 0;
    case kFlagLower:
      return c.opts->sides == 1;
    case kFlagUpper:
      return c.opts->sides == 2;
    case kFlagRatio:
      return c.ratio;
    case kFlagYes:
      return true;
  }
  return false;
}

void setText(krvgctx &c, const char *name, const char *text) {
  ZREG_setNames(c.g, name, bytes(text));
}

void setFlag(krvgctx &c, const char *name) {
  setText(c, name, "y");
}

// A column name: `prefix` followed by k + 1.
void setColumn(krvgctx &c, const char *name, const char *prefix, const char *middle = "") {
  char column[kColumnSize];
  std::snprintf(column, sizeof column, "%s%s%s", prefix, middle, c.k1);
  setText(c, name, column);
}

// `text` as it is, or as "log(" text ")" on the log scale.
void setName(krvgctx &c, const char *name, const char *text, int32_t len, bool log) {
  if (!log) {
    ZREG_setNames(c.g, name, bytes(text, len));
    return;
  }
  char scaled[kLogSize];
  const int n = std::snprintf(scaled, sizeof scaled, "log(%.*s)", static_cast<int>(len), text);
  ZREG_setNames(c.g, name, bytes(scaled, n < kLogSize ? n : kLogSize - 1));
}

// The label of a variable for an axis: its label, else its name; the short
// form keeps the name when the label is the longer of the two.
void setLabel(krvgctx &c, const char *name, const xvinfo &v, bool shortForm, bool log) {
  const bool useLabel = v.labellen > 0 && (!shortForm || v.labellen <= v.namelen);
  if (useLabel) {
    setName(c, name, v.label, v.labellen, log);
  } else {
    setName(c, name, v.name, v.namelen, log);
  }
}

// _VARNAME<i>, <lab><i> and _SHORT<lab><i> of variable j; `suffix` is "" or "1"/"2".
void setNames(krvgctx &c, int j, const char *lab, const char *suffix, bool log, bool withName) {
  char name[24];
  if (withName) {
    std::snprintf(name, sizeof name, "_VARNAME%s", suffix);
    setName(c, name, c.var[j].name, c.var[j].namelen, log);
  }
  std::snprintf(name, sizeof name, "_%s%s", lab, suffix);
  setLabel(c, name, c.var[j], false, log);
  std::snprintf(name, sizeof name, "_SHORT%s%s", lab, suffix);
  setLabel(c, name, c.var[j], true, log);
}

// The confidence level in percent, kept off the whole number just below it.
double confidence(const krvopts *opts, bool perGroup) {
  const long double a = opts->alpha;
  const long double level =
      opts->tost && !perGroup ? 100.0L * (1.0L - 2.0L * a) : 100.0L * (1.0L - a);
  return static_cast<double>(level + 1.110223024625157e-13L);
}

void setConfidence(krvgctx &c, bool perGroup, bool withLabel) {
  const double level = confidence(c.opts, perGroup);
  char text[32];
  std::snprintf(text, sizeof text, "%-8g", level);
  setText(c, "_CONFIDENCE", text);
  if (!withLabel) return;
  std::snprintf(text, sizeof text, "%g", level);
  const xins insert = krvins_text(text);
  ZREG_setNames(c.g, "_CONFLAB", ulxmsgs(kKrvGroup, 834, 1, &insert));
}

double perAnalysis(const double *values, int32_t k) {
  return values != nullptr ? values[k] : std::numeric_limits<double>::quiet_NaN();
}

// The confidence band of the observation object; a one-sided band ends at
// the far limit of the data, with the view limit beside it.
void setBand(krvgctx &c) {
  const krvgrafwork *w = c.work;
  if (c.opts->tost || c.opts->sides == 0) {
    setColumn(c, "_LCL", "CIBandLCL");
    setColumn(c, "_UCL", "CIBandUCL");
  } else if (c.opts->sides == 2) {
    setColumn(c, "_LCL", "CIBandLCL");
    ZREG_setNamesDbl(c.g, "_UCL", perAnalysis(w->far_upper, c.k));
    ZREG_setNamesDbl(c.g, "_VIEWMAX", perAnalysis(w->view_max, c.k));
  } else {
    ZREG_setNamesDbl(c.g, "_LCL", perAnalysis(w->far_lower, c.k));
    ZREG_setNamesDbl(c.g, "_VIEWMIN", perAnalysis(w->view_min, c.k));
    setColumn(c, "_UCL", "CIBandUCL");
  }
}

void setNullBounds(krvgctx &c) {
  if (requested(c.opts, kPlotShowH0)) setText(c, "_H0", "H0");
  if (!c.opts->tost) return;
  setText(c, "_LEQB", "LEB");
  setText(c, "_UEQB", "UEB");
}

void setIndexed(krvgctx &c, const char *stem, int i, const char *value) {
  char name[24];
  std::snprintf(name, sizeof name, "%s%d", stem, i);
  setText(c, name, value);
}

void setIntervals(krvgctx &c, const krvginterval &set) {
  static constexpr const char *kSide[] = {"_IS2SIDED", "_ISLOWER", "_ISUPPER"};
  const int side = set.bySides && c.opts->sides >= 0 && c.opts->sides <= 2 ? c.opts->sides : 0;
  char name[24];
  for (int i = 1; i <= set.n; ++i) {
    setIndexed(c, "_YVAL", i, kYVal[i - 1]);
    if (set.labels[i - 1] != nullptr) setIndexed(c, "_LABEL", i, set.labels[i - 1]);
    static constexpr const char *kEnds[][2] = {{"_MEAN", "Mean"}, {"_LCL", "LCL"}, {"_UCL", "UCL"}};
    for (const auto &end : kEnds) {
      std::snprintf(name, sizeof name, "%s%d", end[0], i);
      setColumn(c, name, set.families[i - 1], end[1]);
    }
    if (set.h0 && requested(c.opts, kPlotShowH0)) setIndexed(c, "_H0", i, "H0");
    setIndexed(c, kSide[side], i, "y");
  }
  if (!set.equiv || !c.opts->tost) return;
  const int j = set.n + 1;
  setIndexed(c, "_YVAL", j, kYVal[j - 1]);
  setIndexed(c, "_LABEL", j, "CIEqBLabel");
  setIndexed(c, "_LCL", j, "LEB");
  setIndexed(c, "_UCL", j, "UEB");
  setIndexed(c, "_ISEQB", j, "y");
}

// Paired Q-Q plot: the pair on the log scale for lognormal analyses.
void setPairedQQ(krvgctx &c) {
  if (!c.opts->lognormal) {
    ZREG_setNames(c.g, "_VARNAME", analysisText(c, kTextPairName));
    ZREG_setNames(c.g, "_YLAB", analysisText(c, kTextScale));
    return;
  }
  setFlag(c, "_LOGNORMAL");
  ZREG_setNames(c.g, "_VARNAME", pairMessage(c, 789, 789));
  char scale[kLogSize];
  const int32_t n = xpmstr(scale, kLogSize, kKrvGroup, 594);
  setName(c, "_YLAB", scale, n < kLogSize ? n : kLogSize, true);
}

void setGroup(krvgctx &c, krvggroup group, uint8_t arg) {
  const bool log = c.opts->lognormal != 0;
  switch (group) {
    case kGroupNames:
      return setNames(c, 0, "XLAB", "", false, true);
    case kGroupQQNames:
      if (log) setFlag(c, "_LOGNORMAL");
      return setNames(c, 0, "YLAB", "", log, true);
    case kGroupLabs:
      setNames(c, 0, "LAB", "1", false, false);
      return setNames(c, 1, "LAB", "2", false, false);
    case kGroupYLabs:
      setNames(c, 0, "YLAB", "1", false, false);
      return setNames(c, 1, "YLAB", "2", false, false);
    case kGroupQQNamesPair:
      if (log) setFlag(c, "_LOGNORMAL");
      setNames(c, 0, "YLAB", "1", log, true);
      return setNames(c, 1, "YLAB", "2", log, true);
    case kGroupPairedQQ:
      return setPairedQQ(c);
    case kGroupBand:
      return setBand(c);
    case kGroupNullBounds:
      return setNullBounds(c);
    case kGroupConfidence:
      return setConfidence(c, false, true);
    case kGroupConfOnly:
      return setConfidence(c, false, false);
    case kGroupConfPerGroup:
      return setConfidence(c, true, false);
    case kGroupIntervals:
      return setIntervals(c, kIntervals[arg]);
  }
}

void setDynamic(krvgctx &c, const krvgdyn &d) {
  switch (d.src) {
    case kSrcColumn:
      return setColumn(c, d.name, d.value);
    case kSrcPairY:
      return setColumn(c, d.name, c.ratio ? "Yratio" : "Ydif");
    case kSrcLiteral:
      return setText(c, d.name, d.value);
    case kSrcFlag:
      if (flagHolds(c, static_cast<krvgflag>(d.arg))) setFlag(c, d.name);
      return;
    case kSrcText:
      ZREG_setNames(c.g, d.name, analysisText(c, static_cast<krvgtext>(d.arg)));
      return;
    case kSrcGroup:
      return setGroup(c, static_cast<krvggroup>(d.arg), d.set);
  }
}

void *dataRef(const krvgrafwork *w, int8_t object) {
  if (object == 0) return w->stats_ref;
  return object >= 1 && object <= 4 ? w->obs_ref[object - 1] : nullptr;
}

// The label of a graph takes the variable's name, or the two names of a pair.
void *graphLabel(const krvgctx &c, int16_t number) {
  if (c.opts->kind == kKindOneSample || c.opts->kind == kKindTwoSample) {
    const xins insert = nameInsert(c.var[0]);
    return ulxmsgs(kKrvGroup, number, 1, &insert);
  }
  return pairMessage(c, number, number);
}

void drawGraph(krvgctx &c, const krvgdef &graph) {
  zregobj *g = c.g;
  const int form = c.ratio ? 0 : 1;
  ZREG_Clear(g);
  ZREG_setNoPanels(g);
  ZREG_setName(g, bytes(graph.name));
  void *title = ulxmsg(kKrvGroup, graph.title[form]);
  ZREG_setTitle(g, title);
  ZREG_setContentsLabel(g, title);
  ZREG_setLabel(g, graphLabel(c, graph.label[form]));
  for (const krvgdyn &d : graph.dyn) setDynamic(c, d);
  for (int pos = 0; pos < 3; ++pos) {
    if (graph.data[pos] >= 0) ZREG_setPath(g, dataRef(c.work, graph.data[pos]), pos);
  }
  ZREG_Renderplot(g, graph.tmpl);
}

const krvgdef *findGraph(int32_t kind, krvgwhen when) {
  for (const krvgdef &graph : graphsOf(kind)) {
    if (graph.when == when) return &graph;
  }
  return nullptr;
}

// The summary panel as a group of its histogram and box plot.
void drawUnpackedSummary(krvgctx &c) {
  void *group = nullptr;
  ZREG_setMyGroupAndLabel(c.g, &group, bytes("SummaryPanel"), ulxmsg(kKrvGroup, 833));
  for (krvgwhen when : {kWhenHistogram, kWhenBox}) drawGraph(c, *findGraph(c.opts->kind, when));
  ZREG_exitMyGroup(c.g, &group);
}

void fetchNames(krvgctx &c) {
  const int nvars = c.opts->kind == kKindOneSample || c.opts->kind == kKindTwoSample ? 1 : 2;
  for (int j = 0; j < nvars; ++j) xvname(c.opts->data, analysisVar(c.opts, c.k, j), &c.var[j]);
}

}  // namespace

void krvRenderGraphs(krvopts *opts) {
  const int32_t k = opts->cur;
  krvgrafwork *work = opts->graphics.work;
  if (work == nullptr || opts->graphics.used[0] == 0 || !anyWanted(opts, k)) return;
  krvgctx c{opts, work, nullptr, k, {}, {}, opts->ratio != 0};
  std::snprintf(c.k1, sizeof c.k1, "%d", k + 1);
  fetchNames(c);
  c.g = ZREG_registerUlxGraph("Stat.Kravo");
  if (c.g == nullptr) {
    krvwarn(opts, 832);
    return;
  }
  ZREG_setClassManager(c.g, opts->outmgr);
  for (const krvgdef &graph : graphsOf(opts->kind)) {
    if (graph.when == kWhenSummary && unpackedSummary(opts)) {
      drawUnpackedSummary(c);
    } else if (wanted(opts, k, graph.when)) {
      drawGraph(c, graph);
    }
  }
  ZREG_exitUlxGraph(c.g);
}
