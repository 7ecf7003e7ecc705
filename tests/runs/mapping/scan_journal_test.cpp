// Start-up's recovery of the journals an unfinished map scan left, in a
// data folder of its own: nothing is lost and nothing is made twice,
// whatever the journal or the folder does.

#include "result_records.h"
#include "runs/mapping/scan_journal.h"
#include "scan_test_settings.h"
#include "services/data_paths.h"
#include "test_files.h"
#include "ui_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using testfiles::readBytes;

const char journalText[] = "Map width:2, height:2, step:1.4 um, bias voltage:0.500000\r\n0.250000,1.250000,\r\n";
const char tableText[] = "0.250000,1.250000,\r\n0.000000,0.000000,\r\n";

// The Notice of one start-up, with the path of each journal it names.
std::string recoverAndTell() {
  std::string told;
  ui::BoxAnswerer notice([&told](const std::string& title, const std::string& text) {
    told += title + ": " + text;
    return IDOK;
  });
  recoverScanJournals();
  return told;
}

HANDLE holdOpen(const std::wstring& path, DWORD share) {
  return CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr);
}

bool exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

TEST(ScanJournal, RecoveryWritesNewTablesWithRecordsKeepsWhatItCannotReadAndNeverRecoversTwice) {
  scantest::useFreshDataFolder(L"recovery");
  const std::wstring data = dataPaths.dataFolder;
  const auto file = [&](const wchar_t* folder, const wchar_t* name) { return data + L"\\" + folder + L"\\" + name; };
  for (const wchar_t* folder : {L"good", L"unreadable", L"broken", L"undeletable", L"empty"}) {
    CreateDirectoryW((data + L"\\" + folder).c_str(), nullptr);
  }
  ASSERT_TRUE(testfiles::writeBytes(file(L"good", L"Nerin.journal").c_str(), journalText));
  ASSERT_TRUE(testfiles::writeBytes(file(L"good", L"Nerin.journal.json").c_str(),
                                    "{\"result\": \"map scan\", \"settings\": {\"scanStepUm\": 1.4}}\n"));
  ASSERT_TRUE(testfiles::writeBytes(file(L"good", L"ConfocalR.journal").c_str(), journalText));
  // A record whose result was moved away keeps its name taken.
  ASSERT_TRUE(testfiles::writeBytes(file(L"good", L"Nerin.txt.json").c_str(), "{}\n"));
  for (const wchar_t* folder : {L"unreadable", L"undeletable"}) {
    ASSERT_TRUE(testfiles::writeBytes(file(folder, L"Nerin.journal").c_str(), journalText));
  }
  ASSERT_TRUE(testfiles::writeBytes(file(L"broken", L"Nerin.journal").c_str(), "no map\r\n"));
  ASSERT_TRUE(testfiles::writeBytes(file(L"empty", L"Nerin.journal").c_str(), ""));

  // Read by nobody else, yet deletable; and readable, yet not deletable.
  const HANDLE unreadable = holdOpen(file(L"unreadable", L"Nerin.journal"), FILE_SHARE_DELETE);
  const HANDLE undeletable = holdOpen(file(L"undeletable", L"Nerin.journal"), FILE_SHARE_READ);
  const std::string told = recoverAndTell();
  CloseHandle(unreadable);
  CloseHandle(undeletable);

  EXPECT_EQ(readBytes(file(L"good", L"Nerin(0).txt").c_str()), tableText);
  EXPECT_EQ(readBytes(file(L"good", L"ConfocalR.txt").c_str()), tableText);
  EXPECT_EQ(readBytes(file(L"good", L"MapInfo.txt").c_str()),
            "Map width:2, height:2, step:1.4 um, bias voltage:0.500000\r\n");
  EXPECT_EQ(readBytes(file(L"good", L"Nerin.txt.json").c_str()), "{}\n");
  const nlohmann::json nerin = testfiles::recordBeside(file(L"good", L"Nerin(0).txt"));
  EXPECT_EQ(nerin["outcome"], "failed");
  EXPECT_EQ(nerin["recoveredFrom"], "Nerin.journal");
  EXPECT_EQ(nerin["settings"]["scanStepUm"], 1.4) << "the scan's own record";
  EXPECT_EQ(nerin["files"], nlohmann::json({"Nerin(0).txt", "MapInfo.txt"}));
  EXPECT_EQ(testfiles::recordBeside(file(L"good", L"MapInfo.txt")), nerin);
  EXPECT_EQ(testfiles::recordBeside(file(L"good", L"ConfocalR.txt"))["scan"]["widthPoints"], 2)
      << "without the scan's record, what the journal tells";
  EXPECT_TRUE(testfiles::namesMatching(file(L"good", L"*.journal*")).empty());
  EXPECT_FALSE(exists(file(L"empty", L"Nerin.journal"))) << "it held nothing";

  EXPECT_NE(told.find("stay as they are:\n" + ui::narrow(data)), std::string::npos) << told;
  for (const wchar_t* folder : {L"unreadable", L"broken"}) {
    const std::wstring journal = file(folder, L"Nerin.journal");
    EXPECT_TRUE(exists(journal)) << ui::narrow(journal);
    EXPECT_NE(told.find(ui::narrow(journal)), std::string::npos) << told;
    EXPECT_TRUE(testfiles::namesMatching(file(folder, L"*.txt")).empty()) << ui::narrow(folder);
  }
  EXPECT_EQ(readBytes(file(L"unreadable", L"Nerin.journal").c_str()), journalText);
  EXPECT_EQ(readBytes(file(L"undeletable", L"Nerin.txt").c_str()), tableText);
  EXPECT_NE(told.find("could not be deleted; they will not be read again and may be deleted by hand:\n" +
                      ui::narrow(file(L"undeletable", L"Nerin.journal"))),
            std::string::npos)
      << told;

  // The next start: the journal read by nobody else before is read now; the
  // one recovered before is only removed.
  recoverAndTell();
  EXPECT_EQ(readBytes(file(L"unreadable", L"Nerin.txt").c_str()), tableText);
  std::vector<std::wstring> left = testfiles::namesMatching(file(L"undeletable", L"*"));
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::wstring>{L"MapInfo.txt", L"MapInfo.txt.json", L"Nerin.txt", L"Nerin.txt.json"}));
}

}  // namespace
