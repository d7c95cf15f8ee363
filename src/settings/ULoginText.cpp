#include "settings/ULoginText.h"

namespace vantori {

namespace {
bool IsBlankOrControl(unsigned char ch) {
  return ch <= 0x20;
}
}  // namespace

std::string TrimText(std::string_view text) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && IsBlankOrControl(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && IsBlankOrControl(static_cast<unsigned char>(text[end - 1]))) --end;
  return std::string(text.substr(begin, end - begin));
}

std::string LowerTrim(std::string_view text) {
  std::string out = TrimText(text);
  for (std::size_t i = 0; i < out.size(); ++i) {
    auto ch = static_cast<unsigned char>(out[i]);
    if (ch >= 0x81 && ch <= 0xFE && i + 1 < out.size()) {
      ++i;
    } else if (ch >= 'A' && ch <= 'Z') {
      out[i] = static_cast<char>(ch + ('a' - 'A'));
    }
  }
  return out;
}

}  // namespace vantori
