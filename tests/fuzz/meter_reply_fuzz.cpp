// What a current meter hands back, each input taken both ways:
// - a GPIB meter's reply as the read leaves it: up to 100 bytes in a 101-byte
//   buffer, ended where the driver's count says (any count: after a failed
//   call it holds anything), then parsed for the sourcemeter (a vertical tab
//   ends the reply) and for the multimeter (it does not); the input is the
//   count (4 bytes) and the bytes received;
// - any text the USB sourcemeter's driver returns for a reading: UTF-16 units
//   (two bytes each, low byte first), turned into 8-bit text and parsed as
//   the reading is (a vertical tab ends it).

#include "devices/measurement/reply_number.h"
#include "fuzz_check.h"

constexpr std::size_t capacity = 100;

bool digitBeforeEnd(const char* text, bool stopAtVerticalTab) {
  for (const char* p = text; *p && *p != '\n' && !(stopAtVerticalTab && *p == '\v'); ++p) {
    if (*p >= '0' && *p <= '9') return true;
  }
  return false;
}

void checkGpibReply(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return;
  std::uint32_t count = 0;
  std::memcpy(&count, data, 4);
  char reply[capacity + 1] = {};
  std::memcpy(reply, data + 4, std::min(size - 4, capacity));
  reply[replyEnd(count, capacity)] = '\0';

  for (const bool stopAtVerticalTab : {true, false}) {
    const float value = parseReplyNumber(reply, stopAtVerticalTab);
    require(!std::isnan(value), "a reply never reads as NaN");
    require(digitBeforeEnd(reply, stopAtVerticalTab) || value == 0.0f, "a reply without digits reads 0");
  }
  // The sourcemeter's parse is the multimeter's on the reply cut at its
  // first vertical tab.
  std::string cut(reply);
  cut.resize(std::min(cut.size(), cut.find('\v')));
  const float sourcemeter = parseReplyNumber(reply, true);
  const float multimeter = parseReplyNumber(cut.c_str(), false);
  require(sourcemeter == multimeter || (std::isnan(sourcemeter) && std::isnan(multimeter)),
          "a vertical tab ends the sourcemeter's reply and nothing else differs");
}

void checkUsbReading(const std::uint8_t* data, std::size_t size) {
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
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  checkGpibReply(data, size);
  checkUsbReading(data, size);
  return 0;
}
