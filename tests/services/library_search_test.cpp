#include "services/library_search.h"

#include <gtest/gtest.h>

TEST(LibrarySearch, OnlyAbsolutePathFoldersInTheirOrder) {
  const auto folders = absolutePathFolders(
      L"C:\\Windows\\system32;.;bin;C:relative;;\"C:\\Program Files\\Basler\\pylon 6\\Runtime\\x64\";"
      L"\\\\server\\share\\tools; D:/gpib ;\\rooted-without-drive;\\\\");
  const std::vector<std::wstring> expected = {L"C:\\Windows\\system32",
                                              L"C:\\Program Files\\Basler\\pylon 6\\Runtime\\x64",
                                              L"\\\\server\\share\\tools", L"D:/gpib"};
  EXPECT_EQ(folders, expected);
  EXPECT_TRUE(absolutePathFolders(L"").empty());
  EXPECT_TRUE(absolutePathFolders(L";;.;..\\x").empty());
}
