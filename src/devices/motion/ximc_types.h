#pragma once
// Our own declarations of the Standa controller library's types, laid out as
// the library's binary interface has them (x86-64 and 32-bit Windows, natural
// alignment). No vendor header is needed to build.

#include <cstddef>
#include <cstdint>

using ximc_device_t = int;       // device_t
using ximc_result_t = int;       // result_t
using ximc_enumeration_t = intptr_t;  // device_enumeration_t: an opaque pointer-sized handle

constexpr ximc_device_t ximcDeviceUndefined = -1;
constexpr ximc_result_t ximcResultOk = 0;

constexpr int ximcEnumerateProbe = 0x01;
constexpr int ximcEnumerateAllCom = 0x02;
constexpr int ximcEnumerateNetwork = 0x04;
constexpr unsigned ximcEngineAccelOn = 0x10;   // EngineFlags
constexpr unsigned ximcMvcmdRunning = 0x80;    // MvCmdSts
constexpr unsigned ximcStateRightEdge = 0x1;   // GPIOFlags
constexpr unsigned ximcStateLeftEdge = 0x2;    // GPIOFlags

struct ximc_engine_settings_t {
  unsigned int NomVoltage;
  unsigned int NomCurrent;
  unsigned int NomSpeed;     // whole steps per second
  unsigned int uNomSpeed;    // 1/256 steps per second
  unsigned int EngineFlags;
  int Antiplay;
  unsigned int MicrostepMode;
  unsigned int StepsPerRev;
};

struct ximc_status_t {
  unsigned int MoveSts;
  unsigned int MvCmdSts;
  unsigned int PWRSts;
  unsigned int EncSts;
  unsigned int WindSts;
  int CurPosition;
  int uCurPosition;
  long long EncPosition;
  int CurSpeed;
  int uCurSpeed;
  int Ipwr;
  int Upwr;
  int Iusb;
  int Uusb;
  int CurT;
  unsigned int Flags;
  unsigned int GPIOFlags;
  unsigned int CmdBufFreeSpace;
};

static_assert(sizeof(ximc_engine_settings_t) == 32, "engine_settings_t is 32 bytes");
static_assert(offsetof(ximc_engine_settings_t, NomSpeed) == 8);
static_assert(offsetof(ximc_engine_settings_t, uNomSpeed) == 12);
static_assert(offsetof(ximc_engine_settings_t, EngineFlags) == 16);
static_assert(sizeof(ximc_status_t) == 80, "status_t is 80 bytes");
static_assert(offsetof(ximc_status_t, MvCmdSts) == 4);
static_assert(offsetof(ximc_status_t, CurPosition) == 20);
static_assert(offsetof(ximc_status_t, uCurPosition) == 24);
static_assert(offsetof(ximc_status_t, EncPosition) == 32);
static_assert(offsetof(ximc_status_t, CurSpeed) == 40);
static_assert(offsetof(ximc_status_t, Flags) == 68);
static_assert(offsetof(ximc_status_t, GPIOFlags) == 72);
static_assert(offsetof(ximc_status_t, CmdBufFreeSpace) == 76);
