#include "console/image_click.h"
#include "services/edit_field_values.h"
#include "views/jog_pad.h"

#include <gtest/gtest.h>

#include <optional>

TEST(EditFieldValues, NumbersAreLimitedAndTextThatIsNoNumberKeepsTheSetting) {
  const struct {
    const char* text;
    int expected;
  } ints[] = {{"900", 800}, {"3", 5}, {"250", 250}, {"12abc", 12}, {" 70", 70},
              {"999999999", 800}, {"-99999999", 5}, {"", 500}, {"abc", 500}, {"-", 500}};
  for (const auto& c : ints) EXPECT_EQ(intFieldOr(c.text, 500, 5, 800), c.expected) << c.text;

  const struct {
    const char* text;
    double low, high, expected;
  } floats[] = {{"0.1", 0.25, 20.0, 0.25},   {"25", 0.25, 20.0, 20.0},  {"-20", -10.1, 10.0, -10.1},
                {"12", -10.1, 10.0, 10.0},   {"nan", -10.1, 10.0, 1.5}, {"x", -10.1, 10.0, 1.5},
                {"1e39", -10.1, 10.0, 10.0}, {"7", 0.1, 5.0, 5.0}};
  for (const auto& c : floats) EXPECT_DOUBLE_EQ(floatFieldOr(c.text, 1.5, c.low, c.high), c.expected) << c.text;
  // Single precision, as the field reads it.
  EXPECT_EQ(floatFieldOr("0.3", 1.0, 0.25, 20.0), static_cast<double>(0.3f));
}

TEST(EditFieldValues, GuardedFieldsActOnlyOnANumber) {
  EXPECT_EQ(guardedIntField("", -15000, 15000), std::nullopt);
  EXPECT_EQ(guardedIntField("up", -15000, 15000), std::nullopt);
  EXPECT_EQ(guardedIntField("-20000", -15000, 15000), -15000);
  EXPECT_EQ(guardedIntField("6000", -15000, 5000), 5000);
  EXPECT_EQ(guardedDoubleField("5.000000", 0.0, 5.0), 5.0);
  EXPECT_EQ(guardedDoubleField("nan", 0.0, 5.0), std::nullopt);
}

TEST(EditFieldValues, ARiseOf2000UmOrMoreAsksAboutTheWorkingDistance) {
  EXPECT_TRUE(zMoveNeedsWarning(5000, 3000.0));
  EXPECT_FALSE(zMoveNeedsWarning(5000, 3000.5));
  EXPECT_FALSE(zMoveNeedsWarning(-5000, 0.0));
  EXPECT_EQ(zWarningText(5000, 7.0f * 1000.0),
            "Are you sure the distance from objective lens to sample greater than 5000 um.\n"
            "                          - Working Distance: 7000 um");
}

TEST(JogPad, ButtonsContainOnlyTheirInsideAndMoveByTheirStep) {
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

  const struct {
    JogButton button;
    JogAxis axis;
    double um;
  } moves[] = {{jogMinusX, JogAxis::X, -20}, {jogPlusX, JogAxis::X, 20}, {jogPlusY, JogAxis::Y, 20},
               {jogMinusY, JogAxis::Y, -20}, {jogPlusZ, JogAxis::Z, 10}, {jogMinusZ, JogAxis::Z, -10}};
  for (const auto& m : moves) {
    const JogMove move = jogPadMove(pad, m.button);
    EXPECT_EQ(move.axis, m.axis);
    EXPECT_EQ(move.distanceUm, m.um);
  }
}

TEST(JogPad, ArrowsMoveXAndYByHundredPageKeysZByTenOtherKeysNothing) {
  const struct {
    int key;
    JogAxis axis;
    double um;
  } keys[] = {{keyPageUp, JogAxis::Z, 10},  {keyPageDown, JogAxis::Z, -10}, {keyLeft, JogAxis::X, -100},
              {keyRight, JogAxis::X, 100},  {keyUp, JogAxis::Y, 100},       {keyDown, JogAxis::Y, -100}};
  for (const auto& k : keys) {
    const std::optional<JogMove> move = keyJogMove(k.key);
    ASSERT_TRUE(move) << k.key;
    EXPECT_EQ(move->axis, k.axis);
    EXPECT_EQ(move->distanceUm, k.um);
  }
  for (int other : {0x23 /* End */, 0x24 /* Home */, 0x11 /* Ctrl */, 0x41 /* A */}) EXPECT_EQ(keyJogMove(other), std::nullopt);
}

TEST(ImageClick, ThePictureWithItsEdgesCountsAndEdgePixelsStayInTheFrame) {
  EXPECT_FALSE(imageClickAt(-1, 500));
  EXPECT_FALSE(imageClickAt(1233, 500));
  EXPECT_FALSE(imageClickAt(600, 1029));
  EXPECT_FALSE(imageClickAt(600, -1));
  const std::optional<ImageClick> corner = imageClickAt(1232, 0);
  ASSERT_TRUE(corner);
  EXPECT_EQ(corner->y, 1028);
  EXPECT_EQ(framePixelOffset(*corner), (1027 * 1232 + 1231) * 4);
  EXPECT_EQ(framePixelOffset(ImageClick{10, 1028, 0}), 10 * 4);
}

TEST(ImageClick, OffsetsToTheCentreOrTheSpotInMicrometres) {
  const ImageClick click{866, 414, 614};  // 250 px right of and 100 px above the centre
  const StageOffset centre = clickOffsetUm(click, ClickTarget::ImageCentre, 0, 0, 616.0, 1);
  EXPECT_DOUBLE_EQ(centre.xUm, 125.0);
  EXPECT_DOUBLE_EQ(centre.yUm, 50.0);
  const StageOffset spot = clickOffsetUm(click, ClickTarget::LaserSpot, 900, 600, 616.0, 1);
  EXPECT_DOUBLE_EQ(spot.xUm, -17.0);
  EXPECT_DOUBLE_EQ(spot.yUm, 7.0);
  const StageOffset wide = clickOffsetUm(click, ClickTarget::ImageCentre, 0, 0, 616.0, 3);
  EXPECT_DOUBLE_EQ(wide.xUm, 375.0);
}
