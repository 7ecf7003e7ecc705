#include "runs/mapping/map_export.h"

#include "support/written_text.h"

#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <set>

namespace {

TEST(MapExport, TableIsOneLineOfValuesWithCommasPerRow) {
  MapBuffers map;
  map.allocate(3, 2);
  const float rows[2][3] = {{0.5f, 1.0f, 1.5f}, {0.0f, -0.25f, 2.0f}};
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) map.intensity[map.index(x, y)] = rows[y][x];
  EXPECT_EQ(writtenText([&](std::FILE* f) { return writeMapTableText(f, map, map.intensity); }),
            "0.500000,1.000000,1.500000,\n0.000000,-0.250000,2.000000,\n");
  EXPECT_EQ(mapInfoText(map, 0.5, -0.25f), "Map width:3, height:2, step:0.5 um, bias voltage:-0.250000\n");
}

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

TEST(MapExport, FreeNamesNeverReplaceAFile) {
  std::set<std::wstring> existing;
  const FileExists exists = [&](const std::wstring& path) { return existing.count(path) > 0; };
  for (const wchar_t* expected : {L"D\\Nerin.txt", L"D\\Nerin(0).txt", L"D\\Nerin(1).txt"}) {
    const std::wstring path = freeTextPath(L"D", "Nerin", exists);
    EXPECT_EQ(path, expected);
    existing.insert(path);
  }
  EXPECT_EQ(freeTextPath(std::wstring(396, L'x'), "Nerin", exists), L"");  // longer than a name may be
  EXPECT_EQ(freeTextPath(L"D", "MapInfo", [](const std::wstring&) { return true; }), L"");  // gives up
  EXPECT_EQ(mapTableCount(false), 1);
  EXPECT_STREQ(mapTables[3].prefix, "ConfocalB");
}

}  // namespace
