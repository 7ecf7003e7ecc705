#pragma once
// The Basler camera runtime through its C interface (PylonC_v<major>_<minor>.dll),
// bound at run time: the program builds without the vendor's SDK and runs,
// with the test pattern, on a computer without it. The Basler back end of
// the camera is its only user.

#include <cstddef>
#include <cstdint>

#define PYLON_CALL __stdcall

using PylonResult = std::int32_t;  // 0 success; 0xC2xxxxxx GenApi, 0xC3xxxxxx pylon errors
using PylonDevice = void*;         // PYLON_DEVICE_HANDLE

constexpr int pylonAccessControl = 0x1;
constexpr int pylonAccessStream = 0x2;
constexpr int pylonGrabbed = 2;  // PylonGrabResult_t::Status
constexpr int pylonFailed = 4;

// PylonGrabResult_t as the runtime fills it (8-byte packing).
#pragma pack(push, 8)
struct PylonGrabResult {
  const void* context;
  void* bufferHandle;
  const void* buffer;
  std::int32_t status;
  std::int32_t payloadType;
  std::int32_t pixelType;
  std::uint64_t timeStamp;
  std::int32_t sizeX;
  std::int32_t sizeY;
  std::int32_t offsetX;
  std::int32_t offsetY;
  std::int32_t paddingX;
  std::int32_t paddingY;
  std::uint64_t payloadSize;
  std::uint32_t errorCode;
  std::uint64_t blockId;
};
#pragma pack(pop)
#if defined(_WIN64)
static_assert(sizeof(PylonGrabResult) == 96, "PylonGrabResult_t is 96 bytes on x64");
static_assert(offsetof(PylonGrabResult, status) == 24 && offsetof(PylonGrabResult, timeStamp) == 40 &&
                  offsetof(PylonGrabResult, sizeX) == 48 && offsetof(PylonGrabResult, payloadSize) == 72 &&
                  offsetof(PylonGrabResult, errorCode) == 80 && offsetof(PylonGrabResult, blockId) == 88,
              "PylonGrabResult_t layout on x64");
#endif

struct PylonRuntime {
  PylonResult(PYLON_CALL* PylonInitialize)();
  PylonResult(PYLON_CALL* PylonTerminate)();
  PylonResult(PYLON_CALL* PylonEnumerateDevices)(std::size_t* count);
  PylonResult(PYLON_CALL* PylonCreateDeviceByIndex)(std::size_t index, PylonDevice* device);
  PylonResult(PYLON_CALL* PylonDeviceOpen)(PylonDevice device, int accessMode);
  PylonResult(PYLON_CALL* PylonDeviceClose)(PylonDevice device);
  PylonResult(PYLON_CALL* PylonDestroyDevice)(PylonDevice device);
  PylonResult(PYLON_CALL* PylonDeviceGrabSingleFrame)(PylonDevice device, std::size_t channel, void* buffer,
                                                      std::size_t bufferSize, PylonGrabResult* result,
                                                      bool* ready, std::uint32_t timeoutMs);
  // These three answer with a one-byte bool, not a result code.
  bool(PYLON_CALL* PylonDeviceFeatureIsWritable)(PylonDevice device, const char* name);
  bool(PYLON_CALL* PylonDeviceFeatureIsReadable)(PylonDevice device, const char* name);
  PylonResult(PYLON_CALL* PylonDeviceFeatureFromString)(PylonDevice device, const char* name, const char* value);
  PylonResult(PYLON_CALL* PylonDeviceSetFloatFeature)(PylonDevice device, const char* name, double value);
  PylonResult(PYLON_CALL* PylonDeviceGetFloatFeature)(PylonDevice device, const char* name, double* value);
  PylonResult(PYLON_CALL* PylonDeviceSetIntegerFeature)(PylonDevice device, const char* name, std::int64_t value);
  PylonResult(PYLON_CALL* PylonDeviceGetIntegerFeature)(PylonDevice device, const char* name, std::int64_t* value);
  PylonResult(PYLON_CALL* PylonDeviceGetIntegerFeatureMin)(PylonDevice device, const char* name,
                                                           std::int64_t* value);
  PylonResult(PYLON_CALL* PylonDeviceGetIntegerFeatureMax)(PylonDevice device, const char* name,
                                                           std::int64_t* value);
  PylonResult(PYLON_CALL* PylonDeviceSetBooleanFeature)(PylonDevice device, const char* name, bool value);
};

// Loads the newest runtime found (beside the program, in System32, or in a
// folder of PATH, where the vendor's installer puts it; never the current
// directory) and binds every entry point. The search runs once per process.
// Null when no runtime is found or none has every entry point. The runtime
// stays loaded for the life of the process.
const PylonRuntime* bindPylonRuntime();
