#pragma once
// The desktop program's settings file on Linux: the INI text its settings store writes. Lines
// and values are read by the store's own rules: ';' starts a comment outside quotes, a
// backslash before a line end continues the line, a value may be quoted in parts ("..."),
// carries C-style escapes (\n, \t, \", \\, \xHH..., octal) and is a list when it has a comma
// outside quotes; blanks around an unquoted value do not count; of a key given twice the later
// counts. Section names are matched without regard to case.

#include <string_view>

#include "cli/StoredValue.h"

namespace kestrel::cli {

// Each key of the [General] section (and of lines before any section) with its value: a text,
// or Other for a list and the forms ReadStoredText does not take as text. Keys of groups, and
// keys whose value is "@Invalid()", are left out.
StoredValues ReadGeneralValues(std::string_view text);

}  // namespace kestrel::cli
