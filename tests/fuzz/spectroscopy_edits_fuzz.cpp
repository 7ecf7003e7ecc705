// The spectroscopy windows' edits, each read from at most 10 characters: the
// I-V "Voltage Range (+/- V)" edit with the sweep planned from it, and the
// time evolution's "On time", "Off time" and "repeat" edits with the store
// and phase sizes that follow from them. Whatever is typed, the values stay
// in their ranges, the shown text reads back to the value, and the sizes
// stay counts.

#include "fuzz_check.h"
#include "runs/spectroscopy/iv_sweep.h"
#include "runs/spectroscopy/time_evolution.h"

#include <fuzzer/FuzzedDataProvider.h>

// What a run finds in an edit: at most 10 characters of its text.
std::string inEdit(const std::string& text) { return text.substr(0, 10); }

void checkIvRange(const std::string& text) {
  SpectroscopyRecord record;
  record.voltageRange = 2.0f;
  const IvRangeEdit edit = readIvRangeEdit(record, text.c_str());
  if (!edit.converted) {
    require(record.voltageRange == 2.0f && edit.step == 0.01f, "an unread range changes nothing");
    return;
  }
  const float range = record.voltageRange;
  require(range >= 0.01f && range <= 10.0f, "the range within [0.01, 10] V");
  SpectroscopyRecord shownBack;
  require(readIvRangeEdit(shownBack, inEdit(edit.shown).c_str()).shown == edit.shown, "the shown range reads back");

  require(prepareIvSweep(record), "the sweep's arrays are there");
  for (int k = 0; k < ivPointCount(record); ++k) {
    const float v = ivSweepVoltage(k, range, edit.step, record.pointsPerBranch);
    require(std::isfinite(v) && std::fabs(v) <= range * 1.0001f, "every voltage within the range");
  }
}

void checkTimeEvolution(const std::string& on, const std::string& off, const std::string& repeat) {
  SpectroscopyRecord record;
  for (const auto& [text, seconds] : {std::pair{&on, &record.onTime}, std::pair{&off, &record.offTime}}) {
    const float before = *seconds;
    const std::string shown = readPhaseTimeEdit(text->c_str(), *seconds);
    if (shown.empty()) {
      require(*seconds == before, "an unread phase time changes nothing");
      continue;
    }
    require(*seconds >= 0.0f && *seconds <= 10000.0f && *seconds == std::trunc(*seconds),
            "a phase time is whole seconds in [0, 10000]");
    float again = -1.0f;
    require(readPhaseTimeEdit(inEdit(shown).c_str(), again) == shown && again == *seconds,
            "the shown time reads back");
  }
  const std::string shown = readRepeatEdit(repeat.c_str(), record.repeatCount);
  require(shown.empty() ? record.repeatCount == 3 : record.repeatCount >= 0 && record.repeatCount <= 200,
          "the repeat count in [0, 200], or unchanged");

  const int capacity = timeEvoCapacity(record);
  const int phaseLimit = timeEvoPhaseLimit(record);
  require(phaseLimit >= 0 && capacity >= 0, "sizes are counts");
  require(record.repeatCount == 0 || capacity >= phaseLimit, "the store holds at least one cycle's phase");
  for (const float seconds : {record.onTime, record.offTime}) {
    const long long guard = phaseSampleGuard(seconds, phaseLimit);
    require(guard >= 1 && guard >= phaseLimit, "a phase may take at least its planned samples");
  }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  std::string edits[4];  // range, on, off, repeat
  for (std::string& edit : edits) edit = inEdit(input.ConsumeRandomLengthString(40));
  checkIvRange(edits[0]);
  checkTimeEvolution(edits[1], edits[2], edits[3]);
  return 0;
}
