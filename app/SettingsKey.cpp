#include "app/SettingsKey.h"

namespace kestrel {
namespace {

[[noreturn]] void InvalidType(const QString& name) {
  throw ERegistryException(QStringLiteral("Invalid data type for '%1'").arg(name).toStdString());
}

}  // namespace

SettingsKey::SettingsKey()
    : settings_(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TARVELIN"),
                QStringLiteral("KESTREL")) {}

bool SettingsKey::ValueExists(const QString& name) const { return settings_.contains(name); }

std::optional<QString> SettingsKey::ReadString(const QString& name) const {
  const QVariant value = settings_.value(name);
  if (!value.isValid()) return std::nullopt;
  if (value.typeId() != QMetaType::QString) InvalidType(name);
  return value.toString();
}

std::optional<std::int32_t> SettingsKey::ReadInteger(const QString& name) const {
  const QVariant value = settings_.value(name);
  if (!value.isValid()) return std::nullopt;
  bool ok = false;
  std::int32_t number = 0;
  switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
      // A 32-bit value the store hands back widened.
      const qlonglong wide = value.toLongLong(&ok);
      ok = ok && wide >= INT32_MIN && wide <= UINT32_MAX;
      number = static_cast<std::int32_t>(static_cast<std::uint32_t>(wide));
      break;
    }
    case QMetaType::QString:
      // Text-based stores (the Linux one) keep every value as text.
      number = value.toString().toInt(&ok, 10);
      break;
    default:
      break;
  }
  if (!ok) InvalidType(name);
  return number;
}

std::optional<bool> SettingsKey::ReadBool(const QString& name) const {
  const std::optional<std::int32_t> number = ReadInteger(name);
  if (!number) return std::nullopt;
  return *number != 0;
}

void SettingsKey::WriteString(const QString& name, const QString& value) {
  settings_.setValue(name, value);
  settings_.sync();
}

void SettingsKey::WriteInteger(const QString& name, std::int32_t value) {
  settings_.setValue(name, static_cast<int>(value));
  settings_.sync();
}

void SettingsKey::WriteBool(const QString& name, bool value) { WriteInteger(name, value ? 1 : 0); }

}  // namespace kestrel
