#pragma once
// Conversion between the Korean ANSI code page (cp949) of the wire and the files, and UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace vantori {

// Strict conversions: std::nullopt when the input holds a sequence that is not valid in its
// code page or has no counterpart in the other one.
std::optional<std::string> Cp949ToUtf8(std::string_view cp949);
std::optional<std::string> Utf8ToCp949(std::string_view utf8);

// Lenient conversions for display and logs: each byte that does not convert becomes
// `replacement` and the conversion goes on with the next byte.
std::string Cp949ToUtf8Lossy(std::string_view cp949, std::string_view replacement = "\xEF\xBF\xBD");
std::string Utf8ToCp949Lossy(std::string_view utf8, std::string_view replacement = "?");

}  // namespace vantori
