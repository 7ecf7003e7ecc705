// Any text the USB sourcemeter's driver returns for a reading: UTF-16 units
// (the input, two bytes each, low byte first), turned into 8-bit text and
// parsed as the reading is (a vertical tab ends it).

#include "devices/measurement/reply_number.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<char16_t> units(size / 2);
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  }
  const std::string text = replyTextFromUtf16(units.data(), units.size());
  require(text.size() == units.size(), "one byte per unit");

  std::string asciiOnly;
  for (const char16_t unit : units) {
    if (unit < 0x80) asciiOnly += static_cast<char>(unit);
  }
  const float value = parseReplyNumber(text.c_str(), true);
  require(!std::isnan(value), "a reading never reads as NaN");
  require(value == parseReplyNumber(asciiOnly.c_str(), true),
          "a character outside ASCII is skipped like any letter, never read as part of a number");
  return 0;
}
