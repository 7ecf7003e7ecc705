#include "results/image_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

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
