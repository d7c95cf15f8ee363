#include "platform/UCodePage.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace vantori {
namespace {

class Converter {
 public:
  Converter(const char* to, const char* from) : FCd(iconv_open(to, from)) {
    if (FCd == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
  }
  ~Converter() { iconv_close(FCd); }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; on a bad sequence either gives up (replacement == nullptr) or writes the
  // replacement and skips one input byte.
  std::optional<std::string> Run(std::string_view in, const std::string_view* replacement) {
    std::string out;
    out.reserve(in.size() * 2 + 8);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buf[1024];
    while (true) {
      char* dst = buf;
      std::size_t dstLeft = sizeof buf;
      // A null source flushes any shift state once the input is done.
      const std::size_t rc = srcLeft != 0 ? iconv(FCd, &src, &srcLeft, &dst, &dstLeft)
                                          : iconv(FCd, nullptr, nullptr, &dst, &dstLeft);
      out.append(buf, static_cast<std::size_t>(dst - buf));
      if (rc != static_cast<std::size_t>(-1)) {
        if (srcLeft == 0) return out;
        continue;
      }
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (a sequence cut at the end): the input does not convert here.
      if (replacement == nullptr) return std::nullopt;
      out.append(*replacement);
      ++src;
      --srcLeft;
      iconv(FCd, nullptr, nullptr, nullptr, nullptr);
      if (srcLeft == 0) return out;
    }
  }

 private:
  iconv_t FCd;
};

}  // namespace

std::optional<std::string> Cp949ToUtf8(std::string_view cp949) {
  return Converter("UTF-8", "CP949").Run(cp949, nullptr);
}

std::optional<std::string> Utf8ToCp949(std::string_view utf8) {
  return Converter("CP949", "UTF-8").Run(utf8, nullptr);
}

std::string Cp949ToUtf8Lossy(std::string_view cp949, std::string_view replacement) {
  return *Converter("UTF-8", "CP949").Run(cp949, &replacement);
}

std::string Utf8ToCp949Lossy(std::string_view utf8, std::string_view replacement) {
  return *Converter("CP949", "UTF-8").Run(utf8, &replacement);
}

}  // namespace vantori
