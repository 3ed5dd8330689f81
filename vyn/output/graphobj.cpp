// The output manager's graph method: a graph that the procedure built on its
// registration object becomes an emitted Graph item, drawn later from its
// template, its dynamic variables and its data objects.
#include <optional>
#include <string>
#include <utility>

#include "hostcm/wobgraph.h"
#include "vyn/output/objects.h"

namespace vyn::output {
namespace {

std::optional<std::string> slotText(const wobprop &p) {
  std::string text;
  if (p.type == kWobText && textOf(p.v.p, &text)) return text;
  return std::nullopt;
}

std::optional<DynamicValue> dynamicValue(const wobprop &p) {
  if (p.type == kWobDouble) return p.v.d;
  if (auto text = slotText(p)) return *text;
  return std::nullopt;
}

// Attaches the data object behind a reference at a position; false for a
// position out of range.
bool attach(Graph &graph, int32_t position, const void *ref) {
  if (position < 0 || position >= kGraphMaxData) return false;
  if (graph.data.size() <= static_cast<size_t>(position)) graph.data.resize(position + 1);
  graph.data[position] = dataObjectOf(ref);
  return true;
}

// Reads the slots of one graph call into `graph`; the name of a slot that is
// missing or malformed otherwise.
std::optional<std::string> readGraph(int32_t count, const wobprop *props, Graph &graph) {
  bool named = false, pathed = false;
  for (int32_t i = 0; i < count; ++i) {
    const wobprop &p = props[i];
    const bool hasNext = i + 1 < count;
    switch (p.key) {
      case kKeyName:
        named = p.type == kWobText && textOf(p.v.p, &graph.name);
        break;
      case kKeyPath:
        pathed = p.type == kWobText && textOf(p.v.p, &graph.path) && !graph.path.empty();
        break;
      case kKeyLabel:
        graph.label = slotText(p).value_or("");
        break;
      case kKeyGraphTitle:
        graph.title = slotText(p).value_or("");
        break;
      case kKeyGraphContents:
        graph.contentsLabel = slotText(p).value_or("");
        break;
      case kKeyAttribute: {
        auto name = slotText(p);
        auto value =
            hasNext && props[i + 1].key == kKeyValue ? dynamicValue(props[i + 1]) : std::nullopt;
        if (!name || !value) return "311, 287";
        graph.dynamics.emplace_back(*name, std::move(*value));
        ++i;
        break;
      }
      case kKeyGraphPosition:
        if (!hasNext || props[i + 1].key != kKeyGraphData || p.type != kWobInt ||
            !attach(graph, p.v.i, props[i + 1].v.p)) {
          return std::to_string(kKeyGraphPosition) + ", " + std::to_string(kKeyGraphData);
        }
        ++i;
        break;
      default:
        break;
    }
  }
  if (!named) return "138";
  if (!pathed) return "339";
  return std::nullopt;
}

}  // namespace

// The graph goes to the current output group and BY group; its title is also
// the template's "_TITLE".
int32_t managerGraph(void *object, void *, void *, int32_t count, wobprop *props) {
  StepState *state = stepState();
  if (findObject(object, ObjKind::kManager) == nullptr || state == nullptr) {
    logCondition(kMsgStaleHandle, {std::to_string(kMthGraph)});
    return kStatusBadHandle;
  }
  Graph graph;
  if (auto bad = readGraph(props == nullptr ? 0 : count, props, graph)) {
    logCondition(kMsgBadProperty, {std::to_string(kMthGraph), *bad});
    return kStatusBadProperty;
  }
  graph.dynamics.emplace_back("_TITLE", graph.title);
  emitItem(*state, std::move(graph));
  return 0;
}

}  // namespace vyn::output
