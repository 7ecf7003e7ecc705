// A stand-in for the Keithley 2450 IVI-COM driver: an in-process COM server
// for the driver's class id whose objects answer at the method positions the
// program calls, with the same argument types, and log every call with its
// values. Any call can be made to fail, or a property to hand out no
// interface. Interfaces it does not implement are refused with E_NOINTERFACE
// (OleRun asks for IRunnableObject). The fake_usb_* exports let a test script
// it in words and read the log; a whole program started by a test appends the log to
// the file named by FAKE_USB_LOG instead.

#include "../../fake_plumbing.h"

#include <oleauto.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <utility>

namespace {

constexpr CLSID driverClass = {0x7DF737AA, 0xA0C5, 0x4A81, {0xB6, 0xA8, 0xD3, 0x8A, 0x6E, 0xE5, 0x2D, 0xF8}};
constexpr IID driverIid = {0xFE52540A, 0x4406, 0x449E, {0x9E, 0x7F, 0x07, 0xD1, 0x2D, 0x3B, 0xFC, 0xAF}};
constexpr IID iviDriverIid = {0x47ED5184, 0xA398, 0x11D4, {0xBA, 0x58, 0x00, 0x00, 0x64, 0x65, 0x73, 0x74}};

enum Mode { modeNormal = 0, modeFail = 1, modeNoInterface = 2 };

struct FakeObject {
  void* const* table;
  const char* name;
  LONG references = 0;
};

// ---- log and script ----

using fakes::Guard;

fakes::CallLog calls("FAKE_USB_LOG");
std::map<std::string, int> modes;  // "Source.26" -> Mode; "Driver.root" refuses the root interface
std::wstring reading = L"+0.000000E+00";
// Above 0: readings follow the source voltage through this resistor. A
// whole program started by an end-to-end test, which cannot set
// "resistance", is given it in FAKE_USB_RESISTANCE_OHMS.
double resistanceOhms = std::atof(fakes::setting("FAKE_USB_RESISTANCE_OHMS").c_str());
const std::wstring manufacturer = L"KEITHLEY INSTRUMENTS";
// Writes the text of the next fetched reading, in the calling thread; null:
// the set reading.
using ReadingSource = void (*)(wchar_t* text, int size);
ReadingSource readingSource = nullptr;

// An instrument that fails in the middle of a run ("fault" in
// fake_keithley_control.h):
// every call returns this result from the chosen "Object.position" on.
fakes::ChosenCall instrumentFault;
HRESULT instrumentFailure = S_OK;

int modeOf(const char* object, int position) {
  const auto found = modes.find(std::string(object) + "." + std::to_string(position));
  return found == modes.end() ? modeNormal : found->second;
}

// A COM string as text in quotes; a plain wide string passed where a BSTR
// belongs has no true length prefix and shows as such.
std::string text(BSTR value) {
  if (!value) return "null";
  if (SysStringLen(value) != std::wcslen(value)) return "<not a BSTR>";
  std::string narrow = "\"";
  for (const wchar_t* p = value; *p; ++p) narrow += *p < 0x80 ? static_cast<char>(*p) : '?';
  return narrow + "\"";
}

// ---- the objects ----

HRESULT STDMETHODCALLTYPE queryInterface(FakeObject* self, REFIID iid, void** out);
ULONG STDMETHODCALLTYPE addRef(FakeObject* self) { return static_cast<ULONG>(InterlockedIncrement(&self->references)); }
ULONG STDMETHODCALLTYPE release(FakeObject* self) { return static_cast<ULONG>(InterlockedDecrement(&self->references)); }

template <int Position>
HRESULT STDMETHODCALLTYPE unexpected(FakeObject* self) {
  return calls.add("%s.%d unexpected", self->name, Position), E_NOTIMPL;
}

constexpr int slots = 48;
using Table = std::array<void*, slots>;

template <size_t... Position>
Table unexpectedTable(std::index_sequence<Position...>) {
  return {reinterpret_cast<void*>(&unexpected<static_cast<int>(Position)>)...};
}

FakeObject driver{nullptr, "Driver"}, identity{nullptr, "Identity"}, source{nullptr, "Source"},
    output{nullptr, "Output"}, measure{nullptr, "Measure"}, measConfig{nullptr, "MeasConfig"}, data{nullptr, "Data"},
    acquire{nullptr, "Acquire"}, directIo{nullptr, "DirectIO"}, dataTrans{nullptr, "DataTrans"},
    factory{nullptr, "Factory"};
FakeObject* const allObjects[] = {&driver, &identity, &source, &output, &measure,
                                  &measConfig, &data, &acquire, &directIo, &dataTrans};

// The driver works through COM itself: on a thread that has not entered
// COM every call fails, as the real one's would.
bool threadInCom() {
  const HRESULT entered = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  if (entered == S_OK) CoUninitialize();
  return entered == S_FALSE || entered == RPC_E_CHANGED_MODE;
}

// Logs a call and gives its scripted result.
HRESULT called(FakeObject* self, int position, const std::string& arguments = "") {
  if (!threadInCom()) {
    calls.add("%s.%d%s without COM", self->name, position, arguments.c_str());
    return CO_E_NOTINITIALIZED;
  }
  calls.add("%s.%d%s", self->name, position, arguments.c_str());
  const bool faulty = instrumentFault.failingFrom(std::string(self->name) + "." + std::to_string(position));
  if (faulty) return instrumentFailure;
  return modeOf(self->name, position) == modeFail ? E_FAIL : S_OK;
}

// A property that hands out another object.
HRESULT handOut(FakeObject* self, int position, FakeObject* object, IUnknown** out, const std::string& arguments = "") {
  if (!out) return E_POINTER;
  *out = nullptr;
  const HRESULT result = called(self, position, arguments);
  if (FAILED(result) || modeOf(self->name, position) == modeNoInterface) return result;
  addRef(object);
  return *out = reinterpret_cast<IUnknown*>(object), S_OK;
}

// The values of a call as the log shows them.
template <typename Number>  // Int, VARIANT_BOOL and double (as %g writes it)
std::string describe(Number value) {
  std::ostringstream out;
  out << value;
  return out.str();
}
std::string describe(BSTR value) { return text(value); }

template <typename... Args>
std::string argumentList(Args... args) {
  std::string list;
  ((list += (list.empty() ? "" : ", ") + describe(args)), ...);
  return sizeof...(Args) ? "(" + list + ")" : "";
}

// A method that takes values and hands nothing out: logged, scripted result.
template <int Position, typename... Args>
HRESULT STDMETHODCALLTYPE method(FakeObject* self, Args... args) {
  Guard guard;
  return called(self, Position, argumentList(args...));
}

// A property that hands out an object, with the item name first if it takes one.
template <int Position, FakeObject* Object, typename... Args>
HRESULT STDMETHODCALLTYPE property(FakeObject* self, Args... args, IUnknown** out) {
  Guard guard;
  return handOut(self, Position, Object, out, argumentList(args...));
}

// A method that hands out text (the manufacturer, a fetched reading).
template <int Position, const std::wstring* Text, typename... Args>
HRESULT STDMETHODCALLTYPE textOut(FakeObject* self, Args... args, BSTR* out) {
  Guard guard;
  if (!out) return E_POINTER;
  const HRESULT result = called(self, Position, argumentList(args...));
  std::wstring text = *Text;
  if (SUCCEEDED(result) && readingSource && Text == &reading) {
    wchar_t made[64] = {};
    readingSource(made, 64), text = made;
  }
  return *out = SUCCEEDED(result) ? SysAllocString(text.c_str()) : nullptr, result;
}

// The source voltage of a channel; with a resistor set, the next readings
// are the current it drives through it.
HRESULT STDMETHODCALLTYPE sourceVoltage(FakeObject* self, std::int32_t channel, double volts) {
  Guard guard;
  const HRESULT result = called(self, 26, argumentList(channel, volts));
  if (SUCCEEDED(result) && resistanceOhms > 0.0) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%E", volts / resistanceOhms), reading = text;
  }
  return result;
}

template <typename Function>
std::pair<int, void*> at(int position, Function function) {
  return {position, reinterpret_cast<void*>(function)};
}

// The object's method table: these methods, IUnknown's, and unexpected
// calls everywhere else. It lives as long as the library.
void give(FakeObject& object, std::initializer_list<std::pair<int, void*>> methods) {
  Table& table = *new Table(unexpectedTable(std::make_index_sequence<slots>()));
  for (const auto& [position, function] : {at(0, &queryInterface), at(1, &addRef), at(2, &release)})
    table[static_cast<size_t>(position)] = function;
  for (const auto& [position, function] : methods) table[static_cast<size_t>(position)] = function;
  object.table = table.data();
}

// The class factory is one more object: 3 CreateInstance, 4 LockServer.
HRESULT STDMETHODCALLTYPE createInstance(FakeObject*, IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  fakes::Guard(), calls.add("CreateInstance");  // under the lock to the end of the statement
  return queryInterface(&driver, iid, out);
}
HRESULT STDMETHODCALLTYPE lockServer(FakeObject*, BOOL) { return S_OK; }

void setUpObjects() {
  using Int = std::int32_t;
  // Driver (IIviDriver first): 4 Identity, 6 Initialize, 8 Close, 9 Source,
  // 10 Acquire, 12 Measure, 16 DataTrans, 17 DirectIO.
  give(driver, {at(4, &property<4, &identity>), at(6, &method<6, BSTR, VARIANT_BOOL, VARIANT_BOOL, BSTR>),
                at(8, &method<8>), at(9, &property<9, &source>), at(10, &property<10, &acquire>),
                at(12, &property<12, &measure>), at(16, &property<16, &dataTrans>), at(17, &property<17, &directIo>)});
  // 6 InstrumentManufacturer.
  give(identity, {at(6, &textOut<6, &manufacturer>)});
  // 17 output channel by name, 26 voltage of a channel, 39 current limit.
  give(source, {at(17, &property<17, &output, BSTR>), at(22, &method<22, Int, double>), at(26, &sourceVoltage),
                at(28, &method<28, Int>), at(39, &method<39, double>)});
  // 12 output enabled.
  give(output, {at(12, &method<12, VARIANT_BOOL>)});
  give(measure, {at(8, &property<8, &data>), at(9, &property<9, &measConfig>)});
  give(measConfig, {at(31, &method<31, Int>), at(33, &method<33, Int, VARIANT_BOOL>)});
  // 4 readings as text: first, last, buffer, elements.
  give(data, {at(4, &textOut<4, &reading, Int, Int, BSTR, BSTR>)});
  // 3, 4 start, 12 measurements into a buffer: count, delay, buffer name.
  give(acquire, {at(3, &method<3>), at(4, &method<4>), at(12, &method<12, Int, double, BSTR>)});
  // 5 write a command.
  give(directIo, {at(5, &method<5, BSTR>)});
  give(dataTrans, {});
  give(factory, {at(3, &createInstance), at(4, &lockServer)});
}

HRESULT STDMETHODCALLTYPE queryInterface(FakeObject* self, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  bool offered = IsEqualIID(iid, IID_IUnknown) || (self == &factory && IsEqualIID(iid, IID_IClassFactory));
  if (self == &driver) {
    Guard guard;
    const bool root = IsEqualIID(iid, driverIid) && modes["Driver.root"] != modeNoInterface;
    offered = offered || root || IsEqualIID(iid, iviDriverIid);
  }
  if (!offered) return E_NOINTERFACE;
  return addRef(self), *out = self, S_OK;
}

}  // namespace

// ---- the in-process server's exports ----

FAKE_EXPORT HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, driverClass)) return CLASS_E_CLASSNOTAVAILABLE;
  {
    Guard guard;
    [[maybe_unused]] static const bool ready = (setUpObjects(), true);
  }
  return queryInterface(&factory, iid, out);
}

// Stays loaded: the test reads its log after the program let go of it.
FAKE_EXPORT HRESULT STDMETHODCALLTYPE DllCanUnloadNow() { return S_FALSE; }

// ---- test controls ----

// One setting in words (the list is in fake_keithley_control.h).
FAKE_EXPORT void fake_usb_control(const char* text) {
  Guard guard;
  std::string name, call;
  std::istringstream words = fakes::settingWords(text, name);
  int atCall = 0;
  if (name == "reset") {
    calls.clear(), modes.clear(), instrumentFault.choose("", 0);
    readingSource = nullptr, reading = L"+0.000000E+00", resistanceOhms = 0.0;
  }
  if (name == "mode" && words >> call) words >> modes[call];
  if (name == "reading") {
    const std::string narrow = fakes::rest(words);
    reading.assign(narrow.begin(), narrow.end());
  }
  if (name == "resistance") words >> resistanceOhms;
  if (name == "fault" && words >> call >> atCall >> instrumentFailure) instrumentFault.choose(call, atCall);
}

// Fetched readings are written by this function (in the calling thread,
// under the fake's lock) instead of the set reading; null: the set reading.
FAKE_EXPORT void fake_usb_set_reading_source(ReadingSource source) { Guard guard; readingSource = source; }

// References the program holds on the fake's objects now.
FAKE_EXPORT int fake_usb_references() {
  Guard guard;
  LONG total = 0;
  for (const FakeObject* object : allObjects) total += object->references;
  return static_cast<int>(total);
}

FAKE_LOG_CONTROLS(fake_usb_, calls)
