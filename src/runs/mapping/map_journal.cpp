#include "runs/mapping/map_journal.h"

#include "runs/mapping/map_export.h"
#include "services/fixed_format.h"

#include <cstdio>
#include <cwchar>

namespace {

// Far beyond any scan (the widest is 949 x 792 points), small enough that a
// damaged first line cannot make the recovery write gigabytes of zeros.
constexpr long long journalPointLimit = 50'000'000;

std::string_view nextLine(std::string_view& text, bool& complete) {
  const std::size_t end = text.find('\n');
  complete = end != std::string_view::npos;
  std::string_view line = text.substr(0, complete ? end : text.size());
  text.remove_prefix(complete ? end + 1 : text.size());
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// A table row of exactly `width` "%f," fields.
bool isTableRow(std::string_view line, int width) {
  if (line.empty() || line.back() != ',') return false;
  int fields = 0;
  std::size_t fieldLength = 0;
  for (const char c : line) {
    if (c == ',') {
      if (fieldLength == 0) return false;
      ++fields;
      fieldLength = 0;
    } else if (static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) >= 0x7F) {
      return false;
    } else {
      ++fieldLength;
    }
  }
  return fields == width;
}

}  // namespace

std::wstring journalName(const char* prefix, int number) {
  std::wstring name = widenAscii(prefix);
  if (number >= 0) name += L"(" + std::to_wstring(number) + L")";
  return name + journalExtension;
}

std::string journalTablePrefix(std::wstring_view fileName) {
  const std::wstring_view extension = journalExtension;
  if (fileName.size() <= extension.size() || fileName.substr(fileName.size() - extension.size()) != extension) {
    return {};
  }
  std::wstring_view stem = fileName.substr(0, fileName.size() - extension.size());
  // "(n)" of a journal that shares its folder with an older one.
  if (stem.back() == L')') {
    const std::size_t open = stem.rfind(L'(');
    if (open != std::wstring_view::npos && open + 2 < stem.size() &&
        stem.substr(open + 1, stem.size() - open - 2).find_first_not_of(L"0123456789") == std::wstring_view::npos) {
      stem = stem.substr(0, open);
    }
  }
  std::string prefix;
  for (const wchar_t c : stem) {
    if (c <= L' ' || c >= 0x7F) return {};
    prefix += static_cast<char>(c);
  }
  return prefix;
}

std::string journalHeader(const MapBuffers& map, double stepUm, float biasVoltage) {
  std::string line = mapInfoText(map, stepUm, biasVoltage);
  line.insert(line.size() - 1, 1, '\r');
  return line;
}

std::string journalRow(const MapBuffers& map, const std::vector<float>& values, int y) {
  if (!map.contains(0, y) || values.size() < map.index(map.width - 1, y) + 1) return {};
  std::vector<float> row(static_cast<std::size_t>(map.width));
  for (int x = 0; x < map.width; ++x) row[static_cast<std::size_t>(x)] = values[map.index(x, y)];
  std::string text(row.size() * fixedTextMaxChars + 2, '\0');
  char* end = writeFixed6List(text.data(), row.data(), map.width);
  *end++ = '\r';
  *end++ = '\n';
  text.resize(static_cast<std::size_t>(end - text.data()));
  return text;
}

bool readMapJournal(std::string_view text, MapJournal& journal) {
  journal = MapJournal{};
  bool complete = false;
  const std::string header(nextLine(text, complete));
  int width = 0, height = 0;
  double stepUm = 0.0;
  float biasVoltage = 0.0f;
  if (!complete || std::sscanf(header.c_str(), "Map width:%d, height:%d, step:%lf um, bias voltage:%f", &width,
                               &height, &stepUm, &biasVoltage) != 4) {
    return false;
  }
  if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > journalPointLimit) return false;
  journal.infoLine = header + "\n";
  journal.width = width;
  journal.height = height;
  journal.stepUm = stepUm;
  journal.biasVoltageV = biasVoltage;
  while (!text.empty() && static_cast<int>(journal.rows.size()) < height) {
    const std::string_view line = nextLine(text, complete);
    if (!complete || !isTableRow(line, width)) break;
    journal.rows.emplace_back(line);
    journal.rows.back() += '\n';
  }
  return true;
}

std::string recoveredTable(const MapJournal& journal) {
  std::string zeroRow;
  for (int x = 0; x < journal.width; ++x) zeroRow += "0.000000,";
  zeroRow += '\n';
  std::string table;
  for (const std::string& row : journal.rows) table += row;
  for (int y = static_cast<int>(journal.rows.size()); y < journal.height; ++y) table += zeroRow;
  return table;
}
