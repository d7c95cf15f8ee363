#include "platform/UFileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace vantori {

TFileLock::TFileLock(const std::string& path, std::chrono::milliseconds timeout) {
  FFd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (FFd < 0) return;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  auto pause = std::chrono::milliseconds(1);
  for (;;) {
    if (::flock(FFd, LOCK_EX | LOCK_NB) == 0) {
      FLocked = true;
      return;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return;
    if (std::chrono::steady_clock::now() >= deadline) return;
    std::this_thread::sleep_for(pause);
    if (pause < std::chrono::milliseconds(20)) pause *= 2;
  }
}

TFileLock::~TFileLock() {
  if (FFd >= 0) {
    if (FLocked) ::flock(FFd, LOCK_UN);
    ::close(FFd);
  }
}

}  // namespace vantori
