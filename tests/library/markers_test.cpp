#include "library/markers.h"

#include <gtest/gtest.h>

namespace velmor {
namespace {

TEST(Markers, WireTextsRoundTripThroughTheStoredForm) {
  const MarkerSet set = MarkerSet::FromWire("<en.3>1,<a.3>100,<b.3>200,<en.5>0,<a.5>9,",
                                            "<en.0>1,<a.0>42,<en.7>1,<a.7>-5");
  EXPECT_TRUE(set.Any());
  EXPECT_EQ(set.StoredText(), "<p0>42<t3>100,200<p7>-5");
  const MarkerSet back = MarkerSet::FromStored(set.StoredText());
  EXPECT_EQ(back.SegmentWireText(),
            "<en.0>0,<a.0>0,<b.0>0,<en.1>0,<a.1>0,<b.1>0,<en.2>0,<a.2>0,<b.2>0,"
            "<en.3>1,<a.3>100,<b.3>200,<en.4>0,<a.4>0,<b.4>0,<en.5>0,<a.5>0,<b.5>0,"
            "<en.6>0,<a.6>0,<b.6>0,<en.7>0,<a.7>0,<b.7>0,");
  EXPECT_EQ(back.PointWireText(),
            "<en.0>1,<a.0>42,<en.1>0,<a.1>0,<en.2>0,<a.2>0,<en.3>0,<a.3>0,<en.4>0,<a.4>0,"
            "<en.5>0,<a.5>0,<en.6>0,<a.6>0,<en.7>1,<a.7>-5");
}

TEST(Markers, DisabledSlotsKeepNoPositions) {
  const MarkerSet set = MarkerSet::FromWire("<en.0>0,<a.0>5,<b.0>6,", "<en.0>2,<a.0>7");
  EXPECT_EQ(set.segments[0].a, 0);
  EXPECT_EQ(set.points[0].a, 0) << "positions are read only for enabled 1";
  EXPECT_TRUE(set.Any()) << "any enabled value other than 0 counts";
  EXPECT_FALSE(MarkerSet::FromWire("", "").Any());
}

TEST(Markers, DamagedStoredTextsNeverBorrowAnotherSlotsValue) {
  const MarkerSet set = MarkerSet::FromStored("<t0>100<p1>5<t2>3,4");
  EXPECT_EQ(set.segments[0].enabled, 0) << "no comma of its own";
  EXPECT_EQ(set.segments[2].enabled, 1);
  EXPECT_EQ(set.segments[2].b, 4);
  EXPECT_EQ(set.points[1].a, 5);
  EXPECT_FALSE(MarkerSet::FromStored("garbage<t9>1,2<p>").Any());
}

}  // namespace
}  // namespace velmor
