#include "platform/user_notice.h"

#include <gtest/gtest.h>

namespace velmor::platform {
namespace {

#ifndef _WIN32
// On Windows this is a message box, which a test cannot close.
TEST(UserNoticeTest, WritesCaptionAndTextToStandardError) {
  testing::internal::CaptureStderr();
  ShowMessageBox("The port 8080 is in use.", "VelmorVR Server");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "VelmorVR Server: The port 8080 is in use.\n");
}
#endif

}  // namespace
}  // namespace velmor::platform
