// The arithmetic of the runs, as rows of mapping/mapping_core.scenario (focus
// factor and sweep, map colours, scan area, spot colour, Z creep, tables and
// journals) and spectroscopy/spectroscopy_core.scenario (the I-V sweep and the
// time evolution: edits, voltages, files, the plot, the phases against a
// fake meter and clock): the numbers there are worked out by hand.

#include "runs/mapping/focus.h"
#include "runs/mapping/map_export.h"
#include "runs/mapping/map_journal.h"
#include "runs/mapping/map_render.h"
#include "runs/mapping/scan_area.h"
#include "runs/mapping/scan_points.h"
#include "runs/mapping/z_creep.h"
#include "runs/spectroscopy/curve_plot.h"
#include "runs/spectroscopy/iv_sweep.h"
#include "runs/spectroscopy/spectrum_files.h"
#include "runs/spectroscopy/time_evolution.h"
#include "support/scenario.h"
#include "support/written_text.h"

#include <cstring>
#include <random>
#include <set>

namespace {

using scenario::Args;
using scenario::num;
using scenario::str;

float fl(const Args& a, std::size_t i) { return static_cast<float>(num(a, i)); }
int whole(const Args& a, std::size_t i) { return std::stoi(a.at(i)); }
std::string fstr(double v) {  // a float to its own precision
  char text[32];
  std::snprintf(text, sizeof text, "%.7g", v);
  return text;
}
std::string rgbOf(std::uint32_t c) {
  return std::to_string(c & 0xFF) + " " + std::to_string(c >> 8 & 0xFF) + " " + std::to_string(c >> 16 & 0xFF);
}
template <typename T> std::string list(const std::vector<T>& values) {
  std::string text;
  for (const T& v : values) text += (text.empty() ? "" : " ") + fstr(v);
  return text;
}

// A camera frame, bottom row first, 4 bytes a pixel (the fourth never counts).
std::vector<std::uint8_t> frame;
AutofocusState focus;
FocusSweep sweep(6, 0.0);
MapBuffers map;
ZCreepTracker creep;
MapJournal journal;
std::set<std::wstring> existing;

SpectroscopyRecord record;
float ivStep = 0.01f;
int counter = 0;
CurvePlot plot;

// A fake meter and clock: each reading takes readMs, each pump pumpMs of
// fake time; the n-th pump reports a confirmed stop.
struct FakeBench {
  std::uint64_t nowMs = 0, phaseStartMs = 0;
  unsigned readMs = 1, pumpMs = 10;
  bool clockStuck = false;
  int pumps = 0, stopAfterPumps = -1, redraws = 0, oddRedraws = 0;
  std::vector<int> laser, samplesAtSwitch;  // every setLaser call, and pointIndex then
} bench;

const std::map<std::string, std::vector<float> SpectroscopyRecord::*> arrays = {
    {"voltages", &SpectroscopyRecord::voltages}, {"currents", &SpectroscopyRecord::currents},
    {"times", &SpectroscopyRecord::times}};

const scenario::Steps steps = {
    {"blank", [](const Args&) {
       frame.assign(static_cast<size_t>(frameStrideBytes) * imageHeightPx, 0);
       for (size_t i = 3; i < frame.size(); i += 4) frame[i] = 77;
       return std::string();
     }},
    // paint x y b g r [w h]: a w x h block from (x, y)
    {"paint", [](const Args& a) {
       for (int y = whole(a, 2); y < whole(a, 2) + (a.size() > 7 ? whole(a, 7) : 1); ++y)
         for (int x = whole(a, 1); x < whole(a, 1) + (a.size() > 6 ? whole(a, 6) : 1); ++x)
           for (int c = 0; c < 3; ++c) frame[static_cast<size_t>(y) * frameStrideBytes + x * 4u + c] = static_cast<std::uint8_t>(whole(a, 3 + c));
       return std::string();
     }},
    {"factor", [](const Args& a) {
       return fstr(focusFactor(focus, frame.data(), whole(a, 1), whole(a, 2)));
     }},
    {"mean-blue", [](const Args&) { return fstr(focus.meanBlue); }},
    {"spot", [](const Args& a) {
       return rgbOf(sampleSpotColour(a.size() > 4 ? nullptr : frame.data(), whole(a, 1), whole(a, 2), whole(a, 3)));
     }},
    {"level", [](const Args& a) { return str(focusLevel(fl(a, 1))); }},
    {"noise", [](const Args& a) {
       std::vector<float> f;
       for (std::size_t i = 2; i < a.size(); ++i) f.push_back(fl(a, i));
       return fstr(focusNoise(f.data(), whole(a, 1)));
     }},
    {"sweep", [](const Args& a) { return sweep = FocusSweep(whole(a, 1), num(a, 2)), fstr(sweep.returnZ()); }},
    // samples z0, z0 - dz, ... with the factors given, the last one repeated
    // until the sweep's end: the index of the sample the peak test fired at
    {"samples", [](const Args& a) {
       for (int i = 0; i < sweep.samples(); ++i) {
         const std::size_t k = std::min<std::size_t>(3 + i, a.size() - 1);
         if (sweep.add(num(a, 1) - i * num(a, 2), fl(a, k))) return str(i);
       }
       return std::string("none");
     }},
    {"sweep-end", [](const Args&) {
       return str(sweep.bestIndex()) + " " + fstr(sweep.returnZ()) + " " + sweep.sampleText() + " | " + sweep.bestText();
     }},
    {"below-floor", [](const Args& a) { return str(sweep.belowFloor(num(a, 1))); }},
    // end-text found text...; end-text found =n: a text of n letters
    {"end-text", [](const Args& a) {
       focus.found = whole(a, 1);
       if (a[2][0] == '=') std::memset(focus.text, 'a', std::stoul(a[2].substr(1))), focus.text[std::stoul(a[2].substr(1))] = 0;
       else std::snprintf(focus.text, sizeof focus.text, "%s", scenario::rest(a, 2).c_str());
       endFocusText(focus);
       return std::to_string(std::strlen(focus.text)) + " " + focus.text;
     }},
    {"colour", [](const Args& a) { return rgbOf(mapColour(whole(a, 1))); }},
    {"map-level", [](const Args& a) { return str(mapLevel(fl(a, 1), fl(a, 2), fl(a, 3))); }},
    // map w h values row by row: allocated, filled (values repeat)
    {"map", [](const Args& a) {
       const bool ok = map.allocate(whole(a, 1), whole(a, 2));
       for (int k = 0; ok && a.size() > 3 && k < map.width * map.height; ++k)
         map.intensity[map.index(k % map.width, k / map.width)] = fl(a, 3 + k % (a.size() - 3));
       return str(ok) + " " + str(map.width);
     }},
    // the pixels of the drawing after row r, as colour levels (-: black)
    {"render", [](const Args& a) {
       std::vector<std::uint32_t> pixels;
       renderIntensity(map, whole(a, 1), true, pixels);
       std::string text = fstr(map.scaleMin) + ".." + fstr(map.scaleMax) + ":";
       for (std::uint32_t p : pixels) text += " " + rgbOf(dibPixel(p));
       return text;
     }},
    {"labels", [](const Args&) {
       const ScaleLabels l = scaleLabels(map, 460, 320, "uA");
       return l.top.text + " " + l.bottom.text;
     }},
    {"store", [](const Args& a) {
       if (a.size() > 4) map.storeColour(whole(a, 1), whole(a, 2), whole(a, 3) | whole(a, 4) << 8 | whole(a, 5) << 16);
       else map.storeCurrent(whole(a, 1), whole(a, 2), fl(a, 3));
       return std::string();
     }},
    {"at", [](const Args& a) {
       const int x = whole(a, 1), y = whole(a, 2);
       return fstr(map.intensity[map.index(x, y)]) + " " + fstr(map.red[map.index(x, y)]) + " " +
              fstr(map.green[map.index(x, y)]) + " " + fstr(map.blue[map.index(x, y)]);
     }},
    {"drag-counts", [](const Args& a) { return str(areaDragCounts(whole(a, 1), whole(a, 2), whole(a, 3), whole(a, 4))); }},
    {"area-title", [](const Args& a) {
       return areaQuestionTitle(whole(a, 1), whole(a, 2), whole(a, 3), whole(a, 4), num(a, 5), whole(a, 6));
     }},
    {"marker", [](const Args& a) {
       ScanState s;
       s.pixelsPerStep = fl(a, 1);
       s.scanLeftPx = whole(a, 2);
       s.scanTopPx = whole(a, 3);
       const MarkerPixel m = scanPointMarker(s, whole(a, 4), whole(a, 5));
       return str(m.x) + " " + str(m.y);
     }},
    {"marker-inside", [](const Args& a) { return str(markerPixelInside(whole(a, 1), whole(a, 2))); }},
    {"progress", [](const Args& a) { return mappingProgressText(whole(a, 1), whole(a, 2)); }},
    {"creep-start", [](const Args& a) { return startZCreepTracking(creep, num(a, 1), fl(a, 2)), std::string(); }},
    // n points at factor f: the moves, "ref" for a move to the reference
    {"creep", [](const Args& a) {
       std::string moves;
       for (int n = 0; n < (a.size() > 2 ? whole(a, 2) : 1); ++n) {
         const ZCreepAction m = zCreepStep(creep, fl(a, 1));
         moves += (n ? " " : "") + (m.kind == ZCreepAction::moveToReference ? "ref" : fstr(m.distanceUm));
       }
       return moves + " | " + str(creep.direction) + " " + str(creep.counter);
     }},
    {"journal-header", [](const Args& a) { return journalHeader(map, num(a, 1), fl(a, 2)); }},
    {"map-info", [](const Args& a) { return mapInfoText(map, num(a, 1), fl(a, 2)); }},
    {"journal-row", [](const Args& a) { return journalRow(map, map.intensity, whole(a, 1)); }},
    {"read-journal", [](const Args& a) {
       journal = MapJournal{};
       return readMapJournal(scenario::rest(a, 1), journal) ? journal.infoLine + str(journal.rows.size()) : "no";
     }},
    {"recovered", [](const Args&) { return recoveredTable(journal); }},
    {"table", [](const Args&) { return writtenText([](std::FILE* f) { return writeMapTableText(f, map, map.intensity); }); }},
    // a w x h map of random currents (two of them extreme), written: whether
    // every value reads as printf writes it
    {"random-table", [](const Args& a) {
       map.allocate(whole(a, 1), whole(a, 2));
       std::mt19937 random(7);
       std::uniform_real_distribution<float> current(-3000.0f, 3000.0f);
       for (float& v : map.intensity) v = current(random);
       map.intensity[5] = std::numeric_limits<float>::infinity();
       map.intensity[900] = -1e20f;
       std::string expected;
       char value[64];
       for (int y = 0; y < map.height; ++y, expected += '\n')
         for (int x = 0; x < map.width; ++x)
           expected += (std::snprintf(value, sizeof value, "%f,", static_cast<double>(map.intensity[map.index(x, y)])), value);
       bool ok = false;
       const std::string text = writtenText([](std::FILE* f) { return writeMapTableText(f, map, map.intensity); }, &ok);
       return str(ok && text == expected);
     }},
    {"exists", [](const Args& a) { return existing.insert(std::wstring(a[1].begin(), a[1].end())), std::string(); }},
    {"free-name", [](const Args& a) {
       const std::wstring folder = a[1][0] == '=' ? std::wstring(std::stoul(a[1].substr(1)), L'x') : std::wstring(a[1].begin(), a[1].end());
       const FileExists exists = [&a](const std::wstring& p) { return a.size() > 3 || existing.count(p) > 0; };
       const std::wstring name = freeTextPath(folder, a.at(2).c_str(), exists);
       return name.empty() ? std::string("none") : std::string(name.begin(), name.end());
     }},
    // ---- spectroscopy ----

    {"record", [](const Args&) { return record = SpectroscopyRecord{}, std::string(); }},
    // set field values...: an array is replaced by the values
    {"set", [](const Args& a) {
       if (arrays.count(a[1])) {
         std::vector<float>& v = record.*arrays.at(a[1]);
         v.clear();
         for (std::size_t i = 2; i < a.size(); ++i) v.push_back(fl(a, i));
       }
       if (a[1] == "range") record.voltageRange = fl(a, 2);
       if (a[1] == "branch") record.pointsPerBranch = whole(a, 2);
       if (a[1] == "index") record.pointIndex = whole(a, 2);
       if (a[1] == "cycle") record.onTime = fl(a, 2), record.offTime = fl(a, 3), record.repeatCount = whole(a, 4);
       return std::string();
     }},
    {"get", [](const Args& a) {
       const std::vector<float>& v = record.*arrays.at(a[1]);
       return a.size() > 2 ? fstr(v.at(std::stoul(a[2]))) : str(static_cast<double>(v.size()));
     }},
    // the edit's text in, the text shown (or "no"), the range and the step out
    {"range-edit", [](const Args& a) {
       const IvRangeEdit e = readIvRangeEdit(record, scenario::arg(a, 1).c_str());
       ivStep = e.step;
       return (e.converted ? e.shown : "no") + " " + fstr(record.voltageRange) + " " + fstr(e.step);
     }},
    {"volts", [](const Args& a) {
       std::string text;
       for (std::size_t i = 1; i < a.size(); ++i)
         text += (i > 1 ? " " : "") + fstr(ivSweepVoltage(whole(a, i), record.voltageRange, ivStep, record.pointsPerBranch));
       return text;
     }},
    {"prepare", [](const Args&) { return str(prepareIvSweep(record)); }},
    {"iv-text", [](const Args&) { return writtenText([](std::FILE* f) { return writeIvCurveText(f, record); }); }},
    {"evolution-text", [](const Args&) { return writtenText([](std::FILE* f) { return writeTimeEvolutionText(f, record); }); }},
    {"counter", [](const Args& a) { return counter = whole(a, 1), std::string(); }},
    {"next", [](const Args& a) {
       const FileExists exists = [](const std::wstring& p) { return existing.count(p) > 0; };
       const std::wstring path = nextSpectrumPath(L"D", a[1] == "I-V" ? ivFileStem : timeEvoFileStem, counter, exists);
       return std::string(path.begin(), path.end()) + " " + str(counter);
     }},
    // plot first x y x y ...: whether a curve is drawn
    {"plot", [](const Args& a) {
       std::vector<float> xs, ys;
       for (std::size_t i = 2; i + 1 < a.size(); i += 2) xs.push_back(fl(a, i)), ys.push_back(fl(a, i + 1));
       return str(planCurve(xs.data(), ys.data(), whole(a, 1), static_cast<int>(xs.size()), plot));
     }},
    // the ranges, the points and the values shown | the five axis labels: x,y"text"
    {"plot-points", [](const Args&) {
       std::string text = fstr(plot.xMin) + ".." + fstr(plot.xMax) + " " + fstr(plot.yMin) + ".." + fstr(plot.yMax) + ":";
       for (const PlotPoint& p : plot.points) text += " " + str(p.x) + "," + str(p.y);
       text += " " + plot.xValue.text + " " + plot.yValue.text + "@" + str(plot.yValue.y) + " | ";
       for (const PlacedText& l : plot.axisLabels) text += str(l.x) + "," + str(l.y) + "\"" + l.text + "\"";
       return text;
     }},
    {"phase-edit", [](const Args& a) {
       const std::string shown = readPhaseTimeEdit(scenario::arg(a, 1).c_str(), record.onTime);
       return shown + " " + fstr(record.onTime);
     }},
    {"repeat-edit", [](const Args& a) {
       const std::string shown = readRepeatEdit(a[1].c_str(), record.repeatCount);
       return shown + " " + str(record.repeatCount);
     }},
    // bench readMs stopAtPump [stuck]
    {"bench", [](const Args& a) {
       bench = FakeBench{};
       bench.readMs = static_cast<unsigned>(whole(a, 1));
       bench.stopAfterPumps = whole(a, 2);
       bench.clockStuck = a.size() > 3;
       return std::string();
     }},
    // the run: its end, the samples, the laser's switches and the samples then, the redraws (off ten)
    {"evolve", [](const Args&) {
       const TimeEvolutionDevices devices = {
           [] { bench.nowMs += bench.readMs; return 1.0f; },
           [](int mode) { bench.laser.push_back(mode), bench.samplesAtSwitch.push_back(record.pointIndex); return 0; },
           [](bool reset) -> std::uint64_t {
             if (reset) bench.phaseStartMs = bench.nowMs;
             return bench.clockStuck ? 0 : bench.nowMs - bench.phaseStartMs;
           },
           [](unsigned ms) { bench.nowMs += ms; return ++bench.pumps == bench.stopAfterPumps ? 0 : 1; },
           [](const SpectroscopyRecord& r) { ++bench.redraws, bench.oddRedraws += r.pointIndex % 10 != 0; },
       };
       const char* ends[] = {"completed", "stopped", "store-full"};
       const TimeEvolutionEnd end = runTimeEvolutionCycles(record, devices);
       return std::string(ends[static_cast<int>(end)]) + " " + str(record.pointIndex) + " | " + list(bench.laser) +
              " | " + list(bench.samplesAtSwitch) + " | " + str(bench.redraws) + " " + str(bench.oddRedraws);
     }},
    {"capacity", [](const Args&) { return str(timeEvoCapacity(record)); }},
};

TEST(RunsCore, Mapping) { scenario::runFile(MAPPING_CORE_SCENARIO, steps); }
TEST(RunsCore, Spectroscopy) { scenario::runFile(SPECTROSCOPY_CORE_SCENARIO, steps); }

}  // namespace
