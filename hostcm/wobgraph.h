// The call that hands a graph to the output manager: the graph's name,
// labels and template, its dynamic variables in order and the data objects
// it draws from by position. Shared by the module's graph registration
// library and the host.
//
// Property list of kMthGraph, in this order:
//   138/66 graph name; 339/66 full template path ("Stat.Kravo.Graphics.Box1");
//   296/66 label; kKeyGraphTitle/66 title; kKeyGraphContents/66 contents label;
//   kKeyGraphNoPanels/13 the graph is drawn as one graph, not as panels;
//   per dynamic variable: 311/66 its name, then 287/66 a text or 287/5 a double;
//   per attached data object: kKeyGraphPosition/3 its position (from 0), then
//   kKeyGraphData/11 the data reference that the host handed out for it.
#pragma once

#include <cstdint>

#include "hostcm/wob.h"

// Method of the output manager that draws a graph from a template.
inline constexpr int32_t kMthGraph = 470;

enum wobgraphkey : uint16_t {
  kKeyGraphTitle = 2601,     // title of the graph
  kKeyGraphContents = 2602,  // table-of-contents label
  kKeyGraphNoPanels = 2603,  // boolean: one graph rather than panels of its own
  kKeyGraphPosition = 2604,  // position of the data object that follows
  kKeyGraphData = 2605       // data reference of a data object
};

// Positions a graph can attach data objects at: 0 to kGraphMaxData - 1.
inline constexpr int32_t kGraphMaxData = 8;
