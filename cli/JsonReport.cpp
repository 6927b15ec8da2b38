#include "cli/JsonReport.h"

#include "cli/Json.h"

namespace kestrel::cli {

namespace {

void Strings(JsonWriter& json, const char* key, const std::vector<std::string>& texts) {
  json.Key(key).BeginArray();
  for (const std::string& text : texts) json.String(text);
  json.EndArray();
}

void Fields(JsonWriter&, const Action&, std::monostate) {}

void Fields(JsonWriter& json, const Action&, const ProgrammerReport& report) {
  json.Key("programmer").String(report.name);
  Strings(json, "info", report.infoLines);
  json.Key("chips").BeginArray();
  for (std::size_t number = 0; number < report.chips.size(); ++number)
    json.BeginObject()
        .Key("number")
        .Number(static_cast<std::int64_t>(number))
        .Key("name")
        .String(report.chips[number])
        .EndObject();
  json.EndArray();
}

void Fields(JsonWriter& json, const Action&, const ChipReport& report) {
  json.Key("number").Number(report.number).Key("name").String(report.name);
  json.Key("commands").BeginArray();
  for (const ChipCommand command : report.commands)
    json.BeginObject()
        .Key("code")
        .Number(OpcodeOf(command))
        .Key("name")
        .String(CommandWords(command))
        .EndObject();
  json.EndArray();
  json.Key("flash")
      .Number(report.flashSize)
      .Key("eeprom")
      .Number(report.eepromSize)
      .Key("ram")
      .Number(report.ramSize);
  Strings(json, "fuses", report.fuseBits);
  Strings(json, "lock", report.lockBits);
}

void Fields(JsonWriter& json, const Action&, const SignatureReport& report) {
  json.Key("text").String(report.text).Key("good").Bool(report.good);
}

void Fields(JsonWriter& json, const Action& action, const MemoryReport& report) {
  json.Key("bytes").Number(static_cast<std::int64_t>(report.bytes));
  if (action.kind == ActionKind::Write) json.Key("erased").Bool(report.erased);
  if (action.kind != ActionKind::Read) json.Key("verified").Bool(report.verified);
  if (report.mismatchAt) json.Key("mismatch").Number(*report.mismatchAt);
}

void Fields(JsonWriter& json, const Action& action, const BitsReport& report) {
  json.Key("bits")
      .String(report.bits)
      .Key("written")
      .Bool(!action.bits.empty() && report.bits == action.bits);
}

}  // namespace

std::string JsonReport(const PortResult& result) {
  JsonWriter json;
  json.BeginObject().Key("port").String(result.port).Key("status").Number(static_cast<int>(result.status));
  json.Key("error");
  if (result.error.empty())
    json.Null();
  else
    json.String(result.error);
  json.Key("actions").BeginArray();
  for (const ActionResult& each : result.actions) {
    const Action& action = each.action;
    json.BeginObject().Key("action").String(ActionName(action.kind));
    if (HasMemory(action.kind)) json.Key("memory").String(MemoryName(action.memory));
    if (!action.file.empty()) json.Key("file").String(action.file);
    std::visit([&](const auto& detail) { Fields(json, action, detail); }, each.detail);
    json.EndObject();
  }
  json.EndArray().EndObject();
  return json.Text() + '\n';
}

}  // namespace kestrel::cli
