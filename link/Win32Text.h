#pragma once
// Text conversions of the Windows interfaces, which speak UTF-16.

#include <string>
#include <string_view>

namespace kestrel {

std::string Utf8FromWide(std::wstring_view text);

}  // namespace kestrel
