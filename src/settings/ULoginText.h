#pragma once
// Text forms of user IDs and passwords as the login and the requests use them.

#include <string>
#include <string_view>

namespace vantori {

// Blanks and control characters trimmed from both ends.
std::string TrimText(std::string_view text);
// TrimText, then ASCII letters lower-cased; the bytes of cp949 double-byte characters are
// left as they are (a trail byte may look like a letter).
std::string LowerTrim(std::string_view text);

}  // namespace vantori
