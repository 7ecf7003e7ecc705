// The main window's numeric edit fields: the text Enter finds (at most 9
// characters of a 10-character buffer) read by each field's helper with its
// range and the value in force, the text the field then shows, the laser
// level taken from the laser field again, and the Z field's question.
// Every field is tried on every input.

#include "fuzz_check.h"
#include "services/edit_field_values.h"
#include "services/edit_number.h"
#include "services/objective_table.h"

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

std::string fieldText(const std::string& typed) { return typed.substr(0, editFieldTextCapacity - 1); }

std::optional<double> enter(const EditField& f, const std::string& typed) {
  const std::string text = fieldText(typed);
  const int low = static_cast<int>(f.low), high = static_cast<int>(f.high);
  if (f.reading == Reading::floatOr) return floatFieldOr(text.c_str(), f.inForce, f.low, f.high);
  if (f.reading == Reading::intOr) return intFieldOr(text.c_str(), static_cast<int>(f.inForce), low, high);
  return guardedIntField(text.c_str(), low, high);
}

std::string shownText(const EditField& f, double value) {
  char text[64];
  f.reading == Reading::floatOr ? std::snprintf(text, sizeof text, f.shown, value)
                                : std::snprintf(text, sizeof text, f.shown, static_cast<int>(value));
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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string typed = textOf(data, size);
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
  const std::string laserShown = shownText(fields[7], laserVolts).substr(0, 10);
  const std::optional<double> sent = guardedDoubleField(laserShown.c_str(), 0.0, 5.0);
  require(sent && std::fabs(*sent - laserVolts) <= 5.000001e-7, "the laser gets the voltage its field took");

  if (const std::optional<int> z = guardedIntField(fieldText(typed).c_str(), -15000, 5000)) checkZQuestion(*z);
  return 0;
}
