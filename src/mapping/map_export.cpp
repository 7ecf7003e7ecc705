#include "mapping/map_export.h"

#include "shell/fixed_format.h"

#include <array>
#include <cstddef>

namespace {

constexpr std::size_t plainNameLimit = 400;     // wide characters with the terminator
constexpr std::size_t numberedNameLimit = 500;

}  // namespace

bool writeMapTableText(std::FILE* file, const MapBuffers& map, const std::vector<float>& values) {
  if (map.width <= 0 || map.height <= 0) return true;
  if (values.size() < static_cast<std::size_t>(map.width) * static_cast<std::size_t>(map.height)) return false;
  // Rows are formatted into a small buffer that stays in the cache and goes
  // out in large writes.
  std::array<char, 64 * 1024> buffer;
  char* const end = buffer.data() + buffer.size() - (fixedTextMaxChars + 2);
  char* out = buffer.data();
  bool ok = true;
  const auto flush = [&] {
    const auto n = static_cast<std::size_t>(out - buffer.data());
    if (n && std::fwrite(buffer.data(), 1, n, file) != n) ok = false;
    out = buffer.data();
  };
  for (int y = 0; y < map.height; ++y) {
    for (int x = 0; x < map.width; ++x) {
      if (out >= end) flush();
      out = writeFixed6(out, values[map.index(x, y)]);
      *out++ = ',';
    }
    *out++ = '\n';
  }
  flush();
  return ok;
}

std::string mapInfoText(const MapBuffers& map, double stepUm, float biasVoltage) {
  char text[200];
  std::snprintf(text, sizeof text, "Map width:%d, height:%d, step:%.1f um, bias voltage:%f\n", map.width,
                map.height, stepUm, static_cast<double>(biasVoltage));
  return text;
}

std::wstring freeTextPath(const std::wstring& folder, const char* prefix, const FileExists& exists) {
  const std::wstring stem = folder + L"\\" + widenAscii(prefix);
  const std::wstring plain = stem + L".txt";
  if (plain.size() >= plainNameLimit) return {};
  if (!exists(plain)) return plain;
  return firstFreeNumberedName(
      [&](int number) {
        std::wstring name = stem + L"(" + std::to_wstring(number) + L").txt";
        return name.size() < numberedNameLimit ? name : std::wstring();
      },
      0, exists);
}
