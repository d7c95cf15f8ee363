#include "settings/UFileChecksum.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "settings/UFunction.h"

namespace vantori {

namespace {

constexpr std::int64_t kSample = 10240;

// Reads exactly n bytes at offset (fewer only at the end of the file).
std::size_t ReadAt(int fd, std::uint8_t* dst, std::size_t n, std::int64_t offset) {
  std::size_t done = 0;
  while (done < n) {
    const ssize_t got =
        ::pread(fd, dst + done, n - done, static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
    if (got < 0) {
      if (errno == EINTR) continue;
      throw EKXError(std::string("FileChecksum : ") + std::strerror(errno));
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

}  // namespace

std::int64_t SampleChecksum(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  const std::uint32_t m = bytes[0] % 20 + 4;
  std::uint32_t sum = 0;
  for (std::size_t k = 0; k < size; ++k) {
    const std::uint32_t r = static_cast<std::uint32_t>((k + 1) % m);
    if (r > 0)
      sum += static_cast<std::uint32_t>(bytes[k]) * r;
    else
      sum -= static_cast<std::uint32_t>(bytes[k]) * m;
  }
  return static_cast<std::int32_t>(sum);
}

std::int64_t FileChecksum(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) throw EKXError("FileChecksum : " + path + ": " + std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat st {};
  if (::fstat(fd, &st) != 0) throw EKXError("FileChecksum : " + path + ": " + std::strerror(errno));
  const std::int64_t s = st.st_size;
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(kSample), 0);
  std::size_t n = 0;
  if (s <= kSample) {
    n = ReadAt(fd, buffer.data(), static_cast<std::size_t>(s), 0);
  } else if (s <= 102400) {
    n = ReadAt(fd, buffer.data(), kSample, s - kSample);
  } else if (s <= 1048576) {
    n = ReadAt(fd, buffer.data(), kSample, s - 10245);
  } else {
    const std::int64_t step = s / 11;
    std::int64_t offset = 0;
    for (int slice = 0; slice < 10; ++slice) {
      offset += step;
      ReadAt(fd, buffer.data() + slice * 1000, 1000, offset);
      offset += 1000;
    }
    n = static_cast<std::size_t>(kSample);
  }
  return SampleChecksum(buffer.data(), n);
}

}  // namespace vantori
