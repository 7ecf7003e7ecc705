#include "devices/measurement/gpib_access.h"

#include "devices/measurement/gpib_status.h"
#include "services/vendor_library.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>

bool gpibBound = false;
int gpibBindFailed = 0;
int ibstaCopy = 0;
int iberrCopy = 0;
int ibcntCopy = 0;
long ibcntlCopy = 0;
GpibRoundCalls gpibRoundCalls;

namespace {

using StatusFunction = unsigned long(GPIB_CALL*)();

HMODULE gpibLibrary = nullptr;
StatusFunction libraryIbsta = nullptr;
StatusFunction libraryIberr = nullptr;
StatusFunction libraryIbcnt = nullptr;

// What a caller sees when the driver or one of its entry points is missing.
void noteBindFailure(DWORD systemError) {
  ibstaCopy = static_cast<int>(gpibErr);
  iberrCopy = gpibEdvr;
  ibcntCopy = static_cast<int>(systemError);
  ibcntlCopy = static_cast<long>(systemError);
  gpibBindFailed = 1;
}

void freeGpibLibrary() {
  if (!gpibLibrary) return;
  gpibBound = false;
  gpibRoundCalls = {};
  FreeLibrary(gpibLibrary);
  gpibLibrary = nullptr;
}

bool bindGpibLibrary() {
  if (gpibBound) return true;
  // The NI-488.2 installer puts the driver into System32.
  HMODULE module = loadVendorLibrary(L"ni4882.dll", VendorSearch::programAndSystem);
  if (!module) {
    noteBindFailure(GetLastError());
    return false;
  }
  StatusFunction status = nullptr, error = nullptr, count = nullptr;
  if (!bindEntryPoint(module, "Ibsta", status) || !bindEntryPoint(module, "Iberr", error) ||
      !bindEntryPoint(module, "Ibcnt", count)) {
    const DWORD systemError = GetLastError();
    FreeLibrary(module);
    noteBindFailure(systemError);
    return false;
  }
  gpibLibrary = module;
  libraryIbsta = status;
  libraryIberr = error;
  libraryIbcnt = count;
  GpibRoundCalls roundCalls;
  bindEntryPoint(module, "ibconfig", roundCalls.ibconfig);
  bindEntryPoint(module, "ibwrt", roundCalls.ibwrt);
  gpibRoundCalls = roundCalls;
  gpibBound = true;
  static const bool freedAtExit = std::atexit(freeGpibLibrary) == 0;
  (void)freedAtExit;
  return true;
}

// The library's address of one entry point, looked up once. A cached address
// is only trusted while the library is bound (it is freed at exit).
template <typename Function>
bool resolve(const char* name, Function& cached) {
  if (!gpibBound) cached = nullptr;
  if (cached) return true;
  if (!bindGpibLibrary()) return false;
  if (!bindEntryPoint(gpibLibrary, name, cached)) {
    noteBindFailure(GetLastError());
    return false;
  }
  return true;
}

void refreshStatusCopies() {
  gpibBindFailed = 0;
  ibstaCopy = static_cast<int>(libraryIbsta());
  iberrCopy = static_cast<int>(libraryIberr());
  const unsigned long count = libraryIbcnt();
  ibcntCopy = static_cast<int>(count);
  ibcntlCopy = static_cast<long>(count);
}

// One forwarded call: resolve, call, refresh the copies, return the library's
// result unchanged. Without the entry point nothing is called and the status
// copy (with the ERR bit) is the result.
template <typename Function, typename Call>
auto forward(Function& cached, const char* name, Call call) -> decltype(call(cached)) {
  using Result = decltype(call(cached));
  if (!resolve(name, cached)) {
    if constexpr (std::is_void_v<Result>) {
      return;
    } else {
      return static_cast<Result>(ibstaCopy);
    }
  }
  if constexpr (std::is_void_v<Result>) {
    call(cached);
    refreshStatusCopies();
  } else {
    const Result result = call(cached);
    refreshStatusCopies();
    return result;
  }
}

// The status readers: the copy after a failed bind, the library's process-wide
// value once bound, and before that the per-thread accessor (whose lookup
// binds the library).
unsigned long readStatus(const int& copy, const StatusFunction& bound, StatusFunction& perThread,
                         const char* perThreadName) {
  if (gpibBindFailed) return static_cast<unsigned long>(copy);
  if (gpibBound) return bound();
  if (resolve(perThreadName, perThread)) return perThread();
  return static_cast<unsigned long>(copy);
}

}  // namespace

#define GPIB_FORWARD(Result, name, parameters, arguments)                          \
  Result GPIB_CALL name parameters {                                               \
    static decltype(&name) cached = nullptr;                                       \
    return forward(cached, #name, [&](decltype(&name) f) { return f arguments; }); \
  }

GPIB_FORWARD(unsigned long, ibask, (int ud, int option, int* v), (ud, option, v))
GPIB_FORWARD(unsigned long, ibcac, (int ud, int v), (ud, v))
GPIB_FORWARD(unsigned long, ibclr, (int ud), (ud))
GPIB_FORWARD(unsigned long, ibcmd, (int ud, const void* buf, size_t cnt), (ud, buf, cnt))
GPIB_FORWARD(unsigned long, ibcmda, (int ud, const void* buf, size_t cnt), (ud, buf, cnt))
GPIB_FORWARD(unsigned long, ibconfig, (int ud, int option, int v), (ud, option, v))
GPIB_FORWARD(int, ibdev, (int boardID, int pad, int sad, int tmo, int eot, int eos),
             (boardID, pad, sad, tmo, eot, eos))
GPIB_FORWARD(int, ibfindA, (const char* udname), (udname))
GPIB_FORWARD(int, ibfindW, (const wchar_t* udname), (udname))
GPIB_FORWARD(unsigned long, ibgts, (int ud, int v), (ud, v))
GPIB_FORWARD(unsigned long, iblck, (int ud, int v, unsigned int lockWaitTime, void* reserved),
             (ud, v, lockWaitTime, reserved))
GPIB_FORWARD(unsigned long, iblines, (int ud, short* result), (ud, result))
GPIB_FORWARD(unsigned long, ibln, (int ud, int pad, int sad, short* listen), (ud, pad, sad, listen))
GPIB_FORWARD(unsigned long, ibloc, (int ud), (ud))
GPIB_FORWARD(unsigned long, ibnotify, (int ud, int mask, GpibNotifyCallback_t callback, void* refData),
             (ud, mask, callback, refData))
GPIB_FORWARD(unsigned long, ibonl, (int ud, int v), (ud, v))
GPIB_FORWARD(unsigned long, ibpct, (int ud), (ud))
GPIB_FORWARD(unsigned long, ibppc, (int ud, int v), (ud, v))
GPIB_FORWARD(unsigned long, ibrd, (int ud, void* buf, size_t cnt), (ud, buf, cnt))
GPIB_FORWARD(unsigned long, ibrda, (int ud, void* buf, size_t cnt), (ud, buf, cnt))
GPIB_FORWARD(unsigned long, ibrdfA, (int ud, const char* filename), (ud, filename))
GPIB_FORWARD(unsigned long, ibrdfW, (int ud, const wchar_t* filename), (ud, filename))
GPIB_FORWARD(unsigned long, ibrpp, (int ud, char* ppr), (ud, ppr))
GPIB_FORWARD(unsigned long, ibrsp, (int ud, char* spr), (ud, spr))
GPIB_FORWARD(unsigned long, ibsic, (int ud), (ud))
GPIB_FORWARD(unsigned long, ibstop, (int ud), (ud))
GPIB_FORWARD(unsigned long, ibtrg, (int ud), (ud))
GPIB_FORWARD(unsigned long, ibwait, (int ud, int mask), (ud, mask))
GPIB_FORWARD(unsigned long, ibwrt, (int ud, const void* buf, size_t cnt), (ud, buf, cnt))
GPIB_FORWARD(unsigned long, ibwrta, (int ud, const void* buf, size_t cnt), (ud, buf, cnt))
GPIB_FORWARD(unsigned long, ibwrtfA, (int ud, const char* filename), (ud, filename))
GPIB_FORWARD(unsigned long, ibwrtfW, (int ud, const wchar_t* filename), (ud, filename))

GPIB_FORWARD(void, AllSpoll, (int boardID, const Addr4882_t* addrlist, short* results), (boardID, addrlist, results))
GPIB_FORWARD(void, DevClear, (int boardID, Addr4882_t addr), (boardID, addr))
GPIB_FORWARD(void, DevClearList, (int boardID, const Addr4882_t* addrlist), (boardID, addrlist))
GPIB_FORWARD(void, EnableLocal, (int boardID, const Addr4882_t* addrlist), (boardID, addrlist))
GPIB_FORWARD(void, EnableRemote, (int boardID, const Addr4882_t* addrlist), (boardID, addrlist))
GPIB_FORWARD(void, FindLstn, (int boardID, const Addr4882_t* addrlist, Addr4882_t* results, size_t limit),
             (boardID, addrlist, results, limit))
GPIB_FORWARD(void, FindRQS, (int boardID, const Addr4882_t* addrlist, short* devStat), (boardID, addrlist, devStat))
GPIB_FORWARD(void, PPoll, (int boardID, short* result), (boardID, result))
GPIB_FORWARD(void, PPollConfig, (int boardID, Addr4882_t addr, int dataLine, int lineSense),
             (boardID, addr, dataLine, lineSense))
GPIB_FORWARD(void, PPollUnconfig, (int boardID, const Addr4882_t* addrlist), (boardID, addrlist))
GPIB_FORWARD(void, PassControl, (int boardID, Addr4882_t addr), (boardID, addr))
GPIB_FORWARD(void, RcvRespMsg, (int boardID, void* buffer, size_t cnt, int termination),
             (boardID, buffer, cnt, termination))
GPIB_FORWARD(void, ReadStatusByte, (int boardID, Addr4882_t addr, short* result), (boardID, addr, result))
GPIB_FORWARD(void, Receive, (int boardID, Addr4882_t addr, void* buffer, size_t cnt, int termination),
             (boardID, addr, buffer, cnt, termination))
GPIB_FORWARD(void, ReceiveSetup, (int boardID, Addr4882_t addr), (boardID, addr))
GPIB_FORWARD(void, ResetSys, (int boardID, const Addr4882_t* addrlist), (boardID, addrlist))
GPIB_FORWARD(void, Send, (int boardID, Addr4882_t addr, const void* databuf, size_t datacnt, int eotMode),
             (boardID, addr, databuf, datacnt, eotMode))
GPIB_FORWARD(void, SendCmds, (int boardID, const void* buffer, size_t cnt), (boardID, buffer, cnt))
GPIB_FORWARD(void, SendDataBytes, (int boardID, const void* buffer, size_t cnt, int eotMode),
             (boardID, buffer, cnt, eotMode))
GPIB_FORWARD(void, SendIFC, (int boardID), (boardID))
GPIB_FORWARD(void, SendLLO, (int boardID), (boardID))
GPIB_FORWARD(void, SendList,
             (int boardID, const Addr4882_t* addrlist, const void* databuf, size_t datacnt, int eotMode),
             (boardID, addrlist, databuf, datacnt, eotMode))
GPIB_FORWARD(void, SendSetup, (int boardID, const Addr4882_t* addrlist), (boardID, addrlist))
GPIB_FORWARD(void, SetRWLS, (int boardID, const Addr4882_t* addrlist), (boardID, addrlist))
GPIB_FORWARD(void, TestSRQ, (int boardID, short* result), (boardID, result))
GPIB_FORWARD(void, TestSys, (int boardID, const Addr4882_t* addrlist, short* results), (boardID, addrlist, results))
GPIB_FORWARD(void, Trigger, (int boardID, Addr4882_t addr), (boardID, addr))
GPIB_FORWARD(void, TriggerList, (int boardID, const Addr4882_t* addrlist), (boardID, addrlist))
GPIB_FORWARD(void, WaitSRQ, (int boardID, short* result), (boardID, result))

GPIB_FORWARD(unsigned long, ThreadIbsta, (), ())
GPIB_FORWARD(unsigned long, ThreadIberr, (), ())
GPIB_FORWARD(unsigned long, ThreadIbcnt, (), ())

unsigned long GPIB_CALL Ibsta() {
  static StatusFunction perThread = nullptr;
  return readStatus(ibstaCopy, libraryIbsta, perThread, "ThreadIbsta");
}

unsigned long GPIB_CALL Iberr() {
  static StatusFunction perThread = nullptr;
  return readStatus(iberrCopy, libraryIberr, perThread, "ThreadIberr");
}

unsigned long GPIB_CALL Ibcnt() {
  static StatusFunction perThread = nullptr;
  return readStatus(ibcntCopy, libraryIbcnt, perThread, "ThreadIbcnt");
}
