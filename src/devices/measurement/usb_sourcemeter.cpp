#include "devices/measurement/usb_sourcemeter.h"

#include "devices/measurement/reply_number.h"
#include "services/device_faults.h"
#include "services/instrument_safety.h"

#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <cstdint>
#include <cstdio>
#include <string>

float usbCurrentLimit = 1e-5f;

namespace {

// The instrument's IVI-COM driver class and the root interface asked of it.
constexpr CLSID driverClass = {0x7DF737AA, 0xA0C5, 0x4A81, {0xB6, 0xA8, 0xD3, 0x8A, 0x6E, 0xE5, 0x2D, 0xF8}};
constexpr IID driverInterface = {0xFE52540A, 0x4406, 0x449E, {0x9E, 0x7F, 0x07, 0xD1, 0x2D, 0x3B, 0xFC, 0xAF}};
// In-process server and handler, local and remote server.
constexpr DWORD creationContext = 23;

constexpr VARIANT_BOOL comTrue = -1;
constexpr VARIANT_BOOL comFalse = 0;

// One interface pointer of the driver, released when replaced or destroyed.
class ComHandle {
 public:
  ComHandle() = default;
  ~ComHandle() { reset(); }
  ComHandle(const ComHandle&) = delete;
  ComHandle& operator=(const ComHandle&) = delete;

  IUnknown* get() const { return pointer_; }
  void reset(IUnknown* pointer = nullptr) {
    if (pointer_) pointer_->Release();
    pointer_ = pointer;
  }

 private:
  IUnknown* pointer_ = nullptr;
};

// A COM string, freed at the end of its scope.
class ComString {
 public:
  explicit ComString(const wchar_t* text) : text_(SysAllocString(text)) {}
  ~ComString() { SysFreeString(text_); }
  ComString(const ComString&) = delete;
  ComString& operator=(const ComString&) = delete;
  BSTR get() const { return text_; }

 private:
  BSTR text_;
};

ComHandle usbDriver;
ComHandle usbSource;
ComHandle usbOutput;
ComHandle usbData;
ComHandle usbAcquire;
ComHandle usbDirectIo;
int comInitializations = 0;
// The last failing result of a driver call, for the operator's message.
HRESULT lastFailure = S_OK;

// The driver's interfaces are known only by the positions of their methods
// (counted from 0, IUnknown's three first), so each call names its position
// and argument types. A missing interface fails like a failing call.
template <typename... Args>
HRESULT callAt(const ComHandle& object, int position, Args... args) {
  IUnknown* self = object.get();
  if (!self) return E_POINTER;
  using Method = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, Args...);
  void* const* table = *reinterpret_cast<void* const* const*>(self);
  const HRESULT result = reinterpret_cast<Method>(table[position])(self, args...);
  if (FAILED(result)) lastFailure = result;
  return result;
}

// A connected instrument that failed in the middle of its work; the operator
// is told at the end of the run.
void noteFailure() {
  if (!usbDriver.get()) return;
  char detail[64];
  if (FAILED(lastFailure)) {
    std::snprintf(detail, sizeof detail, "a driver call returned 0x%08lX", static_cast<unsigned long>(lastFailure));
  } else {
    std::snprintf(detail, sizeof detail, "the driver handed out no interface");
  }
  noteDeviceFault(FaultyDevice::usbSourcemeter, detail);
}

// A property that hands out another interface: false when the call fails or
// yields none, and the interface held before is kept (the output can still
// be switched off through it).
template <typename... Args>
bool takeInterface(const ComHandle& object, int position, ComHandle& into, Args... args) {
  IUnknown* found = nullptr;
  const HRESULT result = callAt(object, position, args..., &found);
  if (FAILED(result) || !found) {
    if (found) found->Release();
    return false;
  }
  into.reset(found);
  return true;
}

void releaseAll() {
  usbDirectIo.reset();
  usbAcquire.reset();
  usbData.reset();
  usbOutput.reset();
  usbSource.reset();
  usbDriver.reset();
}

// Creates the driver object and asks it for the root interface. The context
// includes the out-of-process servers, so the object is created for IUnknown
// and brought into the running state first.
bool createDriver() {
  IUnknown* created = nullptr;
  if (FAILED(CoCreateInstance(driverClass, nullptr, creationContext, IID_IUnknown,
                              reinterpret_cast<void**>(&created))) ||
      !created) {
    return false;
  }
  ComHandle object;
  object.reset(created);
  if (FAILED(OleRun(created))) return false;
  IUnknown* root = nullptr;
  created->QueryInterface(driverInterface, reinterpret_cast<void**>(&root));
  usbDriver.reset(root);
  return root != nullptr;
}

bool configure(float biasV, float limitA) {
  // Once the program is ending the output is never switched on again.
  if (outputsLatchedOff()) return false;
  ComHandle measure, measConfig, dataTrans;
  if (!takeInterface(usbDriver, 9, usbSource)) return false;
  if (!takeInterface(usbDriver, 12, measure) || !takeInterface(measure, 9, measConfig)) return false;
  {
    const ComString channel(L"OutputChannel1");
    if (!takeInterface(usbSource, 17, usbOutput, channel.get())) return false;
  }
  if (!takeInterface(usbDriver, 12, measure) || !takeInterface(measure, 8, usbData)) return false;
  if (!takeInterface(usbDriver, 16, dataTrans)) return false;
  if (!takeInterface(usbDriver, 10, usbAcquire)) return false;
  if (!takeInterface(usbDriver, 17, usbDirectIo)) return false;
  usbCurrentLimit = limitA;
  if (FAILED(callAt(measConfig, 31, std::int32_t{0}))) return false;
  callAt(measConfig, 33, std::int32_t{0}, comTrue);  // result not examined
  if (FAILED(callAt(usbSource, 28, std::int32_t{1}))) return false;
  if (FAILED(callAt(usbSource, 22, std::int32_t{1}, 0.0))) return false;
  callAt(usbSource, 26, std::int32_t{1}, static_cast<double>(biasV));  // source voltage; not examined
  if (FAILED(callAt(usbSource, 39, static_cast<double>(usbCurrentLimit)))) return false;
  return SUCCEEDED(callAt(usbOutput, 12, VARIANT_BOOL{1}));  // output on
}

}  // namespace

int openUsbSourcemeter(float biasV) {
  if (SUCCEEDED(CoInitialize(nullptr))) ++comInitializations;
  if (!createDriver()) return 0;

  const ComString resource(L"USB0::0x05E6::0x2450::04437886::INSTR");
  const ComString noOptions(L"");
  // Initialize: resource, identity query on, no reset, no options.
  if (FAILED(callAt(usbDriver, 6, resource.get(), comTrue, comFalse, noOptions.get()))) return 0;

  ComHandle acquire;
  if (!takeInterface(usbDriver, 10, acquire) || FAILED(callAt(acquire, 3))) return 0;
  ComHandle directIo;
  const ComString clearStatus(L"*CLS");
  if (!takeInterface(usbDriver, 17, directIo) || FAILED(callAt(directIo, 5, clearStatus.get()))) return 0;

  ComHandle identity;
  if (!takeInterface(usbDriver, 4, identity)) return 0;
  BSTR manufacturer = nullptr;
  callAt(identity, 6, &manufacturer);  // only shown
  std::printf("Instrument Manufacturer: %ls\n", manufacturer ? manufacturer : L"");
  std::fflush(stdout);
  SysFreeString(manufacturer);

  if (!configure(biasV, usbCurrentLimit)) return 0;
  noteDeviceConnected(FaultyDevice::usbSourcemeter);
  return 1;
}

void configureUsbSourcemeter(float biasV, float limitA) {
  if (outputsLatchedOff()) return;
  lastFailure = S_OK;
  if (!configure(biasV, limitA)) noteFailure();
}

namespace {

// The reading as text; false when a driver call failed.
bool fetchReading(std::string& text) {
  // Made once: the read sits in the scan's inner loop.
  static const ComString readingBuffer(L"defbuffer1");
  static const ComString readingElement(L"READ");
  static const ComString waitForIt(L"*WAI");

  // One measurement, no delay, into the default buffer; start it; wait for it.
  if (FAILED(callAt(usbAcquire, 12, std::int32_t{1}, 0.0, readingBuffer.get()))) return false;
  if (FAILED(callAt(usbAcquire, 4))) return false;
  if (FAILED(callAt(usbDirectIo, 5, waitForIt.get()))) return false;
  BSTR reading = nullptr;
  const HRESULT fetched =
      callAt(usbData, 4, std::int32_t{1}, std::int32_t{1}, readingBuffer.get(), readingElement.get(), &reading);
  if (SUCCEEDED(fetched) && reading) text = replyTextFromUtf16(reading, SysStringLen(reading));
  SysFreeString(reading);
  return SUCCEEDED(fetched);
}

}  // namespace

float readUsbSourcemeter() {
  lastFailure = S_OK;
  std::string text;
  if (!fetchReading(text)) {
    noteFailure();
    return 0.0f;
  }
  return parseReplyNumber(text.c_str(), true);
}

void closeUsbSourcemeter() {
  // Each step is tried even when the one before failed: the session should
  // still be closed and COM released on the way out.
  callAt(usbOutput, 12, VARIANT_BOOL{0});  // output off
  callAt(usbDriver, 8);                    // Close
  // Every interface goes before COM does: releasing one later would call
  // into a driver that COM has already unloaded.
  releaseAll();
  for (; comInitializations > 0; --comInitializations) CoUninitialize();
}

void switchUsbSourcemeterOffNow() { callAt(usbOutput, 12, VARIANT_BOOL{0}); }
