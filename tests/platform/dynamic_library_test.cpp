#include "platform/dynamic_library.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace velmor::platform {
namespace {

#ifdef _WIN32
constexpr char kSystemLibrary[] = "kernel32.dll";
constexpr char kExport[] = "GetTickCount";
#else
constexpr char kSystemLibrary[] = "libm.so.6";
constexpr char kExport[] = "cos";
#endif

TEST(DynamicLibraryTest, LoadsASystemLibraryAndFindsAnExport) {
  DynamicLibrary library;
  EXPECT_FALSE(library.IsLoaded());
  ASSERT_TRUE(library.Load(kSystemLibrary));
  EXPECT_TRUE(library.IsLoaded());
  EXPECT_NE(library.Symbol(kExport), nullptr);
  EXPECT_EQ(library.Symbol("velmor_no_such_export"), nullptr);
#ifndef _WIN32
  const auto cosine = reinterpret_cast<double (*)(double)>(library.Symbol(kExport));
  EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);
#endif
  library.Unload();
  EXPECT_FALSE(library.IsLoaded());
  EXPECT_EQ(library.Symbol(kExport), nullptr);
}

TEST(DynamicLibraryTest, MissingOrBrokenLibrariesFailCleanly) {
  test::TempFolder temp;
  DynamicLibrary library;
  EXPECT_FALSE(library.Load(temp.Join("velmor-missing-plugin.dll")));
  EXPECT_FALSE(library.IsLoaded());
  EXPECT_EQ(library.Symbol(kExport), nullptr);

  // A file that is no library at all.
  test::WriteFileOrFail(temp.Join("fake.dll"), "MZ this is not a library");
  EXPECT_FALSE(library.Load(temp.Join("fake.dll")));
  EXPECT_FALSE(library.IsLoaded());
}

}  // namespace
}  // namespace velmor::platform
