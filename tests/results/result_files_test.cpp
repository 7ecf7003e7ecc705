// No result file is ever replaced. Many saves of every kind, spread
// over one run of the program and three restarts within the same minute
// (the dated folder has minutes only, so all four runs write into one
// folder while every name counter starts again at 0), leave as many files
// as were written. A folder that cannot be made, and one that cannot be
// written (read_only_folder.sh prepares one around this program), get the
// messages that tell the operator, and the latter keeps every byte it held.

#include "devices/camera/camera.h"
#include "imaging_fixture.h"
#include "main_window_loop.h"
#include "program_run.h"
#include "result_records.h"
#include "results/result_files.h"
#include "results/result_record_files.h"
#include "runs/mapping/map_files.h"
#include "runs/mapping/map_scan.h"
#include "runs/spectroscopy/spectroscopy_runs.h"
#include "runs/spectroscopy/spectroscopy_windows.h"
#include "services/data_paths.h"
#include "services/program_state.h"
#include "ui_driver.h"
#include "views/image_files.h"

#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

// A hundred with NERIN_RELIABILITY=full (scripts/reliability.sh); otherwise
// eight, two per run, which still restarts and collides every name counter.
const int savesPerKind = [] {
  const char* level = std::getenv("NERIN_RELIABILITY");
  return level && std::string(level) == "full" ? 100 : 8;
}();
constexpr int runs = 4;  // one run and three restarts

const int area[4] = {10, 20, 110, 120};

// A small window for the map-window pictures.
HWND mapWindow() {
  static HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE | SS_BLACKRECT, 0, 0, 160, 120,
                                       nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  return window;
}

// MapInfo, the view snapshot and the map-window pictures get their records
// from the map scan that saves them; here as there.
void recorded(const std::vector<std::wstring>& paths) { writeRecordsBeside(paths, recordNow("map scan")); }
void recorded(const std::wstring& path) {
  if (!path.empty()) recorded(std::vector<std::wstring>{path});
}
std::wstring saved;

// One save of each kind, and the files all saves leave, by pattern.
const struct Kind {
  std::function<void()> save;
  const wchar_t* pattern;
  int files;
} kinds[] = {
    {[] { recorded(saveMaps(mapBuffers, true)); }, L"Nerin*.txt", savesPerKind},
    {[] {}, L"Confocal?*.txt", 3 * savesPerKind},  // the same saves, with the confocal option
    {[] { recorded(writeMapInfo(mapBuffers, 1.0, 0.0f)); }, L"MapInfo*.txt", savesPerKind},
    {[] { saveIvCurve(spectroscopy); }, L"I-V(*).txt", savesPerKind},
    {[] { saveTimeEvolution(spectroscopy); }, L"TimeEvo(*).txt", savesPerKind},
    {[] { saveCameraImageCommand(); }, L"camera(*).jpg", savesPerKind},
    {[] { saveWindowImage(dataPaths, hMainWnd); }, L"optic.jpg", 1},
    {[] {}, L"optic_*.jpg", savesPerKind - 1},
    {[] { saveViewSnapshot(dataPaths, hMainWnd, 1, "optics", area, &saved), recorded(saved); }, L"optics(*).jpg",
     savesPerKind},
    {[] { saveMapWindowImage(dataPaths, mapWindow(), "CONFOCAL", &saved), recorded(saved); }, L"CONFOCAL(*).jpg",
     savesPerKind},
};

// The files of the folder matching the pattern.
int count(const std::wstring& folder, const wchar_t* pattern) {
  return static_cast<int>(testfiles::namesMatching(folder + L"\\" + pattern).size());
}

std::wstring temp() {
  wchar_t path[MAX_PATH];
  GetTempPathW(MAX_PATH, path);
  return path;
}

// Results go into this folder, made for "this minute".
void useFolder(const std::wstring& parent, const wchar_t* stamp) {
  std::swprintf(dataPaths.dataFolder, std::size(dataPaths.dataFolder), L"%ls", parent.c_str());
  std::swprintf(dataPaths.folderStamp, std::size(dataPaths.folderStamp), L"%ls", stamp);
  dataPaths.measurementFolderMade = 1;
  makeMeasurementFolder(dataPaths, false);
}

class ResultFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    prepareMainWindow();
    confocalEnabled = 0;
    wideViewShown = 0;
    ASSERT_TRUE(mapBuffers.allocate(2, 2));
    camera.grab(1);
  }
};

TEST_F(ResultFiles, AHundredSavesOfEachKindOverFourRunsInOneMinuteReplaceNothing) {
  useFolder(temp(), (L"r" + std::to_wstring(GetCurrentProcessId())).c_str());
  confocalEnabled = 1;
  const std::wstring folder = dataPaths.measurementFolder;
  // Message boxes nobody expects are answered and counted, so that a save
  // gone wrong fails the test instead of holding it.
  ui::BoxAnswerer boxes([](const std::string&, const std::string&) { return IDOK; });
  for (int run = 0; run < runs; ++run) {
    // A restart: the counters that number the names start at 0 again; the
    // stamp of the same minute names the same folder.
    cameraImageCount = viewSnapshotCount = windowImageCount = ivFileCounter = timeEvoFileCounter = 0;
    for (int save = 0; save < savesPerKind / runs; ++save) {
      for (const Kind& kind : kinds) kind.save();
    }
  }
  int written = 0, found = 0;
  for (const Kind& kind : kinds) {
    EXPECT_EQ(count(folder, kind.pattern), kind.files) << ui::narrow(kind.pattern);
    found += count(folder, kind.pattern), written += kind.files;
  }
  // Figure of the report: files written against files found.
  std::printf("result files written %d, found %d; records found %d\n", written, found, count(folder, L"*.json"));
  EXPECT_EQ(boxes.answered(), 0) << "no save failed";
  EXPECT_EQ(count(folder, L"*.json"), written);
  EXPECT_EQ(testfiles::recordsBesideResults(folder).size(), static_cast<size_t>(written));

  // A record left behind without its result (the result moved away) keeps
  // the name taken: the next run's file goes past it.
  const std::wstring orphan = folder + L"\\TimeEvo(" + std::to_wstring(savesPerKind) + L").txt.json";
  ASSERT_TRUE(testfiles::writeBytes(orphan.c_str(), "{}\n"));
  timeEvoFileCounter = 0;
  saveTimeEvolution(spectroscopy);
  EXPECT_EQ(testfiles::readBytes(orphan.c_str()), "{}\n");
  const std::wstring next = folder + L"\\TimeEvo(" + std::to_wstring(savesPerKind + 1) + L").txt";
  EXPECT_EQ(testfiles::readBytes(next.c_str()).rfind("Time(sec)", 0), 0u);
}

// Every save into the folder dataPaths names, each failing: what the
// operator is told, save by save; the map tables last, since a failed table
// sends the next save to a new folder.
void expectEveryFailureTold() {
  const char* again = "Try save it again, please.\n";
  const struct {
    std::function<void()> save;
    const wchar_t* title;  // null: nothing is reported
    const char* text;
  } saves[] = {
      {[] { saveIvCurve(spectroscopy); }, L"I-V save Process", "File saving error\n"},
      {[] { saveTimeEvolution(spectroscopy); }, L"I-V save Process", "File saving error\n"},
      {[] { saveCameraImageCommand(); }, L"Error in saving image", again},
      {[] { saveWindowImage(dataPaths, hMainWnd); }, L"Error in saving image", again},
      {[] { saveViewSnapshot(dataPaths, hMainWnd, 1, "optics", area); }, L"Error in saving image",
       "The picture of the camera view with the scan area could not be saved.\n"},
      {[] { saveMapWindowImage(dataPaths, mapWindow(), "Nerin"); }, L"Error in saving image", again},
      {[] { writeMapInfo(mapBuffers, 1.0, 0.0f); }, nullptr, ""},
      {[] { saveMaps(mapBuffers, false); }, L"Image save Process", "File saving error. New folder will be made.\n"},
  };
  for (const auto& s : saves) {
    if (!s.title) {
      s.save();
      continue;
    }
    ui::DialogAnswerer ok(s.title, {IDOK}, 30000);
    s.save();
    // Served while the answerer looks for a box that may never come.
    mainwindow::pumpUntil([&] { return ok.answered(); });
    EXPECT_TRUE(ok.finish()) << ui::narrow(s.title);
    EXPECT_EQ(ui::narrow(ok.text()), s.text);
  }
  EXPECT_EQ(dataPaths.measurementFolderMade, 0) << "the next save makes a new folder";
}

TEST_F(ResultFiles, AFolderThatCannotBeMadeGetsTheMessages) {
  // A file where the folder would be.
  const std::wstring stamp = L"f" + std::to_wstring(GetCurrentProcessId());
  ASSERT_TRUE(testfiles::writeBytes((temp() + stamp).c_str(), "not a folder"));
  useFolder(temp(), stamp.c_str());
  expectEveryFailureTold();
}

TEST_F(ResultFiles, AFolderThatCannotBeWrittenGetsTheMessagesAndKeepsWhatItHolds) {
  const char* unwritable = std::getenv("NERIN_READ_ONLY_FOLDER");
  if (!unwritable || !*unwritable) GTEST_SKIP() << "no read-only folder could be made (run under read_only_folder.sh)";
  const std::wstring folder = ui::windowsPathOf(unwritable);
  const size_t slash = folder.find_last_of(L'\\');
  useFolder(folder.substr(0, slash), folder.substr(slash + 1).c_str());
  // Every file of the folder, byte for byte.
  const auto contents = [&] {
    std::map<std::wstring, std::string> files;
    for (const std::wstring& name : testfiles::namesMatching(folder + L"\\*"))
      files[name] = testfiles::readBytes((folder + L"\\" + name).c_str());
    return files;
  };
  const auto before = contents();
  ASSERT_FALSE(before.empty()) << "the folder should hold earlier results";
  expectEveryFailureTold();
  EXPECT_EQ(contents(), before);
}

}  // namespace
