#include "console/remote/remote_commands.h"

#include "console/remote/remote_protocol.h"
#include "views/live_display.h"
#include "results/result_record.h"
#include "results/result_record_files.h"
#include "runs/mapping/area_selection.h"
#include "runs/mapping/scan_area.h"
#include "devices/measurement/current_reading.h"
#include "devices/motion/arduino_link.h"
#include "services/objective_table.h"
#include "devices/motion/stage_axis.h"
#include "resources/resource_ids.h"
#include "services/device_faults.h"
#include "console/dialog_fields.h"
#include "services/edit_field_values.h"
#include "services/instrument_safety.h"
#include "console/main_controls.h"
#include "services/message_pump.h"
#include "services/program_state.h"
#include "services/reporting.h"
#include "services/ui_handles.h"
#include "runs/spectroscopy/spectroscopy_windows.h"

#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// Posted to the link's window: the run asked for begins.
constexpr UINT beginRunMessage = WM_APP + 10;
// Looks after the waiting "wait" requests while there are any.
constexpr UINT_PTR waitTimer = 20;
constexpr UINT waitTimerPeriodMs = 100;

enum class RunPhase { none, posted, running };

// The run the remote control started, from its request to its end.
struct RemoteRun {
  RunPhase phase = RunPhase::none;
  RemoteRequest request;        // the request that asked for it
  unsigned client = 0;          // the client that asked
  bool ended = false;           // its end was told
  bool commandUnderWay = false;  // its command has not returned yet
  std::vector<std::wstring> files;  // the result files whose records it wrote
  std::string outcome;              // as its last record says
  std::vector<std::string> faults;
};
RemoteRun run;
// The end of the last run the remote control started, and how many have ended.
RemoteRunEnd lastEnd;
unsigned runsEnded = 0;

struct Wait {
  std::int64_t id;
  ULONGLONG deadline;
  unsigned runsEndedBefore;  // a run that ends after it came is the one it waits for
  bool forConsoleRun;        // the run under way was started at the console
};
std::vector<Wait> waits;

std::string utf8(const std::wstring& text) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
  std::string out(static_cast<size_t>(bytes > 0 ? bytes : 0), '\0');
  if (bytes > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), bytes, nullptr,
                        nullptr);
  }
  return out;
}

std::string windowText(HWND window) {
  char text[256] = {};
  if (window) GetWindowTextA(window, text, sizeof text);
  return text;
}

void showRemote(const std::string& text) { showInfo(("Remote: " + text).c_str()); }

void reply(const RemoteRequest& r, const RemoteJson& fields = RemoteJson::object()) {
  sendRemoteLine(remoteReply(r.id, fields));
}

void refuse(const RemoteRequest& r, const std::string& why) {
  showRemote(r.shown + " refused: " + why);
  sendRemoteLine(remoteError(r.id, why));
}

// A run of the remote control's is over once its end was told, also while
// its command still shows the operator what failed.
bool ourRunUnderWay() { return run.phase == RunPhase::posted || (run.phase == RunPhase::running && !run.ended); }

bool runUnderWay() { return ourRunUnderWay() || scanRunning; }

// Why the console could not take a command that drives a device now, as a
// click could not; empty when it can.
std::string busyReason() {
  if (outputsLatchedOff() || programEnding) return "the program is ending";
  if (runUnderWay()) return "a run is under way";
  if (deviceBusy || pumpActive) return "the console is busy with a device";
  if (areaDragActive) return "the operator is selecting an area";
  // A dialog or a message box of the console is open: the operator could
  // click nothing in the main window either.
  if (!hMainWnd || !IsWindowEnabled(hMainWnd)) return "a dialog or message is open on the console";
  if (run.commandUnderWay) return "the last run is still ending";
  return {};
}

// A number as a field of the main window holds it: at most 9 characters.
std::string fieldText(double value) {
  char text[32] = {};
  for (int digits = 7; digits > 0; --digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    if (std::strlen(text) < editFieldTextCapacity) break;
  }
  return text;
}

// The text the operator would type, and Enter: the field's own handler
// takes it, limits it and acts as for the operator.
void typeIntoField(HWND field, const std::string& text) {
  SetWindowTextA(field, text.c_str());
  SendMessageW(field, WM_KEYDOWN, VK_RETURN, 0);
}

int magnificationOf(int objective) {
  static constexpr int magnifications[objectiveCount] = {5, 10, 20, 50, 100};
  return isObjectiveIndex(objective) ? magnifications[objective] : 0;
}

RemoteJson positionFields() {
  return {{"x", stageX.positionUm}, {"y", stageY.positionUm}, {"z", stageZ.positionUm}};
}

RemoteJson areaFields() {
  const ScanState& s = scanState;
  return {{"columns", s.mapWidth}, {"rows", s.mapHeight}, {"minutes", s.expectedMinutes}};
}

RemoteJson runFields() {
  if (!runUnderWay()) return nullptr;
  const char* kind = ourRunUnderWay() ? remoteRunName(run.request.command) : "console";
  return {{"kind", kind}, {"progress", windowText(hProgressEdit)}};
}

RemoteJson statusFields() {
  const LightSources& light = lightSources;
  RemoteJson current = nullptr;
  const std::string shown = windowText(hCurrentEdit);
  char* end = nullptr;
  const double uA = std::strtod(shown.c_str(), &end);
  if (end != shown.c_str() && std::isfinite(uA)) current = uA;
  const bool meterKnown = currentEquipment >= 0 && currentEquipment < static_cast<int>(std::size(equipmentNames));
  return {
      {"objective", magnificationOf(objectiveSettings.current)},
      {"position", positionFields()},
      {"laser", {{"on", light.laserOn != 0}, {"level", light.laserLevel}}},
      {"lamp", {{"on", light.illuminationState != 0}, {"level", light.illuminationLevelState ? 3.0 : 0.0}}},
      {"bias", decimalOf(biasVoltage)},
      {"limit", decimalOf(currentLimit)},
      {"current", current},
      {"meter", meterKnown ? equipmentNames[currentEquipment] : ""},
      {"step", scanState.stepUm},
      {"area", areaFields()},
      {"run", runFields()},
  };
}

// ---- Runs ----

void answerWaits(bool runEnded) {
  const ULONGLONG now = GetTickCount64();
  for (auto it = waits.begin(); it != waits.end();) {
    const bool over = runEnded || !runUnderWay();
    if (!over && now < it->deadline) {
      ++it;
      continue;
    }
    // A run started at the console, or one that was refused as it was to
    // begin, leaves nothing to tell.
    const bool told = over && runsEnded > it->runsEndedBefore;
    RemoteJson fields = runEndFields(told ? &lastEnd : nullptr);
    if (over && it->forConsoleRun) fields["kind"] = "console";
    fields["running"] = !over;
    if (!over) fields["run"] = runFields();
    sendRemoteLine(remoteReply(it->id, fields));
    it = waits.erase(it);
  }
  if (waits.empty()) KillTimer(remoteLinkWindow(), waitTimer);
}

bool fileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool endsWith(const std::wstring& text, const wchar_t* end) {
  const size_t n = std::wcslen(end);
  return text.size() >= n && text.compare(text.size() - n, n, end) == 0;
}

// The run is over (its command may still be showing the operator what
// failed): what it left is told to the client and answers the waits.
void endRun() {
  if (run.phase != RunPhase::running || run.ended) return;
  run.ended = true;
  RemoteRunEnd end;
  end.kind = remoteRunName(run.request.command);
  // A run without records (focus, wide view) ends as its records would say.
  end.outcome = !run.outcome.empty()     ? run.outcome
                : !run.faults.empty()    ? outcomeText(RunOutcome::failed)
                : stopRequested          ? outcomeText(RunOutcome::stoppedByOperator)
                                         : outcomeText(RunOutcome::completed);
  // Files a run removed again (the scan's journals) are not among them.
  std::wstring record;
  for (const std::wstring& file : run.files) {
    if (!fileExists(file)) continue;
    end.files.push_back(utf8(file));
    const std::wstring json = file + L".json";
    const bool table = endsWith(file, L".txt");
    if (fileExists(json) && (record.empty() || (table && !endsWith(record, L".txt.json")))) record = json;
  }
  end.record = utf8(record);
  if (!end.files.empty()) {
    const std::string& first = end.files.front();
    end.folder = first.substr(0, first.find_last_of("\\/"));
  }
  end.faults = run.faults;
  lastEnd = end;
  ++runsEnded;
  sendRemoteLine(remoteEvent("run_ended", runEndFields(&lastEnd)));
  answerWaits(true);
}

// Every run ends with its report of what failed: the run is over then,
// before the operator has read the messages.
void faultsReported(const std::vector<DeviceFaultMessage>& messages) {
  if (run.phase != RunPhase::running || scanRunning) return;
  for (const DeviceFaultMessage& m : messages) run.faults.push_back(std::string(m.title) + ": " + m.text);
  endRun();
}

void recordsWritten(const std::vector<std::wstring>& paths, const std::string& text) {
  if (run.phase != RunPhase::running) return;
  run.files.insert(run.files.end(), paths.begin(), paths.end());
  const nlohmann::json record = nlohmann::json::parse(text, nullptr, false);
  if (record.is_object() && record.contains("outcome") && record["outcome"].is_string()) {
    run.outcome = record["outcome"].get<std::string>();
  }
}

// What the run's own command needs beyond a free console, as the console
// checks it (the same texts).
std::string runRefusal(const RemoteRequest& r) {
  const std::string busy = busyReason();
  if (!busy.empty()) return busy;
  if (r.command == RemoteCommand::startScan && objectiveSettings.current < lowestScanObjective) {
    return "Scan should be done on 50x or 100x objective";
  }
  if (r.command == RemoteCommand::ivSweep && currentEquipment != 4) {
    return "Please change the current equipment as a sourcemter";
  }
  return {};
}

// The window and the command the run's button sends, its fields filled in
// as the operator would fill them.
struct RunCommand {
  HWND window;
  int id;
};

RunCommand prepareRun(const RemoteRequest& r) {
  SpectroscopyWindows& windows = spectroscopyWindows;
  switch (r.command) {
    case RemoteCommand::startScan:
      return {hMainWnd, IDC_START};
    case RemoteCommand::focus:
      return {hMainWnd, IDC_FOCUS};
    case RemoteCommand::wideView:
      return {hMainWnd, IDC_WIDE_VIEW};
    case RemoteCommand::ivSweep:
      // As "IV measurement" opens it.
      videoControl(0);
      ensureIvWindow(spectroscopy, windows);
      ShowWindow(hIvWnd, SW_SHOW);
      if (r.value) SetWindowTextA(windows.rangeEdit, fieldText(*r.value).c_str());
      return {hIvWnd, IDC_IV_START};
    case RemoteCommand::timeEvolution: {
      // As "Time Evolution measurement" opens it.
      videoControl(0);
      ensureTimeWindow(spectroscopy, windows);
      ShowWindow(windows.timeWindow, SW_SHOW);
      const std::pair<HWND, const std::optional<int>*> fields[] = {
          {windows.onTimeEdit, &r.onS}, {windows.offTimeEdit, &r.offS}, {windows.repeatEdit, &r.repeat}};
      for (const auto& [edit, value] : fields) {
        if (*value) SetWindowTextA(edit, std::to_string(**value).c_str());
      }
      return {windows.timeWindow, IDC_TIME_EVOLUTION_START};
    }
    default:
      return {nullptr, 0};
  }
}

// The posted start: the guards are asked again (the operator may have
// started something meanwhile), the request is answered, and the run's own
// command is given; it returns once the run is over and reported.
void beginRun() {
  if (run.phase != RunPhase::posted) return;
  run.phase = RunPhase::none;
  const RemoteRequest r = run.request;
  if (run.client != remoteClientSerial()) {
    showRemote(r.shown + " not started: the script has gone");
    return;
  }
  const std::string refusal = runRefusal(r);
  if (!refusal.empty()) {
    refuse(r, refusal);
    answerWaits(false);
    return;
  }
  const RunCommand command = prepareRun(r);
  run.phase = RunPhase::running;
  run.ended = false;
  run.files.clear();
  run.outcome.clear();
  run.faults.clear();
  reply(r, {{"started", remoteRunName(r.command)}});
  run.commandUnderWay = true;
  SendMessageW(command.window, WM_COMMAND, command.id, 0);
  run.commandUnderWay = false;
  endRun();
  run.phase = RunPhase::none;
  answerWaits(false);
}

void startRun(const RemoteRequest& r) {
  const std::string refusal = runRefusal(r);
  if (!refusal.empty()) {
    refuse(r, refusal);
    return;
  }
  showRemote(r.shown);
  run.phase = RunPhase::posted;
  run.request = r;
  run.client = remoteClientSerial();
  PostMessageW(remoteLinkWindow(), beginRunMessage, 0, 0);
}

void stop(const RemoteRequest& r) {
  if (run.phase == RunPhase::posted) {
    run.phase = RunPhase::none;
    sendRemoteLine(remoteError(run.request.id, "stopped before it began"));
    showRemote(r.shown);
    reply(r, {{"stopped", remoteRunName(run.request.command)}});
    return;
  }
  if (!scanRunning) {
    refuse(r, "no run is under way");
    return;
  }
  // What the operator's Yes to "Do you want to stop process, now ?" does:
  // the run ends at its next wait and saves what it has.
  showRemote(r.shown);
  stopRequested = 1;
  reply(r, {{"stopping", runFields()["kind"]}});
}

void wait(const RemoteRequest& r) {
  if (!runUnderWay()) {
    RemoteJson fields = runEndFields(runsEnded ? &lastEnd : nullptr);
    fields["running"] = false;
    reply(r, fields);
    return;
  }
  const auto ms = static_cast<ULONGLONG>(*r.value * 1000.0);
  waits.push_back({r.id, GetTickCount64() + ms, runsEnded, !ourRunUnderWay()});
  SetTimer(remoteLinkWindow(), waitTimer, waitTimerPeriodMs, nullptr);
}

// ---- Commands that act at once ----

// Off is never refused: during a run or a device sequence too, as the
// console's "Off" buttons.
void light(const RemoteRequest& r) {
  const bool laser = r.command == RemoteCommand::laser;
  showRemote(r.shown);
  const bool off = r.on && !*r.on;
  if (off) laser ? setLaser(0) : setIllumination(0);
  if (r.levelV || (r.on && *r.on)) {
    const std::string busy = busyReason();
    if (!busy.empty()) {
      refuse(r, off ? "switched off, the level is left as it was: " + busy : busy);
      return;
    }
    // The laser-voltage field, as typed: the level is sent at once only
    // while the laser is on.
    if (r.levelV) typeIntoField(hLaserEdit, fieldText(*r.levelV));
    if (r.on && *r.on) laser ? setLaser(1) : setIllumination(1);
  }
  const LightSources& s = lightSources;
  if (laser) {
    reply(r, {{"on", s.laserOn != 0}, {"level", s.laserLevel}});
  } else {
    reply(r, {{"on", s.illuminationState != 0}});
  }
}

void move(const RemoteRequest& r) {
  const double present[3] = {stageX.positionUm, stageY.positionUm, stageZ.positionUm};
  const MoveTargets targets = moveTargets(r, present);
  if (!targets.error.empty()) {
    refuse(r, targets.error);
    return;
  }
  // The console asks the operator before such a rise; a script cannot answer.
  if (targets.moves[2] && zMoveNeedsWarning(static_cast<int>(std::lround(targets.um[2])), present[2])) {
    refuse(r, "Z would rise 2000 um or more: the console asks whether the objective's working distance "
              "allows it, so such a rise is made at the console");
    return;
  }
  showRemote(r.shown);
  const bool stageFailed = deviceFailed(FaultyDevice::stage);
  {
    DeviceBusyScope busy;
    videoControl(0);
    if (targets.moves[0] || targets.moves[1]) {
      moveAxesTo(stageX, stageY, targets.moves[0] ? targets.um[0] : present[0],
                 targets.moves[1] ? targets.um[1] : present[1]);
    }
    if (targets.moves[2]) moveZTo(targets.um[2]);
    videoControl(2);
  }
  refreshPositionFields();
  if (!stageFailed && deviceFailed(FaultyDevice::stage)) {
    refuse(r, "Scanner Error: " + deviceFaultDetail(FaultyDevice::stage));
    return;
  }
  reply(r, {{"position", positionFields()}});
}

void setArea(const RemoteRequest& r) {
  const int* a = r.area;
  if (!areaDragCounts(a[0], a[1], a[2], a[3])) {
    refuse(r, "an area is more than 10 pixels wide or high: this is a click");
    return;
  }
  if (objectiveSettings.current < lowestScanObjective) {
    refuse(r, "Scan area should be selected on 50x or 100x objective");
    return;
  }
  // The request is the script's confirmation of the area; the console
  // shows it and its size instead of asking.
  const int viewScale = wideViewShown ? scanState.viewScale : 1;
  videoControl(0);
  takeScanArea(a[0], a[1], a[2], a[3]);
  showRemote(r.shown + ": " + areaQuestionTitle(a[0], a[1], a[2], a[3], fieldOfViewUm, viewScale));
  const double umPerPx = fieldOfViewUm / imageWidthPx * viewScale;
  RemoteJson fields = areaFields();
  fields["width_um"] = std::abs(a[2] - a[0]) * umPerPx;
  fields["height_um"] = std::abs(a[3] - a[1]) * umPerPx;
  reply(r, fields);
}

void actNow(const RemoteRequest& r) {
  const std::string busy = busyReason();
  if (!busy.empty()) {
    refuse(r, busy);
    return;
  }
  switch (r.command) {
    case RemoteCommand::move:
      move(r);
      return;
    case RemoteCommand::setArea:
      setArea(r);
      return;
    default:
      break;
  }
  showRemote(r.shown);
  switch (r.command) {
    case RemoteCommand::setBias:
      typeIntoField(hBiasEdit, fieldText(*r.value));
      reply(r, {{"volts", decimalOf(biasVoltage)}});
      break;
    case RemoteCommand::setLimit:
      // As the Configuration dialog's "Set": in force from the next time
      // the bias is applied.
      currentLimit = static_cast<float>(*r.value);
      reply(r, {{"amperes", decimalOf(currentLimit)}});
      break;
    case RemoteCommand::setStep: {
      typeIntoField(hScanStepEdit, fieldText(*r.value));
      RemoteJson fields = areaFields();
      fields["um"] = scanState.stepUm;
      reply(r, fields);
      break;
    }
    case RemoteCommand::readCurrent: {
      float uA = 0.0f;
      {
        DeviceBusyScope busy;
        uA = readCurrent();
      }
      char text[32];
      std::snprintf(text, sizeof text, "%.3f", static_cast<double>(uA));
      SetWindowTextA(hCurrentEdit, text);
      reply(r, {{"current", uA}});
      break;
    }
    case RemoteCommand::objective: {
      int index = 0;
      while (magnificationOf(index) != r.magnification) ++index;
      SendMessageW(hMainWnd, WM_COMMAND, IDC_OBJECTIVE_FIRST + index, 0);
      reply(r, {{"objective", magnificationOf(objectiveSettings.current)}});
      break;
    }
    default:
      break;
  }
}

// ---- The link's handlers ----

void onConnected() { showInfo("Remote control: a script is connected"); }

void onDisconnected() {
  waits.clear();
  KillTimer(remoteLinkWindow(), waitTimer);
  showInfo("Remote control: the script has disconnected");
}

void onLine(const std::string& line) {
  const ParsedRequest parsed = parseRemoteRequest(line);
  if (!parsed.request) {
    showRemote("request refused: " + parsed.error);
    sendRemoteLine(remoteError(parsed.id, parsed.error));
    return;
  }
  const RemoteRequest& r = *parsed.request;
  switch (r.command) {
    case RemoteCommand::status:
      reply(r, statusFields());
      return;
    case RemoteCommand::lastFiles:
      reply(r, runEndFields(runsEnded ? &lastEnd : nullptr));
      return;
    case RemoteCommand::wait:
      wait(r);
      return;
    case RemoteCommand::stop:
      stop(r);
      return;
    case RemoteCommand::laser:
    case RemoteCommand::lamp:
      light(r);
      return;
    default:
      break;
  }
  if (remoteRunName(r.command)) {
    startRun(r);
  } else {
    actNow(r);
  }
}

bool onMessage(UINT message, WPARAM wParam, LPARAM) {
  if (message == beginRunMessage) {
    beginRun();
    return true;
  }
  if (message == WM_TIMER && wParam == waitTimer) {
    answerWaits(false);
    return true;
  }
  return false;
}

}  // namespace

RemoteLinkHandlers startRemoteCommands() {
  setRecordsWrittenHook(recordsWritten);
  setFaultReportHook(faultsReported);
  RemoteLinkHandlers handlers;
  handlers.connected = onConnected;
  handlers.disconnected = onDisconnected;
  handlers.line = onLine;
  handlers.message = onMessage;
  return handlers;
}

void stopRemoteCommands() {
  setRecordsWrittenHook(nullptr);
  setFaultReportHook(nullptr);
  waits.clear();
}
