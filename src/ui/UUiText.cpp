#include "ui/UUiText.h"

#include "platform/UCodePage.h"

namespace vantori {

QString FromAnsi(std::string_view cp949) {
  const std::string utf8 = Cp949ToUtf8Lossy(cp949);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string ToAnsi(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToCp949Lossy(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace vantori
