// The jog pad and clicks on the camera picture, with numbers worked out by
// hand from the picture's 1232 x 1028 pixels and the pad's drawn buttons.
// (The edit fields' limits are pinned through the real window and by the
// edit-field fuzz target.)

#include "console/dialog_fields.h"
#include "console/image_click.h"
#include "views/jog_pad.h"

#include <gtest/gtest.h>

#include <optional>

TEST(JogPad, ButtonsContainOnlyTheirInsideAndButtonsAndKeysMoveTheirAxisByTheirStep) {
  JogPad pad;
  pad.jogStepUm = 20;
  const struct {
    int x, y;
    std::optional<JogButton> button;
  } hits[] = {{1238, 801, jogMinusX}, {1237, 820, std::nullopt}, {1287, 820, std::nullopt},
              {1312, 779, jogPlusY},  {1312, 860, jogMinusY},    {1417, 819, jogPlusZ},
              {1417, 820, std::nullopt}, {1417, 821, jogMinusZ}, {1362, 820, jogPlusX},
              {600, 500, std::nullopt}};
  for (const auto& h : hits) EXPECT_EQ(jogButtonAt(pad, h.x, h.y), h.button) << h.x << "," << h.y;

  // Buttons by the pad's step (Z by half of it), arrows by 100 um, page keys Z by 10 um.
  const struct {
    std::optional<JogMove> move;
    JogAxis axis;
    double um;
  } moves[] = {{jogPadMove(pad, jogMinusX), JogAxis::X, -20}, {jogPadMove(pad, jogPlusY), JogAxis::Y, 20},
               {jogPadMove(pad, jogMinusZ), JogAxis::Z, -10}, {keyJogMove(keyPageUp), JogAxis::Z, 10},
               {keyJogMove(keyPageDown), JogAxis::Z, -10},    {keyJogMove(keyRight), JogAxis::X, 100},
               {keyJogMove(keyUp), JogAxis::Y, 100},          {keyJogMove(keyDown), JogAxis::Y, -100}};
  for (const auto& m : moves) {
    ASSERT_TRUE(m.move);
    EXPECT_EQ(m.move->axis, m.axis);
    EXPECT_EQ(m.move->distanceUm, m.um);
  }
  for (int other : {0x23 /* End */, 0x24 /* Home */, 0x11 /* Ctrl */, 0x41 /* A */}) EXPECT_EQ(keyJogMove(other), std::nullopt);
}

TEST(ImageClick, ThePictureWithItsEdgesCountsAndOffsetsAreInMicrometres) {
  EXPECT_FALSE(imageClickAt(-1, 500) || imageClickAt(1233, 500) || imageClickAt(600, 1029) || imageClickAt(600, -1));
  const std::optional<ImageClick> corner = imageClickAt(1232, 0);
  ASSERT_TRUE(corner);
  EXPECT_EQ(corner->y, 1028);
  // Edge pixels stay in the frame: its last row, its last column.
  EXPECT_EQ(framePixelOffset(*corner), (1027 * 1232 + 1231) * 4);
  EXPECT_EQ(framePixelOffset(ImageClick{10, 1028, 0}), 10 * 4);

  // 250 px right of and 100 px above the centre (616, 514), 0.5 um per px.
  const ImageClick click{866, 414, 614};
  const StageOffset centre = clickOffsetUm(click, ClickTarget::ImageCentre, 0, 0, 616.0, 1);
  EXPECT_DOUBLE_EQ(centre.xUm, 125.0);
  EXPECT_DOUBLE_EQ(centre.yUm, 50.0);
  // To the spot at (900, 600): 34 px left, 14 px down.
  const StageOffset spot = clickOffsetUm(click, ClickTarget::LaserSpot, 900, 600, 616.0, 1);
  EXPECT_DOUBLE_EQ(spot.xUm, -17.0);
  EXPECT_DOUBLE_EQ(spot.yUm, 7.0);
  EXPECT_DOUBLE_EQ(clickOffsetUm(click, ClickTarget::ImageCentre, 0, 0, 616.0, 3).xUm, 375.0) << "wide view: 3 x";
}

TEST(DialogFields, InfinitiesDoNotRead) {
  for (const char* text : {"inf", "-infinity", "1e39"}) {
    float value = 2.5f;
    EXPECT_FALSE(readFiniteFloat(text, value)) << text;
    EXPECT_EQ(value, 2.5f) << text;
  }
}
