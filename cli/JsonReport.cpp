#include "cli/JsonReport.h"

#include <cstdio>

#include "cli/Json.h"

namespace kestrel::cli {

namespace {

// UTC, ISO 8601 with milliseconds: 2024-05-17T09:03:41.250Z.
std::string UtcTime(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto milliseconds = floor<std::chrono::milliseconds>(time);
  const auto day = floor<days>(milliseconds);
  const year_month_day date(day);
  const hh_mm_ss clock(milliseconds - day);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock.hours().count()), static_cast<int>(clock.minutes().count()),
                static_cast<int>(clock.seconds().count()), static_cast<int>(clock.subseconds().count()));
  return text;
}

// A text, or null when it is empty.
void TextOrNull(JsonWriter& json, const char* key, const std::string& text) {
  json.Key(key);
  if (text.empty())
    json.Null();
  else
    json.String(text);
}

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

// {"block":A,"count":N,"ranges":[[first,last],...],"bytes":[{"address":A,"chip":C,"file":F},...]}:
// the block the device found differing, and what the chip read back showed.
void MismatchObject(JsonWriter& json, const MemoryReport& report) {
  json.Key("mismatch").BeginObject();
  if (report.mismatchAt) json.Key("block").Number(*report.mismatchAt);
  if (const auto& mismatch = report.mismatch) {
    json.Key("count").Number(static_cast<std::int64_t>(mismatch->count)).Key("ranges").BeginArray();
    for (const AddressRange& range : mismatch->ranges)
      json.BeginArray().Number(range.first).Number(range.last).EndArray();
    json.EndArray().Key("bytes").BeginArray();
    for (const DifferingByte& byte : mismatch->bytes)
      json.BeginObject()
          .Key("address")
          .Number(byte.address)
          .Key("chip")
          .Number(byte.chip)
          .Key("file")
          .Number(byte.file)
          .EndObject();
    json.EndArray();
  }
  json.EndObject();
}

void Fields(JsonWriter& json, const Action& action, const MemoryReport& report) {
  json.Key("bytes").Number(static_cast<std::int64_t>(report.bytes));
  if (action.kind == ActionKind::Write) json.Key("erased").Bool(report.erased);
  if (action.kind != ActionKind::Read) json.Key("verified").Bool(report.verified);
  if (report.mismatchAt || report.mismatch) MismatchObject(json, report);
  if (!report.sha256.empty()) json.Key("sha256").String(report.sha256);
}

void Fields(JsonWriter& json, const Action& action, const BitsReport& report) {
  json.Key("bits")
      .String(report.bits)
      .Key("written")
      .Bool(!action.bits.empty() && report.bits == action.bits);
}

// "action", and "memory" and "file" where the action has them.
void ActionFields(JsonWriter& json, const Action& action) {
  json.Key("action").String(ActionName(action.kind));
  if (HasMemory(action.kind)) json.Key("memory").String(MemoryName(action.memory));
  if (!action.file.empty()) json.Key("file").String(action.file);
}

}  // namespace

std::string JsonReport(const PortResult& result) {
  JsonWriter json;
  json.BeginObject().Key("time").String(UtcTime(result.started));
  json.Key("duration_s").Fixed(std::chrono::duration<double>(result.duration).count(), 3);
  json.Key("port").String(result.port);
  TextOrNull(json, "programmer", result.programmer);
  TextOrNull(json, "chip", result.chip);
  json.Key("serial");
  if (result.serial)
    json.Unsigned(*result.serial);
  else
    json.Null();
  json.Key("status").Number(static_cast<int>(result.status));
  TextOrNull(json, "error", result.error);
  if (const auto& interrupted = result.interrupted) {
    json.Key("interrupted").BeginObject();
    ActionFields(json, interrupted->action);
    json.Key("done").Number(interrupted->done).Key("total").Number(interrupted->total).EndObject();
  }
  json.Key("actions").BeginArray();
  for (const ActionResult& each : result.actions) {
    const Action& action = each.action;
    json.BeginObject();
    ActionFields(json, action);
    std::visit([&](const auto& detail) { Fields(json, action, detail); }, each.detail);
    json.EndObject();
  }
  json.EndArray().EndObject();
  return json.Text() + '\n';
}

}  // namespace kestrel::cli
