#include "runs/mapping/map_export.h"

#include "services/fixed_format.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::size_t plainNameLimit = 400;     // wide characters with the terminator
constexpr std::size_t numberedNameLimit = 500;

bool writeAll(std::FILE* file, const char* from, const char* to) {
  const auto n = static_cast<std::size_t>(to - from);
  return n == 0 || std::fwrite(from, 1, n, file) == n;
}

}  // namespace

bool writeMapTableText(std::FILE* file, const MapBuffers& map, const std::vector<float>& values) {
  const int width = map.width, height = map.height;
  if (width <= 0 || height <= 0) return true;
  if (values.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) return false;
  // A row is gathered from its columns first (independent loads the cache
  // can serve together), then formatted in pieces into a buffer that stays
  // in the cache and goes out in large writes.
  constexpr int piece = 256;
  std::vector<float> row(static_cast<std::size_t>(width));
  std::vector<char> buffer(64 * 1024 + piece * fixedTextMaxChars + 1);
  char* const start = buffer.data();
  char* const flushAt = start + 64 * 1024;
  bool ok = true;
  char* out = start;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) row[static_cast<std::size_t>(x)] = values[map.index(x, y)];
    for (int x = 0; x < width; x += piece) {
      if (out >= flushAt) {
        ok = writeAll(file, start, out) && ok;
        out = start;
      }
      out = writeFixed6List(out, row.data() + x, std::min(piece, width - x));
    }
    *out++ = '\n';
  }
  return writeAll(file, start, out) && ok;
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
