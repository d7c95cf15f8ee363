#pragma once
// Text at the edge between the core (cp949 byte strings) and the widgets (QString).

#include <QString>
#include <string>
#include <string_view>

namespace vantori {

// cp949 bytes to a QString; bytes that do not convert become U+FFFD, never lost silently.
QString FromAnsi(std::string_view cp949);
// A QString to cp949 bytes; characters cp949 cannot hold become "?".
std::string ToAnsi(const QString& text);

}  // namespace vantori
