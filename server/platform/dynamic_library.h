// Loading a shared library at run time and finding its exports.
#pragma once

#include <string>

namespace velmor::platform {

class DynamicLibrary {
 public:
  DynamicLibrary() = default;
  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  bool Load(const std::string& path);
  void* Symbol(const char* name) const;
  void Unload();
  bool IsLoaded() const { return handle_ != nullptr; }

 private:
  void* handle_ = nullptr;
};

}  // namespace velmor::platform
