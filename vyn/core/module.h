// A procedure module loaded into the host: the shared object, its entry
// called once with the connection, and its procedures by name.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "host/vynmod.h"

namespace vyn {

class Module {
 public:
  // Loads the shared object at `path` and connects it; on failure returns
  // nullptr and says why in `error` (file, symbol and the loader's reason).
  static std::unique_ptr<Module> load(const std::string &path, void **connection,
                                      std::string *error);
  // Connects a module linked into the program (tests).
  static std::unique_ptr<Module> linked(mcn_main_fn entry, void **connection);
  ~Module();
  Module(const Module &) = delete;
  Module &operator=(const Module &) = delete;

  // The procedure entry of that name (case-insensitive), or nullptr.
  void (*procedure(std::string_view name) const)();

 private:
  Module() = default;
  void *handle_ = nullptr;
  const mcn_desc *descriptor_ = nullptr;
};

// Where the host looks for the module: $VYN_MODULE, else libkravo.so next to
// the running program.
std::string defaultModulePath();

}  // namespace vyn
