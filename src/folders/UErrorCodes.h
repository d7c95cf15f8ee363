#pragma once
// The texts of the error codes that the servers put in a failed reply's "Code".

#include <cstdint>
#include <string>

namespace vantori {

// The code whose text stands for any code the table does not know.
inline constexpr std::int32_t kUnregisteredErrorCode = 29998;

// The cp949 text of a server error code; the text of kUnregisteredErrorCode for a code
// outside the table.
const char* ErrorCodeText(std::int32_t code);
// True when the table holds the code.
bool IsKnownErrorCode(std::int32_t code);

}  // namespace vantori
