// Every numeric edit an operator types into, read from the text Enter or
// "Set" finds there, on every input:
// - the main window's fields (at most 9 characters of a 10-character buffer)
//   read by each field's helper with its range and the value in force, the
//   text the field then shows, the laser level taken from the laser field
//   again, and the Z field's question;
// - the Configuration dialog's fields and the changer's step editor, each
//   from at most 10 characters (the defocus from 30): the laser spot limited
//   to the picture, the defocus to [-30, 30] um, the changer travels to
//   [189, 195] and the bias to the main window's range, each shown again; the
//   current limit taken as typed and shown with its digits;
// - the spectroscopy windows' edits (the input split into four texts): the
//   I-V "Voltage Range (+/- V)" edit with the sweep planned from it, and the
//   time evolution's "On time", "Off time" and "repeat" edits with the store
//   and phase sizes that follow from them.
// Whatever is typed, a value stays in its range, a shown value read again
// gives the same setting, and the sizes stay counts.

#include "console/dialog_fields.h"
#include "fuzz_check.h"
#include "runs/spectroscopy/iv_sweep.h"
#include "runs/spectroscopy/time_evolution.h"
#include "services/edit_field_values.h"
#include "services/edit_number.h"
#include "services/fixed_format.h"
#include "services/objective_table.h"
#include "services/scan_geometry.h"

#include <fuzzer/FuzzedDataProvider.h>

// What a field's reader finds: at most this many characters of what was typed.
std::string firstChars(const std::string& typed, std::size_t characters) { return typed.substr(0, characters); }
std::string fieldText(const std::string& typed) { return firstChars(typed, editFieldTextCapacity - 1); }
std::string field(const std::string& typed) { return firstChars(typed, dialogFieldChars); }

enum class Reading { guardedInt, intOr, floatOr };

struct EditField {
  Reading reading;
  double low, high;
  double inForce;     // the value a text that is no number leaves
  const char* shown;  // the format the field shows its value in, if any
};

constexpr EditField fields[] = {
    {Reading::intOr, 5, 800, 500, "%d"},                    // scan speed
    {Reading::floatOr, 0.25, 20.0, 1.0, "%g"},              // scan step
    {Reading::guardedInt, -15000, 15000, 0, nullptr},       // X, Y
    {Reading::guardedInt, -15000, 5000, 0, nullptr},        // Z
    {Reading::floatOr, -10.1, 10.0, 0.0, "%.1f"},           // bias
    {Reading::guardedInt, 1, 36, 1, "%d"},                  // gain
    {Reading::guardedInt, 100, 500000, 100, "%d"},          // exposure
    {Reading::floatOr, 0.1, 5.0, 1.0, "%f"},                // laser voltage
};

std::optional<double> enter(const EditField& f, const std::string& typed) {
  const std::string text = fieldText(typed);
  const int low = static_cast<int>(f.low), high = static_cast<int>(f.high);
  if (f.reading == Reading::floatOr) return floatFieldOr(text.c_str(), f.inForce, f.low, f.high);
  if (f.reading == Reading::intOr) return intFieldOr(text.c_str(), static_cast<int>(f.inForce), low, high);
  return guardedIntField(text.c_str(), low, high);
}

std::string shownText(const EditField& f, double value) {
  char text[64];
  if (f.reading == Reading::floatOr)
    std::snprintf(text, sizeof text, f.shown, value);
  else
    std::snprintf(text, sizeof text, f.shown, static_cast<int>(value));
  return text;
}

// The readers promise sscanf's reading wherever sscanf's is defined.
void checkAgainstScanf(const char* text) {
  errno = 0;
  const long long wide = std::strtoll(text, nullptr, 10);
  int asInt = 0, scannedInt = 0;
  if (errno == 0 && wide >= INT_MIN && wide <= INT_MAX) {
    const bool read = readEditInt(text, asInt);
    require(read == (std::sscanf(text, "%d", &scannedInt) == 1) && (!read || asInt == scannedInt),
            "an int reads as %d reads it");
  }
  float asFloat = 0.0f, scannedFloat = 0.0f;
  if (std::sscanf(text, "%f", &scannedFloat) == 1 && !std::isnan(scannedFloat)) {
    require(readEditFloat(text, asFloat) && asFloat == scannedFloat, "a float reads as %f reads it");
  }
  double asDouble = 0.0, scannedDouble = 0.0;
  if (std::sscanf(text, "%lf", &scannedDouble) == 1 && !std::isnan(scannedDouble)) {
    require(readEditDouble(text, asDouble) && asDouble == scannedDouble, "a double reads as %lf reads it");
  }
}

void checkZQuestion(int targetUm) {
  const ObjectiveTable table;
  for (const float workingDistanceMm : table.workingDistanceMm) {
    const std::string question = zWarningText(targetUm, workingDistanceMm * 1000.0);
    require(question.find(std::to_string(targetUm)) != std::string::npos &&
                question.size() > 3 && question.compare(question.size() - 3, 3, " um") == 0,
            "the Z question names the target and ends whole");
  }
}

void checkMainWindowFields(const std::string& typed) {
  checkAgainstScanf(fieldText(typed).c_str());
  for (const EditField& f : fields) {
    const std::optional<double> value = enter(f, typed);
    if (!value) continue;
    require(*value >= f.low && *value <= f.high, "a value within its field's range");
    if (!f.shown) continue;
    const std::string shown = shownText(f, *value);
    const std::optional<double> again = enter(f, shown);
    require(again && shownText(f, *again) == shown, "a shown value reads back to itself");
  }

  // The laser field, once it took a voltage, is read again (10 characters)
  // for the level sent, which differs only by the rounding of "%f".
  const double laserVolts = *enter(fields[7], typed);
  const std::string laserShown = firstChars(shownText(fields[7], laserVolts), 10);
  const std::optional<double> sent = guardedDoubleField(laserShown.c_str(), 0.0, 5.0);
  require(sent && std::fabs(*sent - laserVolts) <= 5.000001e-7, "the laser gets the voltage its field took");

  if (const std::optional<int> z = guardedIntField(fieldText(typed).c_str(), -15000, 5000)) checkZQuestion(*z);
}

void checkLaserSpot(const std::string& typed) {
  for (const int limit : {imageWidthPx, imageHeightPx}) {
    int spot = -1;
    if (!readLaserSpotField(field(typed).c_str(), limit, spot)) continue;
    require(spot >= 0 && spot <= limit, "the laser spot inside the picture");
    int again = -1;
    require(readLaserSpotField(formatInt(spot).c_str(), limit, again) && again == spot, "the shown spot reads back");
  }
}

void checkDefocus(const std::string& typed) {
  double defocusUm = 0.0;
  if (!readDefocusField(firstChars(typed, 30).c_str(), defocusUm)) return;
  require(defocusUm >= -maxDefocusUm && defocusUm <= maxDefocusUm, "the defocus within [-30, 30] um");
  const std::string shown = formatTenths(defocusUm);
  double again = 99.0;
  require(readDefocusField(firstChars(shown, 30).c_str(), again) && formatTenths(again) == shown,
          "the shown defocus reads back to itself");
}

void checkChangerStep(const std::string& typed) {
  double step = 0.0;
  if (!readChangerStepField(field(typed).c_str(), step)) return;
  require(step >= minChangerStep && step <= maxChangerStep, "a changer travel within its range");
  double again = 0.0;
  // "%g" shows six digits, three decimals here; single precision adds its own.
  require(readChangerStepField(field(formatShortest(step)).c_str(), again) && std::fabs(again - step) <= 5.2e-4,
          "the shown travel reads back");
}

// Bias and current limit, shown as the dialog shows them and read again,
// as pressing "Set" once more does: the bias within the main window's range
// and back as closely as "%f" shows it, the limit back exactly when ten
// characters can hold it (and as closely as they can otherwise).
float readBack(const std::string& shown) {
  float again = 0.0f;
  require(readFiniteFloat(field(shown).c_str(), again), "a shown bias or limit reads");
  return again;
}

void checkBiasAndLimit(const std::string& typed) {
  float bias = 0.0f;
  if (readBiasField(field(typed).c_str(), bias)) {
    require(bias >= static_cast<float>(minBiasV) && bias <= static_cast<float>(maxBiasV), "the bias within range");
    require(std::fabs(readBack(formatFixed(bias)) - bias) <= 5e-7f + std::fabs(bias) * 1e-6f,
            "the shown bias reads back");
  }
  float limit = 0.0f;
  if (!readFiniteFloat(field(typed).c_str(), limit) || std::fabs(limit) >= 1e9f) return;
  const std::string shown = keptDigitsText(limit, dialogFieldChars);
  require(shown.size() <= static_cast<std::size_t>(dialogFieldChars), "the limit fits its field");
  require(std::fabs(readBack(shown) - limit) <= std::fabs(limit) * 5e-4f, "the shown current limit reads back");
}

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
  require(readIvRangeEdit(shownBack, field(edit.shown).c_str()).shown == edit.shown, "the shown range reads back");

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
    require(readPhaseTimeEdit(field(shown).c_str(), again) == shown && again == *seconds,
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
  const std::string typed = textOf(data, size);
  checkMainWindowFields(typed);
  checkLaserSpot(typed);
  checkDefocus(typed);
  checkChangerStep(typed);
  checkBiasAndLimit(typed);

  FuzzedDataProvider input(data, size);
  std::string edits[4];  // range, on, off, repeat
  for (std::string& edit : edits) edit = field(input.ConsumeRandomLengthString(40));
  checkIvRange(edits[0]);
  checkTimeEvolution(edits[1], edits[2], edits[3]);
  return 0;
}
