#include "services/settings_format.h"

#include "services/clamp.h"

#include <cstdarg>

namespace {

// Longer than any line formatConfig writes (five "%lf" of the largest
// doubles come to about 1600 characters); beyond it a line is cut.
constexpr std::size_t maxLineBytes = 4096;

// One line with its line feed; false at the end of the file. The whole line
// is read, however long: a value too large for a fixed line buffer would
// otherwise spill its tail into the next line's reading, and the lines
// after it would be lost.
bool readLine(std::FILE* file, std::string& line) {
  line.clear();
  for (int c; (c = std::getc(file)) != EOF;) {
    if (line.size() < maxLineBytes) line += static_cast<char>(c);
    if (c == '\n') return true;
  }
  return !line.empty();
}

std::string formatted(const char* format, ...) {
  char buffer[512];
  va_list args;
  va_start(args, format);
  const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  if (n < 0) return {};
  if (static_cast<size_t>(n) < sizeof buffer) return std::string(buffer, static_cast<size_t>(n));
  std::string big(static_cast<size_t>(n) + 1, '\0');
  va_start(args, format);
  std::vsnprintf(big.data(), big.size(), format, args);
  va_end(args);
  big.resize(static_cast<size_t>(n));
  return big;
}

}  // namespace

int parseConfigLine1(const char* line, ConfigValues& v) {
  return std::sscanf(line,
                     "step:%lf, scan_speed:%d, laser shift:(%d,%d), Ammeter:%d, GPIB:%d, Standa:%d, arduino:%d\n",
                     &v.stepUm, &v.scanSpeed, &v.laserSpotX, &v.laserSpotY, &v.currentEquipment,
                     &v.gpibAddress, &v.standaConfig, &v.arduinoComPort);
}

int parseConfigLine2(const char* line, ConfigValues& v) {
  return std::sscanf(line, "Dz:%lf, %lf, %lf, %lf, %lf\n", &v.dzUm[0], &v.dzUm[1], &v.dzUm[2],
                     &v.dzUm[3], &v.dzUm[4]);
}

int parseConfigLine3(const char* line, ConfigValues& v) {
  return std::sscanf(line, "sample focus:%lf, %lf, %lf, %lf, %lf", &v.sampleFocusUm[0],
                     &v.sampleFocusUm[1], &v.sampleFocusUm[2], &v.sampleFocusUm[3],
                     &v.sampleFocusUm[4]);
}

void readConfig(std::FILE* file, ConfigValues& v) {
  std::string line;
  if (!readLine(file, line)) return;
  parseConfigLine1(line.c_str(), v);
  if (!readLine(file, line)) return;
  parseConfigLine2(line.c_str(), v);
  if (!readLine(file, line)) return;
  parseConfigLine3(line.c_str(), v);
}

std::string formatConfig(const ConfigValues& v) {
  return formatted("step:%g, scan_speed:%d, laser shift:(%d,%d), Ammeter:%d, GPIB:%d, Standa:%d, arduino:%d\n",
                   v.stepUm, v.scanSpeed, v.laserSpotX, v.laserSpotY, v.currentEquipment,
                   v.gpibAddress, v.standaConfig, v.arduinoComPort) +
         formatted("Dz:%lf, %lf, %lf, %lf, %lf\n", v.dzUm[0], v.dzUm[1], v.dzUm[2], v.dzUm[3],
                   v.dzUm[4]) +
         formatted("sample focus: %lf, %lf, %lf, %lf, %lf", v.sampleFocusUm[0],
                   v.sampleFocusUm[1], v.sampleFocusUm[2], v.sampleFocusUm[3],
                   v.sampleFocusUm[4]);
}

int parseObjectiveIndexLine(const char* line, int& index) {
  return std::sscanf(line, "objective:%d\n", &index);
}

int parseChangerStepsLine(const char* line, double steps[4]) {
  double read[4] = {steps[0], steps[1], steps[2], steps[3]};
  const int n = std::sscanf(line, "step:%lf,%lf,%lf,%lf\n", &read[0], &read[1], &read[2], &read[3]);
  if (n >= 1) {
    // A "nan" in a hand-edited file would slip through the clamp; keep the
    // value already there instead.
    for (int i = 0; i < 4; ++i) {
      if (read[i] == read[i]) steps[i] = clampInPlace(read[i], 189.0, 195.0);
    }
  }
  return n;
}

std::string formatObjectiveFile(int index, const double steps[4]) {
  return formatted("objective:%d\n", index) +
         formatted("step:%g,%g,%g,%g\n", steps[0], steps[1], steps[2], steps[3]);
}

const char* objectiveQuestion(int index) {
  switch (index) {
    case 0: return "Is the current objective lens 5X?";
    case 1: return "Is the current objective lens 10X?";
    case 2: return "Is the current objective lens 20X?";
    case 3: return "Is the current objective lens 50X?";
    default: return "Is the current objective lens 100X?";
  }
}
