#include "console/remote/remote_protocol.h"

#include "runs/mapping/scan_area.h"
#include "services/edit_field_values.h"
#include "services/scan_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

using Json = nlohmann::json;

// ---- What each command takes ----

enum class FieldKind { number, whole, flag };

struct FieldRule {
  const char* name;
  FieldKind kind;
  double low, high;
  void (*store)(RemoteRequest&, double);
};

struct CommandRule {
  const char* name;
  RemoteCommand command;
  std::vector<FieldRule> fields;
  std::vector<const char*> required;  // fields that must be given
  bool needsOne = false;              // at least one field must be given
};

constexpr double xy = stageTravelXYUm;
// A relative move may cross the whole travel; its target is checked
// against the travel once the present position is known.
constexpr double anyStep = 2 * stageTravelXYUm;

void storeAxis(RemoteRequest& r, int axis, double v, bool relative) {
  r.axisUm[axis] = v;
  r.relative = r.relative || relative;
}

const std::vector<CommandRule>& commandRules() {
  static const std::vector<CommandRule> rules = {
      {"status", RemoteCommand::status, {}, {}},
      {"move",
       RemoteCommand::move,
       {
           {"x", FieldKind::number, -xy, xy, [](RemoteRequest& r, double v) { storeAxis(r, 0, v, false); }},
           {"y", FieldKind::number, -xy, xy, [](RemoteRequest& r, double v) { storeAxis(r, 1, v, false); }},
           {"z", FieldKind::number, stageLowestZUm, stageHighestZUm,
            [](RemoteRequest& r, double v) { storeAxis(r, 2, v, false); }},
           {"dx", FieldKind::number, -anyStep, anyStep, [](RemoteRequest& r, double v) { storeAxis(r, 0, v, true); }},
           {"dy", FieldKind::number, -anyStep, anyStep, [](RemoteRequest& r, double v) { storeAxis(r, 1, v, true); }},
           {"dz", FieldKind::number, -anyStep, anyStep, [](RemoteRequest& r, double v) { storeAxis(r, 2, v, true); }},
       },
       {},
       true},
      // The laser-voltage field takes 0.1 to 5 V.
      {"laser",
       RemoteCommand::laser,
       {
           {"on", FieldKind::flag, 0, 1, [](RemoteRequest& r, double v) { r.on = v != 0; }},
           {"level", FieldKind::number, 0.1, 5.0, [](RemoteRequest& r, double v) { r.levelV = v; }},
       },
       {},
       true},
      // The console switches the lamp on and off; its level follows the view.
      {"lamp",
       RemoteCommand::lamp,
       {{"on", FieldKind::flag, 0, 1, [](RemoteRequest& r, double v) { r.on = v != 0; }}},
       {"on"}},
      {"set_bias",
       RemoteCommand::setBias,
       {{"volts", FieldKind::number, minBiasV, maxBiasV, [](RemoteRequest& r, double v) { r.value = v; }}},
       {"volts"}},
      // From 1 nA to the 1.05 A a sourcemeter sources at most.
      {"set_limit",
       RemoteCommand::setLimit,
       {{"amperes", FieldKind::number, 1e-9, 1.05, [](RemoteRequest& r, double v) { r.value = v; }}},
       {"amperes"}},
      // The scan step field's range.
      {"set_step",
       RemoteCommand::setStep,
       {{"um", FieldKind::number, 0.25, 20.0, [](RemoteRequest& r, double v) { r.value = v; }}},
       {"um"}},
      {"read_current", RemoteCommand::readCurrent, {}, {}},
      {"set_area",
       RemoteCommand::setArea,
       {
           {"left", FieldKind::whole, 0, imageWidthPx, [](RemoteRequest& r, double v) { r.area[0] = int(v); }},
           {"top", FieldKind::whole, 0, imageHeightPx, [](RemoteRequest& r, double v) { r.area[1] = int(v); }},
           {"right", FieldKind::whole, 0, imageWidthPx, [](RemoteRequest& r, double v) { r.area[2] = int(v); }},
           {"bottom", FieldKind::whole, 0, imageHeightPx, [](RemoteRequest& r, double v) { r.area[3] = int(v); }},
       },
       {"left", "top", "right", "bottom"}},
      {"objective",
       RemoteCommand::objective,
       {{"magnification", FieldKind::whole, 5, 100, [](RemoteRequest& r, double v) { r.magnification = int(v); }}},
       {"magnification"}},
      {"start_scan", RemoteCommand::startScan, {}, {}},
      {"focus", RemoteCommand::focus, {}, {}},
      {"wide_view", RemoteCommand::wideView, {}, {}},
      // The range field's limits; without a range the field's own stands.
      {"iv_sweep",
       RemoteCommand::ivSweep,
       {{"range", FieldKind::number, 0.01, 10.0, [](RemoteRequest& r, double v) { r.value = v; }}},
       {}},
      // The time-evolution fields read whole seconds and cycles.
      {"time_evolution",
       RemoteCommand::timeEvolution,
       {
           {"on", FieldKind::whole, 0, 10000, [](RemoteRequest& r, double v) { r.onS = int(v); }},
           {"off", FieldKind::whole, 0, 10000, [](RemoteRequest& r, double v) { r.offS = int(v); }},
           {"repeat", FieldKind::whole, 0, 200, [](RemoteRequest& r, double v) { r.repeat = int(v); }},
       },
       {}},
      {"stop", RemoteCommand::stop, {}, {}},
      {"wait",
       RemoteCommand::wait,
       {{"timeout_s", FieldKind::number, 0, 86400, [](RemoteRequest& r, double v) { r.value = v; }}},
       {"timeout_s"}},
      {"last_files", RemoteCommand::lastFiles, {}, {}},
  };
  return rules;
}

std::string inQuotes(std::string_view text) {
  std::string out = "\"";
  out.append(text.substr(0, 40));
  if (text.size() > 40) out += "...";
  out += '"';
  return out;
}

std::string number(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", v);
  return text;
}

// The value of one field, or why it does not do.
std::optional<double> fieldValue(const FieldRule& rule, const Json& value, std::string& error) {
  const std::string name = inQuotes(rule.name);
  if (rule.kind == FieldKind::flag) {
    if (value.is_boolean()) return value.get<bool>() ? 1.0 : 0.0;
    error = name + " must be true or false";
    return std::nullopt;
  }
  const bool whole = rule.kind == FieldKind::whole;
  const char* what = whole ? " must be a whole number from " : " must be a number from ";
  error = name + what + number(rule.low) + " to " + number(rule.high);
  if (!value.is_number()) return std::nullopt;
  const double v = value.get<double>();
  // Written so that NaN fails too.
  if (!(v >= rule.low && v <= rule.high)) return std::nullopt;
  if (whole && v != std::floor(v)) return std::nullopt;
  error.clear();
  return v;
}

std::optional<std::int64_t> idOf(const Json& value) {
  if (value.is_number_unsigned()) {
    const auto id = value.get<std::uint64_t>();
    if (id > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) return std::nullopt;
    return static_cast<std::int64_t>(id);
  }
  if (value.is_number_integer()) return value.get<std::int64_t>();
  return std::nullopt;
}

// A magnification the turret has.
std::string magnificationError(const RemoteRequest& r) {
  if (r.command != RemoteCommand::objective) return {};
  for (const int m : {5, 10, 20, 50, 100}) {
    if (r.magnification == m) return {};
  }
  return "\"magnification\" must be 5, 10, 20, 50 or 100";
}

}  // namespace

// ---- The command line ----

RemoteOption parseRemoteOption(const std::vector<std::string>& args) {
  RemoteOption option;
  for (const std::string& arg : args) {
    if (arg == "--remote") {
      option = {true, defaultRemotePort, {}};
      continue;
    }
    constexpr std::string_view withPort = "--remote=";
    if (arg.compare(0, withPort.size(), withPort) != 0) continue;
    const std::string digits = arg.substr(withPort.size());
    const bool allDigits = !digits.empty() && digits.size() <= 5 &&
                           std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
    const int port = allDigits ? std::atoi(digits.c_str()) : 0;
    if (port >= 1 && port <= 65535) {
      option = {true, port, {}};
    } else {
      option = {false, defaultRemotePort, arg + ": the port must be a number from 1 to 65535"};
    }
  }
  return option;
}

// ---- Lines ----

void LineFramer::add(std::string_view bytes) {
  if (overflowed_) return;
  buffer_.append(bytes);
}

std::optional<std::string> LineFramer::next() {
  if (overflowed_) return std::nullopt;
  const std::size_t end = buffer_.find('\n', searched_);
  if (end == std::string::npos) {
    searched_ = buffer_.size();
    if (buffer_.size() > maxRemoteLineBytes) overflowed_ = true;
    return std::nullopt;
  }
  if (end > maxRemoteLineBytes) {
    overflowed_ = true;
    return std::nullopt;
  }
  std::string line = buffer_.substr(0, end);
  buffer_.erase(0, end + 1);
  searched_ = 0;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// ---- The key ----

std::string keyHex(const unsigned char* bytes, std::size_t count) {
  static constexpr char digits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < count; ++i) {
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 0x0F];
  }
  return text;
}

bool sameKey(std::string_view given, std::string_view key) {
  // Every character of the key is looked at, whatever the given text holds.
  unsigned difference = given.size() == key.size() ? 0u : 1u;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const unsigned char g = i < given.size() ? static_cast<unsigned char>(given[i]) : 0u;
    difference |= g ^ static_cast<unsigned char>(key[i]);
  }
  return difference == 0 && !key.empty();
}

bool keyLineMatches(std::string_view line, std::string_view key) {
  try {
    const Json j = Json::parse(line, nullptr, false);
    if (!j.is_object() || j.size() != 1 || !j.contains("key") || !j["key"].is_string()) return false;
    return sameKey(j["key"].get_ref<const std::string&>(), key);
  } catch (...) {
    return false;
  }
}

// ---- Requests ----

ParsedRequest parseRemoteRequest(std::string_view line) {
  ParsedRequest parsed;
  try {
    const Json j = Json::parse(line, nullptr, false);
    if (j.is_discarded()) {
      parsed.error = "the line is not JSON";
      return parsed;
    }
    if (!j.is_object()) {
      parsed.error = "a request is a JSON object";
      return parsed;
    }
    if (j.contains("id")) parsed.id = idOf(j["id"]);
    if (!parsed.id) {
      parsed.error = "a request needs an \"id\" that is a whole number";
      return parsed;
    }
    if (!j.contains("cmd") || !j["cmd"].is_string()) {
      parsed.error = "a request needs a \"cmd\" that is a text";
      return parsed;
    }
    const std::string& name = j["cmd"].get_ref<const std::string&>();
    const auto& rules = commandRules();
    const auto rule = std::find_if(rules.begin(), rules.end(), [&](const CommandRule& s) { return name == s.name; });
    if (rule == rules.end()) {
      parsed.error = "unknown command " + inQuotes(name);
      return parsed;
    }
    RemoteRequest request;
    request.id = *parsed.id;
    request.command = rule->command;
    request.shown = rule->name;
    int given = 0;
    bool absolute = false;
    for (const auto& item : j.items()) {
      const std::string& key = item.key();
      if (key == "id" || key == "cmd") continue;
      if (std::none_of(rule->fields.begin(), rule->fields.end(), [&](const FieldRule& f) { return key == f.name; })) {
        parsed.error = rule->name + std::string(" takes no field ") + inQuotes(key);
        return parsed;
      }
    }
    // In the command's own order, which is also how the console shows them.
    for (const FieldRule& field : rule->fields) {
      if (!j.contains(field.name)) continue;
      const Json& value = j[field.name];
      const std::optional<double> v = fieldValue(field, value, parsed.error);
      if (!v) return parsed;
      field.store(request, *v);
      // x, y, z say where to, dx, dy, dz by how much: not both in one move.
      if (request.command == RemoteCommand::move) absolute = absolute || field.name[0] != 'd';
      request.shown += std::string(" ") + field.name + "=" + value.dump();
      ++given;
    }
    if (request.command == RemoteCommand::move && absolute && request.relative) {
      parsed.error = "move takes either x, y, z or dx, dy, dz";
      return parsed;
    }
    for (const char* required : rule->required) {
      if (!j.contains(required)) {
        parsed.error = rule->name + std::string(" needs ") + inQuotes(required);
        return parsed;
      }
    }
    if (rule->needsOne && given == 0) {
      std::string names;
      for (const FieldRule& f : rule->fields) names += (names.empty() ? "" : ", ") + inQuotes(f.name);
      parsed.error = rule->name + std::string(" needs one of ") + names;
      return parsed;
    }
    parsed.error = magnificationError(request);
    if (parsed.error.empty()) parsed.request = std::move(request);
  } catch (...) {
    // Out of memory in the middle of a request: refused like any other.
    parsed.request.reset();
    parsed.error = "the request could not be read";
  }
  return parsed;
}

const char* remoteRunName(RemoteCommand command) {
  switch (command) {
    case RemoteCommand::startScan:
      return "map_scan";
    case RemoteCommand::focus:
      return "focus";
    case RemoteCommand::wideView:
      return "wide_view";
    case RemoteCommand::ivSweep:
      return "iv_sweep";
    case RemoteCommand::timeEvolution:
      return "time_evolution";
    default:
      return nullptr;
  }
}

MoveTargets moveTargets(const RemoteRequest& request, const double presentUm[3]) {
  MoveTargets targets;
  const double low[3] = {-stageTravelXYUm, -stageTravelXYUm, stageLowestZUm};
  const double high[3] = {stageTravelXYUm, stageTravelXYUm, stageHighestZUm};
  for (int axis = 0; axis < 3; ++axis) {
    if (!request.axisUm[axis]) continue;
    const double target = request.relative ? presentUm[axis] + *request.axisUm[axis] : *request.axisUm[axis];
    if (!(target >= low[axis] && target <= high[axis])) {
      const char* names = "XYZ";
      targets.error = std::string(1, names[axis]) + " would go to " + number(target) + " um, beyond " +
                      number(low[axis]) + " to " + number(high[axis]) + " um";
      return targets;
    }
    targets.um[axis] = target;
    targets.moves[axis] = true;
  }
  return targets;
}

// ---- Replies and events ----

namespace {

std::string lineOf(const RemoteJson& j) {
  try {
    return j.dump(-1, ' ', false, RemoteJson::error_handler_t::replace) + "\n";
  } catch (...) {
    return "{\"ok\":false,\"error\":\"out of memory\"}\n";
  }
}

}  // namespace

std::string remoteReply(std::int64_t id, const RemoteJson& fields) {
  RemoteJson j = {{"id", id}, {"ok", true}};
  if (fields.is_object()) {
    for (const auto& [key, value] : fields.items()) j[key] = value;
  }
  return lineOf(j);
}

std::string remoteError(std::optional<std::int64_t> id, std::string_view error) {
  RemoteJson j;
  if (id) {
    j["id"] = *id;
  } else {
    j["id"] = nullptr;
  }
  j["ok"] = false;
  j["error"] = std::string(error);
  return lineOf(j);
}

std::string remoteEvent(std::string_view event, const RemoteJson& fields) {
  RemoteJson j = {{"event", std::string(event)}};
  if (fields.is_object()) {
    for (const auto& [key, value] : fields.items()) j[key] = value;
  }
  return lineOf(j);
}

std::string remoteKeyAccepted() { return lineOf({{"ok", true}}); }

std::string remoteBusy() { return lineOf({{"ok", false}, {"error", "busy"}}); }

RemoteJson runEndFields(const RemoteRunEnd* end) {
  auto textOrNull = [](const std::string& text) { return text.empty() ? RemoteJson() : RemoteJson(text); };
  if (!end) {
    return {{"kind", nullptr}, {"outcome", nullptr}, {"folder", nullptr}, {"record", nullptr},
            {"files", RemoteJson::array()}, {"faults", RemoteJson::array()}};
  }
  return {{"kind", end->kind},           {"outcome", end->outcome},
          {"folder", textOrNull(end->folder)}, {"record", textOrNull(end->record)},
          {"files", end->files},         {"faults", end->faults}};
}
