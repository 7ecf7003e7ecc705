#include "runs/spectroscopy/curve_plot.h"
#include "runs/spectroscopy/iv_sweep.h"
#include "runs/spectroscopy/spectrum_files.h"

#include "support/written_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <utility>

namespace {

TEST(IvSweep, TheRangeTypedIsClampedAndNothingTypedKeepsTheStoredRange) {
  // The 1 V sweep itself is pinned point by point through its window; here
  // what the edit does to it. Nothing typed: the stored 2 V with the default
  // 0.01 V step, 50 points a branch (points 49, 50, 149, 150, 199).
  SpectroscopyRecord record;
  record.voltageRange = 2.0f;
  const IvRangeEdit kept = readIvRangeEdit(record, "");
  EXPECT_EQ(record.voltageRange, 2.0f);
  const std::pair<int, float> points[] = {{0, 0.0f}, {49, 0.49f}, {50, 2.0f}, {149, 1.01f}, {150, -2.0f}, {199, -1.51f}};
  for (const auto& [k, v] : points) EXPECT_NEAR(ivSweepVoltage(k, record.voltageRange, kept.step, 50), v, 2e-6f) << k;
  EXPECT_EQ(readIvRangeEdit(record, "0").shown, "0.01");
  EXPECT_EQ(readIvRangeEdit(record, "25").shown, "10.00");
  EXPECT_FALSE(readIvRangeEdit(record, "abc").converted);
  EXPECT_EQ(record.voltageRange, 10.0f);
}

TEST(IvSweep, PreparationClearsThePointsAndMakesRoomAfterATimeEvolution) {
  SpectroscopyRecord record;
  record.voltages[7] = 0.3f;
  record.currents.assign(20, 9.0f);  // a short time evolution's array
  ASSERT_TRUE(prepareIvSweep(record));
  ASSERT_EQ(record.currents.size(), 200u);
  EXPECT_EQ(record.currents[5], 0.0f);
  EXPECT_EQ(record.voltages[7], 0.0f);
}

TEST(SpectrumFiles, TextsByteForByte) {
  SpectroscopyRecord record;
  record.pointsPerBranch = 1;
  record.voltages = {0.0f, 0.5f, -0.5f, -0.25f};
  record.currents = {1.5f, 2.0f, -3.0f};  // a short array writes no more than it has
  EXPECT_EQ(writtenText([&](std::FILE* f) { return writeIvCurveText(f, record); }),
            "V(V), I(uA)\n0.000000,1.500000\n0.500000,2.000000\n-0.500000,-3.000000\n");
  record.times = {0.01f, 0.02f};
  record.pointIndex = 2;
  EXPECT_EQ(writtenText([&](std::FILE* f) { return writeTimeEvolutionText(f, record); }),
            "Time(sec), I(uA)\n0.010000,1.500000\n0.020000,2.000000\n");
}

TEST(SpectrumFiles, NumbersOfExistingFilesAreSkipped) {
  const std::set<std::wstring> existing = {L"D\\I-V(0).txt", L"D\\I-V(1).txt", L"D\\I-V(3).txt"};
  const FileExists exists = [&](const std::wstring& p) { return existing.count(p) > 0; };
  int counter = 0;
  EXPECT_EQ(nextSpectrumPath(L"D", ivFileStem, counter, exists), L"D\\I-V(2).txt");
  EXPECT_EQ(nextSpectrumPath(L"D", ivFileStem, counter, exists), L"D\\I-V(4).txt");
  EXPECT_EQ(counter, 5);
  EXPECT_EQ(nextSpectrumPath(L"D", timeEvoFileStem, counter = 0, exists), L"D\\TimeEvo(0).txt");
}

TEST(CurvePlot, SinglePointWidensBothRanges) {
  const float x = 2.0f, y = 3.0f;
  CurvePlot plot;
  ASSERT_TRUE(planCurve(&x, &y, 0, 1, plot));
  EXPECT_EQ(plot.xMax, static_cast<float>(2.0 + 0.1));
  ASSERT_EQ(plot.points.size(), 1u);
  EXPECT_EQ(plot.points[0].x, 10);
  EXPECT_EQ(plot.points[0].y, 310);
  EXPECT_EQ(plot.xValue.text, "X=2.000");
  EXPECT_EQ(plot.yValue.y, 30);
  const PlacedText expected[5] = {{10, 313, "2.0     "},  {210, 313, "2.0     "},  {400, 313, "2.1      "},
                                  {413, 300, "3.000     "}, {413, 10, "3.100     "}};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(plot.axisLabels[i].text, expected[i].text) << i;
    EXPECT_EQ(plot.axisLabels[i].x, expected[i].x) << i;
    EXPECT_EQ(plot.axisLabels[i].y, expected[i].y) << i;
  }
}

TEST(CurvePlot, ZeroCurrentsLieOnTheBottomEdgeAndBrokenValuesNeverCrash) {
  const float xs[] = {0.0f, 1.0f, 2.0f}, ys[] = {0.0f, 5.0f, 10.0f}, zeros[] = {0.0f, 0.0f, 0.0f};
  CurvePlot plot;
  ASSERT_TRUE(planCurve(xs, zeros, 1, 3, plot));
  EXPECT_EQ(plot.axisLabels[3].text, "0.000     ");
  EXPECT_EQ(plot.axisLabels[4].text, "0.100     ");
  for (const PlotPoint& p : plot.points) EXPECT_EQ(p.y, 310);  // on the bottom edge
  EXPECT_EQ(plot.points.front().x, 10);

  const float broken[] = {std::nanf(""), 1.0f};
  EXPECT_TRUE(planCurve(xs, broken, 0, 2, plot));  // drawn somewhere, never a crash
  EXPECT_FALSE(planCurve(xs, ys, 2, 2, plot));
}

}  // namespace
