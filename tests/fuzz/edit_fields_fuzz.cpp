// The main window's numeric edit fields: the text Enter finds (at most 9
// characters: a 10-character buffer) read with the field's format, "%d" or
// "%f", as the C library would read it, limited to the field's range, and,
// where the field shows its value again, the shown text, which must read
// back to itself. Every field is tried on every input.

#include "fuzz_check.h"
#include "shell/clamp.h"
#include "shell/edit_number.h"

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace {

struct EditField {
  const char* name;
  bool integer;  // "%d", else "%f"
  double low, high;
  const char* shown;  // format of the value shown again, or none
};

constexpr EditField fields[] = {
    {"scan speed", true, 5, 800, "%d"},         {"scan step", false, 0.25, 20.0, "%g"},
    {"X", true, -15000, 15000, nullptr},        {"Y", true, -15000, 15000, nullptr},
    {"Z", true, -15000, 5000, nullptr},         {"bias", false, -10.1, 10.0, "%.1f"},
    {"gain", true, 1, 36, "%d"},                {"exposure", true, 100, 500000, "%d"},
    {"laser voltage", false, 0.1, 5.0, "%f"},
};

constexpr std::size_t fieldCharacters = 9;

std::optional<double> readField(const EditField& field, const std::string& typed) {
  const std::string text = typed.substr(0, fieldCharacters);
  if (field.integer) {
    int value = 0;
    if (!readEditInt(text.c_str(), value)) return std::nullopt;
    return clampInPlace(value, static_cast<int>(field.low), static_cast<int>(field.high));
  }
  float value = 0.0f;
  if (!readEditFloat(text.c_str(), value)) return std::nullopt;
  double wide = value;
  return clampInPlace(wide, static_cast<float>(field.low), static_cast<float>(field.high));
}

std::string shownText(const EditField& field, double value) {
  char text[64];
  if (field.integer) {
    std::snprintf(text, sizeof text, field.shown, static_cast<int>(value));
  } else {
    std::snprintf(text, sizeof text, field.shown, value);
  }
  return text;
}

// The readers promise sscanf's reading wherever sscanf's is defined.
void checkAgainstScanf(const std::string& text) {
  int asInt = 0, scanned = 0;
  char* end = nullptr;
  errno = 0;
  const long long wide = std::strtoll(text.c_str(), &end, 10);
  if (errno == 0 && wide >= INT_MIN && wide <= INT_MAX) {
    const bool read = readEditInt(text.c_str(), asInt);
    require(read == (std::sscanf(text.c_str(), "%d", &scanned) == 1), "an int reads where %d reads one");
    require(!read || asInt == scanned, "the int %d reads");
  }
  float asFloat = 0.0f, scannedFloat = 0.0f;
  if (std::sscanf(text.c_str(), "%f", &scannedFloat) == 1 && !std::isnan(scannedFloat)) {
    require(readEditFloat(text.c_str(), asFloat) && asFloat == scannedFloat, "the float %f reads");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string typed = textOf(data, size);
  checkAgainstScanf(typed.substr(0, fieldCharacters));
  for (const EditField& field : fields) {
    const std::optional<double> value = readField(field, typed);
    if (!value) continue;
    require(*value >= static_cast<float>(field.low) && *value <= static_cast<float>(field.high),
            "a value within its field's range");
    if (!field.shown) continue;
    const std::string shown = shownText(field, *value);
    const std::optional<double> again = readField(field, shown);
    require(again && shownText(field, *again) == shown, "a shown value reads back to itself");
  }
  return 0;
}
