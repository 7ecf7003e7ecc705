#include "runs/spectroscopy/spectrum_files.h"

#include "runs/spectroscopy/iv_sweep.h"
#include "services/fixed_format.h"

#include <algorithm>
#include <climits>
#include <vector>

namespace {

bool writeTwoColumns(std::FILE* file, const char* header, const std::vector<float>& xs,
                     const std::vector<float>& ys, int count) {
  const auto n = std::min({static_cast<size_t>(std::max(0, count)), xs.size(), ys.size()});
  bool ok = std::fputs(header, file) >= 0;
  char line[2 * fixedTextMaxChars + 2];
  for (size_t i = 0; i < n; ++i) {
    char* end = writeFixed6(line, xs[i]);
    *end++ = ',';
    end = writeFixed6(end, ys[i]);
    *end++ = '\n';
    const auto length = static_cast<size_t>(end - line);
    if (std::fwrite(line, 1, length, file) != length) ok = false;
  }
  return ok;
}

}  // namespace

std::wstring nextSpectrumPath(const std::wstring& folder, const char* stem, int& counter, const FileExists& exists) {
  const std::wstring prefix = folder + L"\\" + widenAscii(stem) + L"(";
  int used = counter;
  std::wstring path = firstFreeNumberedName(
      [&](int number) { return prefix + std::to_wstring(number) + L").txt"; }, counter, exists, &used);
  if (!path.empty()) counter = used < INT_MAX ? used + 1 : used;
  return path;
}

bool writeIvCurveText(std::FILE* file, const SpectroscopyRecord& record) {
  return writeTwoColumns(file, "V(V), I(uA)\n", record.voltages, record.currents, ivPointCount(record));
}

bool writeTimeEvolutionText(std::FILE* file, const SpectroscopyRecord& record) {
  return writeTwoColumns(file, "Time(sec), I(uA)\n", record.times, record.currents, record.pointIndex);
}
