#include "views/scale_bar.h"

#include <gtest/gtest.h>

namespace {

// The bar at 218 um (50 um from x = 849 to 1131) is checked on the screen and
// in the saved picture by the live display's tests.
TEST(LiveScaleBar, LengthThresholdsAreExclusive) {
  const struct {
    double fieldUm;
    int lengthUm;
  } cases[] = {{42, 10},    {150, 10},  {150.001, 50}, {300, 50},     {300.5, 100},
               {1500, 100}, {1501, 500}, {3000, 500},   {3000.01, 1000}, {9000, 1000}};
  for (const auto& c : cases) EXPECT_EQ(scaleBarLengthUm(c.fieldUm), c.lengthUm) << c.fieldUm;
  // The scale divides the field: half the scale, twice the field.
  EXPECT_EQ(liveScaleBar(200.0, 0.5, 1232, 1028).lengthUm, 100);
  // 788 um (5X): 100 um is 156.3 px.
  EXPECT_EQ(liveScaleBar(788.0, 1.0, 1232, 1028).left, 1232 - 156 - 100 - 1);
}

TEST(WideScaleBar, TenMicrometresLabelledByTheView) {
  const WideScaleBar live = wideScaleBar(1232, 1028, 89.0, false);
  EXPECT_EQ(live.left, 1082);
  EXPECT_EQ(live.top, 928);
  EXPECT_EQ(live.right, 1082 + 138);  // 12320 / 89 = 138.4
  EXPECT_EQ(live.bottom, 933);
  EXPECT_EQ(live.labelUm, 10);
  EXPECT_EQ(wideScaleBar(1232, 1028, 89.0, true).labelUm, 30);
}

}  // namespace
