#include "results/image_names.h"
#include "views/scale_bar.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

TEST(LiveScaleBar, At218UmTheBarStandsFor50UmFrom849To1132) {
  const LiveScaleBar bar = liveScaleBar(218.0, 1.0, 1232, 1028);
  EXPECT_EQ(bar.lengthUm, 50);
  EXPECT_EQ(bar.left, 849);
  EXPECT_EQ(bar.right, 1132);
  EXPECT_EQ(bar.top, 978);
  EXPECT_EQ(bar.bottom, 973);
  EXPECT_EQ(bar.labelX, 1082);
  EXPECT_EQ(bar.labelY, 982);
}

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

TEST(FolderStamp, YearMonthDayHourMinute) {
  EXPECT_EQ(folderStamp(2025, 12, 5, 14, 58), L"251205_14-58");
  EXPECT_EQ(folderStamp(2031, 1, 9, 0, 3), L"310109_00-03");
}

TEST(FileNames, WindowImagesTakeTheFirstFreeSuffix) {
  std::set<std::wstring> files;
  auto exists = [&](const std::wstring& name) { return files.count(name) > 0; };
  for (const wchar_t* expected : {L"F\\optic.jpg", L"F\\optic_0.jpg", L"F\\optic_1.jpg"}) {
    const std::wstring name = uniqueFileName(L"F\\optic", L"jpg", exists);
    EXPECT_EQ(name, expected);
    files.insert(name);
  }
  files.erase(L"F\\optic_0.jpg");
  EXPECT_EQ(uniqueFileName(L"F\\optic", L"jpg", exists), L"F\\optic_0.jpg") << "a gap is filled";
}

TEST(FileNames, CountedNamesSkipPicturesAnEarlierRunLeft) {
  std::set<std::wstring> files = {L"F\\camera(0).jpg", L"F\\camera(1).jpg"};
  auto exists = [&](const std::wstring& name) { return files.count(name) > 0; };
  int counter = 0;
  EXPECT_EQ(nextCountedFileName(L"F", L"camera", counter, exists), L"F\\camera(2).jpg");
  EXPECT_EQ(counter, 3);
  EXPECT_EQ(nextCountedFileName(L"G", L"camera", counter, exists), L"G\\camera(3).jpg")
      << "the counter never goes back, also in a new folder";
  EXPECT_EQ(counter, 4);
}

}  // namespace
