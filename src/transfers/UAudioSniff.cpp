#include "transfers/UAudioSniff.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace vantori {

namespace {

bool Contains(const std::uint8_t* data, std::size_t size, const std::uint8_t* what, std::size_t n) {
  return std::search(data, data + size, what, what + n) != data + size;
}

// A frame header: 11 sync bits, a version other than "reserved", a layer other than
// "reserved", a bitrate index other than "bad" and a sampling rate other than "reserved".
bool IsFrameHeader(const std::uint8_t* p) {
  if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0) return false;
  if (((p[1] >> 3) & 3) == 1) return false;
  if (((p[1] >> 1) & 3) == 0) return false;
  if ((p[2] >> 4) == 0xF) return false;
  if (((p[2] >> 2) & 3) == 3) return false;
  return true;
}

}  // namespace

bool IsMpegAudio(const std::uint8_t* head, std::size_t size) {
  std::size_t at = 0;
  if (size >= 10 && std::memcmp(head, "ID3", 3) == 0) {
    // Tag size: four 7-bit bytes.
    const std::size_t tag = (static_cast<std::size_t>(head[6] & 0x7F) << 21) | ((head[7] & 0x7F) << 14) |
                            ((head[8] & 0x7F) << 7) | (head[9] & 0x7F);
    at = 10 + tag;
    if (at >= size) return true;  // a tag that long is an audio file's
  }
  return at + 4 <= size && IsFrameHeader(head + at);
}

bool IsOggVorbis(const std::uint8_t* head, std::size_t size) {
  static const std::uint8_t vorbis[] = {0x01, 'v', 'o', 'r', 'b', 'i', 's'};
  return size >= 35 && std::memcmp(head, "OggS", 4) == 0 &&
         Contains(head, std::min<std::size_t>(size, 512), vorbis, 7);
}

bool IsWindowsMediaAudio(const std::uint8_t* head, std::size_t size) {
  static const std::uint8_t asf[] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                     0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  static const std::uint8_t audio[] = {0x40, 0x9E, 0x69, 0xF8, 0x4D, 0x5B, 0xCF, 0x11,
                                       0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
  static const std::uint8_t video[] = {0xC0, 0xEF, 0x19, 0xBC, 0x4D, 0x5B, 0xCF, 0x11,
                                       0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B};
  if (size < 16 || std::memcmp(head, asf, 16) != 0) return false;
  return Contains(head, size, audio, 16) && !Contains(head, size, video, 16);
}

bool IsRefusedAudioFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::vector<std::uint8_t> head(65536);
  const ssize_t n = ::pread(fd, head.data(), head.size(), 0);
  ::close(fd);
  if (n <= 0) return false;
  const auto size = static_cast<std::size_t>(n);
  return IsMpegAudio(head.data(), size) || IsOggVorbis(head.data(), size) ||
         IsWindowsMediaAudio(head.data(), size);
}

}  // namespace vantori
