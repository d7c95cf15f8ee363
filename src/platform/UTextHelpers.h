#pragma once
// Byte-string helpers of the stores: ASCII-only case folding and hex text.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vantori {

// Equal when the bytes are equal after folding ASCII A-Z to a-z (other bytes as they are).
bool SameTextAscii(std::string_view a, std::string_view b);
// Every byte as two upper-case hex digits.
std::string HexEncode(const std::uint8_t* data, std::size_t size);
inline std::string HexEncode(const std::vector<std::uint8_t>& data) {
  return HexEncode(data.data(), data.size());
}
// Hex text (either case) to bytes; false on an odd length or a non-hex digit.
bool HexDecode(std::string_view text, std::vector<std::uint8_t>& out);

}  // namespace vantori
