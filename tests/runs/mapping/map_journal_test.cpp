#include "runs/mapping/map_journal.h"

#include "runs/mapping/map_export.h"
#include "support/written_text.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

// A 3 x 4 map with distinct values (an infinite one among them, written by
// the C library's own text).
MapBuffers sampleMap() {
  MapBuffers map;
  map.allocate(3, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 3; ++x) map.intensity[map.index(x, y)] = -1.5f + static_cast<float>(x) + 10.25f * y;
  map.intensity[map.index(1, 1)] = std::numeric_limits<float>::infinity();
  return map;
}

TEST(MapJournal, RecoveredTableEqualsTheTableOfTheScanCutAfterItsLastJournaledRow) {
  const MapBuffers map = sampleMap();
  std::string journal = journalHeader(map, 1.4, 0.5f);
  EXPECT_EQ(journal, "Map width:3, height:4, step:1.4 um, bias voltage:0.500000\r\n");
  for (int y = 0; y < 2; ++y) journal += journalRow(map, map.intensity, y);
  EXPECT_EQ(journalRow(map, map.intensity, 0), "-1.500000,-0.500000,0.500000,\r\n");

  // What the scan would have written had it stopped after row 1.
  MapBuffers cut = map;
  for (int y = 2; y < 4; ++y)
    for (int x = 0; x < 3; ++x) cut.intensity[cut.index(x, y)] = 0.0f;
  const std::string expected = writtenText([&](std::FILE* f) { return writeMapTableText(f, cut, cut.intensity); });

  // Whatever a crash left of row 2 is not a row.
  const std::string row2 = journalRow(map, map.intensity, 2);
  for (const std::string& tail : {std::string(), row2.substr(0, 9), row2.substr(0, row2.size() - 2),
                                  std::string("1.000000,2.000000,\r\n")}) {
    MapJournal read;
    ASSERT_TRUE(readMapJournal(journal + tail, read)) << tail;
    EXPECT_EQ(read.infoLine, mapInfoText(map, 1.4, 0.5f));
    EXPECT_EQ(read.rows.size(), 2u) << tail;
    EXPECT_EQ(recoveredTable(read), expected) << tail;
  }
}

TEST(MapJournal, AJournalWithoutASensibleFirstLineIsNotRead) {
  for (const char* text : {"", "Map width:3, height:4, step:1.0 um, bias voltage:0.000000",  // no line end
                           "Map width:0, height:4, step:1.0 um, bias voltage:0.000000\r\n",
                           "Map width:100000, height:100000, step:1.0 um, bias voltage:0.000000\r\n",
                           "0.000000,0.000000,\r\n"}) {
    MapJournal read;
    EXPECT_FALSE(readMapJournal(text, read)) << text;
  }
  // Only the rows the map has.
  MapJournal read;
  ASSERT_TRUE(readMapJournal("Map width:1, height:1, step:1.0 um, bias voltage:0.000000\r\n1.0,\r\n2.0,\r\n", read));
  EXPECT_EQ(recoveredTable(read), "1.0,\n");
}

}  // namespace
