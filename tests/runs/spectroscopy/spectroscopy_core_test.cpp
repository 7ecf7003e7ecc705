// The arithmetic of the I-V sweep and the time evolution (edits, voltages,
// files, the plot, the phases against a fake meter and clock), as rows of
// spectroscopy_core.scenario: the numbers there are worked out by hand.

#include "runs/spectroscopy/curve_plot.h"
#include "runs/spectroscopy/iv_sweep.h"
#include "runs/spectroscopy/spectrum_files.h"
#include "runs/spectroscopy/time_evolution.h"
#include "support/scenario.h"
#include "support/written_text.h"

#include <fstream>
#include <iterator>
#include <set>

namespace {

using scenario::Args;
using scenario::str;

float fl(const Args& a, std::size_t i) { return std::stof(a.at(i)); }
int whole(const Args& a, std::size_t i) { return std::stoi(a.at(i)); }
std::string fstr(double v) {  // a float to its own precision
  char text[32];
  std::snprintf(text, sizeof text, "%.7g", v);
  return text;
}
template <typename T> std::string list(const std::vector<T>& values) {
  std::string text;
  for (const T& v : values) text += (text.empty() ? "" : " ") + fstr(v);
  return text;
}

SpectroscopyRecord record;
float ivStep = 0.01f;
std::set<std::wstring> existing;
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
       const IvRangeEdit e = readIvRangeEdit(record, a.size() > 1 ? a[1].c_str() : "");
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
    {"exists", [](const Args& a) { return existing.insert(std::wstring(a[1].begin(), a[1].end())), std::string(); }},
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
    {"plot-points", [](const Args&) {
       std::string text = fstr(plot.xMin) + ".." + fstr(plot.xMax) + " " + fstr(plot.yMin) + ".." + fstr(plot.yMax) + ":";
       for (const PlotPoint& p : plot.points) text += " " + str(p.x) + "," + str(p.y);
       return text + " " + plot.xValue.text + " " + plot.yValue.text + "@" + str(plot.yValue.y);
     }},
    // the five axis labels: x,y"text"
    {"plot-labels", [](const Args&) {
       std::string text;
       for (const PlacedText& l : plot.axisLabels) text += str(l.x) + "," + str(l.y) + "\"" + l.text + "\"";
       return text;
     }},
    {"phase-edit", [](const Args& a) {
       const std::string shown = readPhaseTimeEdit(a.size() > 1 ? a[1].c_str() : "", record.onTime);
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

TEST(SpectroscopyCore, Scenarios) {
  std::ifstream file(SPECTROSCOPY_CORE_SCENARIO);
  ASSERT_TRUE(file) << SPECTROSCOPY_CORE_SCENARIO;
  scenario::run("spectroscopy_core.scenario", std::string(std::istreambuf_iterator<char>(file), {}), steps);
}

}  // namespace
