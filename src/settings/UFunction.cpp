#include "settings/UFunction.h"

#include <dirent.h>
#include <fnmatch.h>
#include <netdb.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <set>
#include <utility>

#include "platform/UVolumeSerial.h"
#include "protocol/ProtocolConstants.h"

namespace vantori {

namespace {

// " 바이트" in cp949.
constexpr char kBytesSuffix[] = " \xB9\xD9\xC0\xCC\xC6\xAE";

std::mt19937& Generator() {
  thread_local std::mt19937 gen = [] {
    std::array<std::uint32_t, 8> seed{};
    std::size_t got = 0;
    auto* p = reinterpret_cast<unsigned char*>(seed.data());
    while (got < sizeof(seed)) {
      ssize_t n = getrandom(p + got, sizeof(seed) - got, 0);
      if (n < 0) {
        if (errno == EINTR) continue;
        // No kernel source: fall back to the library's device.
        std::random_device rd;
        for (auto& w : seed) w = rd();
        break;
      }
      got += static_cast<std::size_t>(n);
    }
    std::seed_seq seq(seed.begin(), seed.end());
    return std::mt19937(seq);
  }();
  return gen;
}

void PutWord(std::vector<std::uint8_t>& buf, std::uint32_t w) {
  buf.push_back(static_cast<std::uint8_t>(w));
  buf.push_back(static_cast<std::uint8_t>(w >> 8));
  buf.push_back(static_cast<std::uint8_t>(w >> 16));
  buf.push_back(static_cast<std::uint8_t>(w >> 24));
}

std::uint32_t GetWord(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

bool WordHasByte(std::uint32_t w, int value) {
  if (value < 0) return false;
  for (int i = 0; i < 4; ++i)
    if (static_cast<int>((w >> (8 * i)) & 0xFFu) == value) return true;
  return false;
}

// True for words whose extra entry word follows: odd and positive as a signed value.
bool HasExtraWord(std::uint32_t b) {
  return (b & 1u) != 0 && static_cast<std::int32_t>(b) > 0;
}

std::string Repeat(char c, std::size_t count) {
  return std::string(count, c);
}

}  // namespace

// ---- Text and numbers ------------------------------------------------------------

std::string PadLeftZeros(std::string_view text, int n) {
  std::string out;
  if (n > 0 && text.size() < static_cast<std::size_t>(n)) out = Repeat('0', n - text.size());
  out.append(text);
  return out;
}

std::string IntToZeroPadded(std::int64_t number, int n) {
  return PadLeftZeros(std::to_string(number), n);
}

std::string PadLeftBlanks(std::string_view text, int n) {
  std::string out;
  if (n > 0 && text.size() < static_cast<std::size_t>(n)) out = Repeat(' ', n - text.size());
  out.append(text);
  return out;
}

std::string PadRightBlanks(std::string_view text, int n) {
  std::string out(text);
  if (n > 0 && text.size() < static_cast<std::size_t>(n)) out.append(n - text.size(), ' ');
  return out;
}

void CopyToField(void* field, std::size_t n, std::string_view text) {
  auto* dst = static_cast<char*>(field);
  std::memset(dst, 0, n + 1);
  std::memcpy(dst, text.data(), text.size() < n ? text.size() : n);
}

std::string FormatSize(std::int64_t bytes) {
  char buf[64];
  if (bytes < 1024) return std::to_string(bytes) + kBytesSuffix;
  if (bytes < 1048576)
    std::snprintf(buf, sizeof buf, "%.1f KB", static_cast<double>(bytes) / 1024.0);
  else if (bytes < 1073741824)
    std::snprintf(buf, sizeof buf, "%.2f MB", static_cast<double>(bytes) / 1048576.0);
  else
    std::snprintf(buf, sizeof buf, "%.2f GB", static_cast<double>(bytes) / 1073741824.0);
  std::string out(buf);
  // The C locale is the program's; still, keep the separator a point whatever it is.
  for (char& c : out)
    if (c == ',') c = '.';
  return out;
}

std::string FormatSeconds(std::int64_t seconds) {
  if (seconds < 0) seconds = 0;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%02" PRId64 ":%02d:%02d", seconds / 3600,
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return buf;
}

std::string ColorToHex(std::uint32_t colour) {
  if ((colour & 0xFF000000u) != 0) return {};
  char buf[8];
  std::snprintf(buf, sizeof buf, "%02X%02X%02X", colour & 0xFFu, (colour >> 8) & 0xFFu,
                (colour >> 16) & 0xFFu);
  return buf;
}

std::string IPv4ToText(std::uint32_t address) {
  std::uint8_t b[4];
  std::memcpy(b, &address, 4);
  char buf[16];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", b[0], b[1], b[2], b[3]);
  return buf;
}

std::int32_t BlockSizeForIndex(std::int32_t index) {
  switch (index) {
    case 0:
      return 1024;
    case 1:
      return 2048;
    case 2:
      return 4096;
    case 3:
      return 8192;
    case 4:
      return 16384;
    case 5:
      return 32768;
    case 7:
      return 81920;
    case 8:
      return 98304;
    case 9:
      return 114688;
    default:
      return 65536;
  }
}

// ---- System ----------------------------------------------------------------------

std::string ResolveHost(std::string_view name) {
  std::string host(name);
  if (host.empty()) return host;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* res = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &res) != 0 || res == nullptr) return host;
  std::string out = host;
  for (addrinfo* ai = res; ai != nullptr; ai = ai->ai_next) {
    if (ai->ai_family == AF_INET && ai->ai_addr != nullptr) {
      const auto* sin = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
      out = IPv4ToText(sin->sin_addr.s_addr);
      break;
    }
  }
  freeaddrinfo(res);
  return out;
}

std::uint32_t VolumeSerialC() {
  return VolumeSerial();
}

std::int64_t FileSizeOf(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw EKXError("Cannot open file \"" + path + "\": " + std::strerror(errno));
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0)
    throw EKXError("Cannot read file \"" + path + "\": " + std::strerror(errno));
  return static_cast<std::int64_t>(st.st_size);
}

std::string FileVersionText(const std::string& path) {
  // Executables carry no version record here; the record of a file is the text
  // "a.b.c.d" kept beside it as path + ".version".
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return "0.0.0.0";
  std::ifstream f(path + ".version");
  unsigned long long v[4] = {0, 0, 0, 0};
  std::string line;
  if (!f || !std::getline(f, line)) return "0.0.0.0";
  char tail = 0;
  if (std::sscanf(line.c_str(), "%llu.%llu.%llu.%llu%c", &v[0], &v[1], &v[2], &v[3], &tail) < 4)
    return "0.0.0.0";
  char buf[96];
  std::snprintf(buf, sizeof buf, "%llu.%llu.%llu.%llu", v[0] & 0xFFFF, v[1] & 0xFFFF, v[2] & 0xFFFF,
                v[3] & 0xFFFF);
  return buf;
}

namespace {

bool MatchesMask(const std::string& mask, const char* name) {
  // "*.*" matches every name, with or without a dot, as the system's own wildcard does.
  if (mask.empty() || mask == "*" || mask == "*.*") return true;
  return fnmatch(mask.c_str(), name, FNM_CASEFOLD) == 0;
}

void ListInto(const std::string& folder, const std::string& mask, std::vector<std::string>& list,
              std::set<std::pair<dev_t, ino_t>>& visited) {
  std::string base = folder;
  if (base.empty() || base.back() != '/') base += '/';
  struct stat self {};
  if (::stat(base.c_str(), &self) != 0) return;
  if (!visited.insert({self.st_dev, self.st_ino}).second) return;

  DIR* d = ::opendir(base.c_str());
  if (d == nullptr) return;
  std::vector<std::string> files, folders;
  while (dirent* e = ::readdir(d)) {
    if (e->d_name[0] == '.') continue;
    std::string full = base + e->d_name;
    struct stat st {};
    if (::stat(full.c_str(), &st) != 0) continue;  // dangling link
    if (S_ISDIR(st.st_mode))
      folders.push_back(e->d_name);
    else if (MatchesMask(mask, e->d_name))
      files.push_back(e->d_name);
  }
  ::closedir(d);
  // The directory order of the system is no order; keep listings repeatable.
  std::sort(files.begin(), files.end());
  std::sort(folders.begin(), folders.end());
  for (const auto& f : files) list.push_back(base + f);
  for (const auto& f : folders) {
    list.push_back(base + f);
    ListInto(base + f, mask, list, visited);
  }
}

}  // namespace

void ListFilesRecursive(const std::string& folder, const std::string& mask, std::vector<std::string>& list) {
  std::set<std::pair<dev_t, ino_t>> visited;
  ListInto(folder, mask, list, visited);
}

// ---- Scrambler -------------------------------------------------------------------

std::uint32_t RandomBelow(std::uint32_t bound) {
  if (bound == 0) return 0;
  std::uniform_int_distribution<std::uint32_t> dist(0, bound - 1);
  return dist(Generator());
}

std::vector<std::uint8_t> EncodeCountedText(std::string_view text, const TCountedTextBounds& bounds,
                                            int avoid) {
  auto draw = [&](std::uint32_t bound) {
    for (;;) {
      std::uint32_t w = RandomBelow(bound);
      if (!WordHasByte(w, avoid)) return w;
    }
  };
  std::vector<std::uint8_t> buf;
  buf.reserve(8 + text.size() * 12);
  PutWord(buf, draw(bounds.First));
  PutWord(buf, static_cast<std::uint32_t>(text.size()) + proto::kScrambleCountOffset);
  for (unsigned char c : text) {
    std::uint32_t a, b;
    do {
      a = draw(bounds.Char);
      b = a + c;
    } while (WordHasByte(b, avoid));
    PutWord(buf, a);
    PutWord(buf, b);
    if (HasExtraWord(b)) PutWord(buf, draw(bounds.Extra));
  }
  return buf;
}

bool DecodeCountedText(const std::uint8_t* data, std::size_t size, std::string& out) {
  out.clear();
  if (size < 8) return false;
  const std::int32_t count = static_cast<std::int32_t>(GetWord(data + 4) - proto::kScrambleCountOffset);
  if (count <= 0) return true;
  std::size_t pos = 8;
  std::string text;
  for (std::int32_t i = 0; i < count; ++i) {
    if (size - pos < 8) return false;
    const std::uint32_t a = GetWord(data + pos);
    const std::uint32_t b = GetWord(data + pos + 4);
    text.push_back(static_cast<char>((b - a) & 0xFFu));
    pos += 8;
    if (HasExtraWord(b)) {
      if (size - pos < 4) return false;
      pos += 4;
    }
  }
  out = std::move(text);
  return true;
}

namespace {

constexpr TCountedTextBounds kScrambleBounds{2147483547u, 2147483347u, 2147483147u};

// The smallest byte value 1..255 absent from buf, or 0 when every value occurs.
int SmallestAbsent(const std::vector<std::uint8_t>& buf) {
  std::array<bool, 256> seen{};
  for (std::uint8_t b : buf) seen[b] = true;
  for (int v = 1; v <= 255; ++v)
    if (!seen[v]) return v;
  return 0;
}

}  // namespace

std::string ScrambleText(std::string_view text) {
  if (text.empty()) return {};
  std::vector<std::uint8_t> buf = EncodeCountedText(text, kScrambleBounds);
  int s = SmallestAbsent(buf);
  if (s == 0) {
    // Long texts can use every byte value, which leaves no marker for the zero
    // bytes. Draw again with random words that keep one value free; the count word
    // is fixed, so keep a value it does not contain.
    const std::uint32_t countWord = static_cast<std::uint32_t>(text.size()) + proto::kScrambleCountOffset;
    int avoid = 255;
    while (avoid > 0 && WordHasByte(countWord, avoid)) --avoid;
    buf = EncodeCountedText(text, kScrambleBounds, avoid);
    s = SmallestAbsent(buf);
    if (s == 0) throw EKXError("ScrambleText : no free marker byte");
  }
  std::string out;
  out.reserve(buf.size() + 1);
  out.push_back(static_cast<char>(s));
  for (std::uint8_t b : buf) out.push_back(static_cast<char>(b == 0 ? s : b));
  return out;
}

bool TryUnscrambleText(std::string_view text, std::string& out) noexcept {
  out.clear();
  if (text.empty()) return true;
  try {
    const std::uint8_t s = static_cast<std::uint8_t>(text[0]);
    std::vector<std::uint8_t> buf(text.size() - 1);
    for (std::size_t i = 1; i < text.size(); ++i) {
      const auto b = static_cast<std::uint8_t>(text[i]);
      buf[i - 1] = b == s ? 0 : b;
    }
    return DecodeCountedText(buf.data(), buf.size(), out);
  } catch (...) {
    out.clear();
    return false;
  }
}

std::string UnscrambleText(std::string_view text) {
  std::string out;
  if (!TryUnscrambleText(text, out)) throw EKXError("UnscrambleText : text too short for its entries");
  return out;
}

}  // namespace vantori
