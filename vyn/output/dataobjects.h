// Graph data objects on the host side: the data objects the procedure
// creates on the output manager, fills row by row and wraps in phantom
// outputs that hand out a data reference instead of emitting a table; and
// the manager's answer to whether it draws graphs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "hostcm/wob.h"
#include "vyn/output/objects.h"

namespace vyn::output {

// The manager's property-get method, and its start and end of a stretch of
// data-set output.
inline constexpr int32_t kMthGetProperty = 2;
inline constexpr int32_t kMthDataSet = 451;

// A data object being built: its record and the cells its columns read.
struct DataObjectHost : HostObject {
  std::shared_ptr<DataObject> data;
  std::vector<BoundColumn> columns;  // parallel to data->columns
  bool ended = false;                // the column definitions are complete
  bool closed = false;               // no more rows
};

// The phantom output that wraps a data object for the graphs.
struct PhantomObject : HostObject {
  DataObjectHost *wrapped = nullptr;
};

// Methods of the output manager.
int32_t managerProperty(void *object, void *, void *, int32_t count, wobprop *props);
int32_t managerDataSet(void *object, void *, void *, int32_t count, wobprop *props);
// Whether a create call (147, kind "data") on the manager makes a data
// object rather than a table: inside a stretch of data-set output, or when
// it declares its rows.
bool createsDataObject(int32_t count, const wobprop *props);
int32_t createDataObject(HostObject *manager, int32_t count, wobprop *props);
// The wrapping of a data object by a 422 call whose second object slot holds it.
int32_t wrapDataObject(HostObject *manager, int32_t count, wobprop *props);
// The release of a phantom output by a 428 call whose first object slot holds it.
int32_t releasePhantom(int32_t count, wobprop *props);

// Methods of a data object.
int32_t dataColumn(void *object, void *, void *, int32_t count, wobprop *props);
int32_t dataEnd(void *object, void *, void *, int32_t count, wobprop *props);
int32_t dataRow(void *object, void *, void *, int32_t count, wobprop *props);
int32_t dataClose(void *object, void *, void *, int32_t count, wobprop *props);

// Every data object that is wrapped for the graphs goes to the watcher, when
// one is set (null clears it): a debugging and testing view of graph data
// that no renderer shows.
using DataObjectWatcher = std::function<void(const std::shared_ptr<const DataObject> &)>;
void watchDataObjects(DataObjectWatcher watcher);

}  // namespace vyn::output
