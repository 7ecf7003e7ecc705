#pragma once
// The NI-488.2 GPIB driver (ni4882.dll), bound at run time: every entry point
// of the driver is offered here under its own name and signature and forwards
// to the library, which is loaded on the first call (beside the program or in
// System32, never from the current directory) and freed at process exit. On a
// computer without the driver every call fails fast with the ERR bit set,
// Iberr 0 (EDVR) and Ibcnt the system error code, and the program runs on.

#include <cstddef>

#define GPIB_CALL __stdcall

typedef short Addr4882_t;
typedef int(GPIB_CALL* GpibNotifyCallback_t)(int, unsigned long, unsigned long, unsigned long, void*);

// Board and device calls.
unsigned long GPIB_CALL ibask(int ud, int option, int* v);
unsigned long GPIB_CALL ibcac(int ud, int v);
unsigned long GPIB_CALL ibclr(int ud);
unsigned long GPIB_CALL ibcmd(int ud, const void* buf, size_t cnt);
unsigned long GPIB_CALL ibcmda(int ud, const void* buf, size_t cnt);
unsigned long GPIB_CALL ibconfig(int ud, int option, int v);
int GPIB_CALL ibdev(int boardID, int pad, int sad, int tmo, int eot, int eos);
int GPIB_CALL ibfindA(const char* udname);
int GPIB_CALL ibfindW(const wchar_t* udname);
unsigned long GPIB_CALL ibgts(int ud, int v);
unsigned long GPIB_CALL iblck(int ud, int v, unsigned int lockWaitTime, void* reserved);
unsigned long GPIB_CALL iblines(int ud, short* result);
unsigned long GPIB_CALL ibln(int ud, int pad, int sad, short* listen);
unsigned long GPIB_CALL ibloc(int ud);
unsigned long GPIB_CALL ibnotify(int ud, int mask, GpibNotifyCallback_t callback, void* refData);
unsigned long GPIB_CALL ibonl(int ud, int v);
unsigned long GPIB_CALL ibpct(int ud);
unsigned long GPIB_CALL ibppc(int ud, int v);
unsigned long GPIB_CALL ibrd(int ud, void* buf, size_t cnt);
unsigned long GPIB_CALL ibrda(int ud, void* buf, size_t cnt);
unsigned long GPIB_CALL ibrdfA(int ud, const char* filename);
unsigned long GPIB_CALL ibrdfW(int ud, const wchar_t* filename);
unsigned long GPIB_CALL ibrpp(int ud, char* ppr);
unsigned long GPIB_CALL ibrsp(int ud, char* spr);
unsigned long GPIB_CALL ibsic(int ud);
unsigned long GPIB_CALL ibstop(int ud);
unsigned long GPIB_CALL ibtrg(int ud);
unsigned long GPIB_CALL ibwait(int ud, int mask);
unsigned long GPIB_CALL ibwrt(int ud, const void* buf, size_t cnt);
unsigned long GPIB_CALL ibwrta(int ud, const void* buf, size_t cnt);
unsigned long GPIB_CALL ibwrtfA(int ud, const char* filename);
unsigned long GPIB_CALL ibwrtfW(int ud, const wchar_t* filename);

// Multi-device calls.
void GPIB_CALL AllSpoll(int boardID, const Addr4882_t* addrlist, short* results);
void GPIB_CALL DevClear(int boardID, Addr4882_t addr);
void GPIB_CALL DevClearList(int boardID, const Addr4882_t* addrlist);
void GPIB_CALL EnableLocal(int boardID, const Addr4882_t* addrlist);
void GPIB_CALL EnableRemote(int boardID, const Addr4882_t* addrlist);
void GPIB_CALL FindLstn(int boardID, const Addr4882_t* addrlist, Addr4882_t* results, size_t limit);
void GPIB_CALL FindRQS(int boardID, const Addr4882_t* addrlist, short* devStat);
void GPIB_CALL PPoll(int boardID, short* result);
void GPIB_CALL PPollConfig(int boardID, Addr4882_t addr, int dataLine, int lineSense);
void GPIB_CALL PPollUnconfig(int boardID, const Addr4882_t* addrlist);
void GPIB_CALL PassControl(int boardID, Addr4882_t addr);
void GPIB_CALL RcvRespMsg(int boardID, void* buffer, size_t cnt, int termination);
void GPIB_CALL ReadStatusByte(int boardID, Addr4882_t addr, short* result);
void GPIB_CALL Receive(int boardID, Addr4882_t addr, void* buffer, size_t cnt, int termination);
void GPIB_CALL ReceiveSetup(int boardID, Addr4882_t addr);
void GPIB_CALL ResetSys(int boardID, const Addr4882_t* addrlist);
void GPIB_CALL Send(int boardID, Addr4882_t addr, const void* databuf, size_t datacnt, int eotMode);
void GPIB_CALL SendCmds(int boardID, const void* buffer, size_t cnt);
void GPIB_CALL SendDataBytes(int boardID, const void* buffer, size_t cnt, int eotMode);
void GPIB_CALL SendIFC(int boardID);
void GPIB_CALL SendLLO(int boardID);
void GPIB_CALL SendList(int boardID, const Addr4882_t* addrlist, const void* databuf, size_t datacnt, int eotMode);
void GPIB_CALL SendSetup(int boardID, const Addr4882_t* addrlist);
void GPIB_CALL SetRWLS(int boardID, const Addr4882_t* addrlist);
void GPIB_CALL TestSRQ(int boardID, short* result);
void GPIB_CALL TestSys(int boardID, const Addr4882_t* addrlist, short* results);
void GPIB_CALL Trigger(int boardID, Addr4882_t addr);
void GPIB_CALL TriggerList(int boardID, const Addr4882_t* addrlist);
void GPIB_CALL WaitSRQ(int boardID, short* result);

// The per-thread status accessors of the driver.
unsigned long GPIB_CALL ThreadIbsta();
unsigned long GPIB_CALL ThreadIberr();
unsigned long GPIB_CALL ThreadIbcnt();

// The status of the last call: the status word, the error code and the byte
// count. After a failed load or lookup they are the layer's own copies
// (ERR, EDVR, the system error code) until a call reaches the library again.
unsigned long GPIB_CALL Ibsta();
unsigned long GPIB_CALL Iberr();
unsigned long GPIB_CALL Ibcnt();

// The layer's state. gpibBindFailed is set by a failed load or lookup and
// cleared by every call that reaches the library; the copies hold the status
// after the last call.
extern bool gpibBound;
extern int gpibBindFailed;
extern int ibstaCopy;
extern int iberrCopy;
extern int ibcntCopy;
extern long ibcntlCopy;

// The entry points the make-safe round calls, looked up when the driver is
// bound: the round may run in a crash handler, where no lookup may happen
// (it takes the loader's lock, which the crashed thread may hold). Null
// while the driver is not bound, or when it lacks one.
struct GpibRoundCalls {
  unsigned long(GPIB_CALL* ibconfig)(int ud, int option, int v) = nullptr;
  unsigned long(GPIB_CALL* ibwrt)(int ud, const void* buf, size_t cnt) = nullptr;
};
extern GpibRoundCalls gpibRoundCalls;
