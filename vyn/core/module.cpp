#include "vyn/core/module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>

namespace vyn {

std::unique_ptr<Module> Module::load(const std::string &path, void **connection,
                                     std::string *error) {
  void *handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    *error = "cannot load the procedure module " + path + ": " + dlerror();
    return nullptr;
  }
  auto entry = reinterpret_cast<mcn_main_fn>(dlsym(handle, "mcn_main"));
  if (entry == nullptr) {
    *error = "the procedure module " + path + " has no entry mcn_main";
    dlclose(handle);
    return nullptr;
  }
  std::unique_ptr<Module> module(new Module());
  module->handle_ = handle;
  module->descriptor_ = entry(connection, handle);
  if (module->descriptor_ == nullptr || module->descriptor_->pcns == nullptr) {
    *error = "the procedure module " + path + " returned no procedure list";
    return nullptr;
  }
  return module;
}

std::unique_ptr<Module> Module::linked(mcn_main_fn entry, void **connection) {
  std::unique_ptr<Module> module(new Module());
  module->descriptor_ = entry(connection, nullptr);
  return module;
}

Module::~Module() {
  if (handle_ != nullptr) dlclose(handle_);
}

void (*Module::procedure(std::string_view name) const)() {
  for (const mcn_pcn *const *p = descriptor_->pcns; *p != nullptr; ++p) {
    std::string_view entry((*p)->name, sizeof((*p)->name));
    while (!entry.empty() && (entry.back() == ' ' || entry.back() == '\0')) entry.remove_suffix(1);
    // "vyn" + procedure name is the entry of that procedure
    if (entry.size() != name.size() + 3 || entry.substr(0, 3) != "vyn") continue;
    bool same = true;
    for (size_t i = 0; i < name.size() && same; ++i) {
      same = std::tolower(static_cast<unsigned char>(entry[i + 3])) ==
             std::tolower(static_cast<unsigned char>(name[i]));
    }
    if (same) return (*p)->entry;
  }
  return nullptr;
}

std::string defaultModulePath() {
  if (const char *env = std::getenv("VYN_MODULE")) return env;
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return "libkravo.so";
  return (exe.parent_path() / "libkravo.so").string();
}

}  // namespace vyn
