#include "platform/dynamic_library.h"

#include <windows.h>

#include "platform/file_system.h"
#include "platform/win32/wide.h"

namespace velmor::platform {

DynamicLibrary::~DynamicLibrary() { Unload(); }

bool DynamicLibrary::Load(const std::string& path) {
  Unload();
  // No "cannot load" dialog box: the caller reports the failure itself.
  DWORD old_mode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &old_mode);
  // A library given by full path finds the libraries it needs beside it.
  const DWORD flags = IsAbsolutePath(path) ? LOAD_WITH_ALTERED_SEARCH_PATH : 0;
  handle_ = LoadLibraryExW(WidePath(path).c_str(), nullptr, flags);
  SetThreadErrorMode(old_mode, nullptr);
  return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const char* name) const {
  if (handle_ == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name));
}

void DynamicLibrary::Unload() {
  if (handle_ == nullptr) return;
  FreeLibrary(static_cast<HMODULE>(handle_));
  handle_ = nullptr;
}

}  // namespace velmor::platform
