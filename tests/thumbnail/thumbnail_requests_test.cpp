#include "thumbnail/thumbnail_requests.h"

#include <gtest/gtest.h>

#include <vector>

namespace velmor {
namespace {

std::vector<int64_t> TakeAll(ThumbnailRequests* requests) {
  std::vector<int64_t> taken;
  int64_t id = 0;
  while (requests->TakeNewest(&id)) taken.push_back(id);
  return taken;
}

TEST(ThumbnailRequestsTest, NewestFirstAndEachIdOnce) {
  ThumbnailRequests requests;
  requests.Add(101, false);
  requests.Add(102, false);
  requests.Add(103, false);
  requests.Add(101, false);  // already waiting: stays where it is
  EXPECT_EQ(requests.Count(), 3u);
  EXPECT_EQ(TakeAll(&requests), (std::vector<int64_t>{103, 102, 101}));
  EXPECT_EQ(requests.Count(), 0u);
}

TEST(ThumbnailRequestsTest, APriorityRequestMovesTheIdToBeMadeNext) {
  ThumbnailRequests requests;
  requests.Add(101, false);
  requests.Add(102, false);
  requests.Add(103, false);
  requests.Add(101, true);
  EXPECT_EQ(requests.Count(), 3u);
  EXPECT_EQ(TakeAll(&requests), (std::vector<int64_t>{101, 103, 102}));

  requests.Add(104, true);  // a new id with priority is simply the newest
  requests.Add(105, false);
  EXPECT_EQ(TakeAll(&requests), (std::vector<int64_t>{105, 104}));
}

TEST(ThumbnailRequestsTest, ClearForgetsEverything) {
  ThumbnailRequests requests;
  for (int64_t id = 1; id <= 100; ++id) requests.Add(id, false);  // beyond the first room
  EXPECT_EQ(requests.Count(), 100u);
  requests.Clear();
  int64_t id = 0;
  EXPECT_FALSE(requests.TakeNewest(&id));
  EXPECT_EQ(requests.Count(), 0u);
}

}  // namespace
}  // namespace velmor
