#include "devices/measurement/gpib_status.h"

#include <cstdio>

namespace {

struct Named {
  long value;
  const char* text;
};

// Bits 0x0400 and 0x0200 have no name.
constexpr Named statusBits[] = {
    {0x8000, " ERR"},  {0x4000, " TIMO"}, {0x2000, " END"},  {0x1000, " SRQI"}, {0x0800, " RQS"},
    {0x0100, " CMPL"}, {0x0080, " LOK"},  {0x0040, " REM"},  {0x0020, " CIC"},  {0x0010, " ATN"},
    {0x0008, " TACS"}, {0x0004, " LACS"}, {0x0002, " DTAS"}, {0x0001, " DCAS"},
};

constexpr Named errorCodes[] = {
    {0, " EDVR <Driver error>\n"},
    {1, " ECIC <Not Controller-In-Charge>\n"},
    {2, " ENOL <No Listener>\n"},
    {3, " EADR <Address error>\n"},
    {4, " EARG <Invalid argument>\n"},
    {5, " ESAC <Not System Controller>\n"},
    {6, " EABO <Operation aborted>\n"},
    {7, " ENEB <No GPIB board>\n"},
    {10, " EOIP <Async I/O in progress>\n"},
    {11, " ECAP <No capability>\n"},
    {12, " EFSO <File system error>\n"},
    {14, " EBUS <Command error>\n"},
    {15, " ESTB <Status byte lost>\n"},
    {16, " ESRQ <SRQ stuck on>\n"},
    {20, " ETAB <Table Overflow>\n"},
    {21, " ELCK <Lock error>\n"},
    {22, " EARM <Ibnotify rearm error>\n"},
    {23, " EHDL <Invalid Handle>\n"},
    {26, " EWIP <Wait already in progress>\n"},
    {27, " ERST <Notification cancelled due to reset>\n"},
    {28, " EPWR <Power error>\n"},
};

}  // namespace

std::string formatGpibReport(const char* message, unsigned long status, long error, unsigned long count) {
  char line[64];
  std::string text = message;
  text += '\n';
  std::snprintf(line, sizeof line, "Ibsta() = 0x%lx  <", status);
  text += line;
  for (const Named& bit : statusBits) {
    if (status & static_cast<unsigned long>(bit.value)) text += bit.text;
  }
  text += " >\n";
  std::snprintf(line, sizeof line, "Iberr() = %ld", error);
  text += line;
  for (const Named& code : errorCodes) {
    if (code.value == error) text += code.text;
  }
  std::snprintf(line, sizeof line, "Ibcnt() = %lu\n", count);
  text += line;
  text += '\n';
  return text;
}
