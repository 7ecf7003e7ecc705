#include "runs/mapping/map_export.h"

#include "support/written_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <set>

namespace {

TEST(MapExport, LargeTableEqualsPrintfOfEveryValue) {
  MapBuffers map;
  map.allocate(317, 264);  // the largest live-view map: many buffer flushes
  std::mt19937 random(7);
  std::uniform_real_distribution<float> current(-3000.0f, 3000.0f);
  for (float& v : map.intensity) v = current(random);
  map.intensity[5] = std::numeric_limits<float>::infinity();  // the library's own text
  map.intensity[900] = -1e20f;
  std::string expected;
  char value[64];
  for (int y = 0; y < map.height; ++y) {
    for (int x = 0; x < map.width; ++x) {
      std::snprintf(value, sizeof value, "%f,", static_cast<double>(map.intensity[map.index(x, y)]));
      expected += value;
    }
    expected += '\n';
  }
  bool ok = false;
  EXPECT_EQ(writtenText([&](std::FILE* f) { return writeMapTableText(f, map, map.intensity); }, &ok), expected);
  EXPECT_TRUE(ok);
}

TEST(MapExport, FreeNamesNeverReplaceAFileAndGiveUpRatherThanOverflow) {
  std::set<std::wstring> existing;
  const FileExists exists = [&](const std::wstring& path) { return existing.count(path) > 0; };
  // The numbering itself is pinned by the saves through the main window.
  existing.insert(L"D\\Nerin.txt");
  EXPECT_EQ(freeTextPath(L"D", "Nerin", exists), L"D\\Nerin(0).txt");
  EXPECT_EQ(freeTextPath(std::wstring(396, L'x'), "Nerin", exists), L"");  // longer than a name may be
  EXPECT_EQ(freeTextPath(L"D", "MapInfo", [](const std::wstring&) { return true; }), L"");  // gives up
}

}  // namespace
