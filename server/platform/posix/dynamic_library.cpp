#include "platform/dynamic_library.h"

#include <dlfcn.h>

namespace velmor::platform {

DynamicLibrary::~DynamicLibrary() { Unload(); }

bool DynamicLibrary::Load(const std::string& path) {
  Unload();
  handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (handle_ == nullptr || name == nullptr) return nullptr;
  return dlsym(handle_, name);
}

void DynamicLibrary::Unload() {
  if (handle_ == nullptr) return;
  dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace velmor::platform
