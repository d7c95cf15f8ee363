#include "settings/ULog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "platform/UFileLock.h"
#include "platform/UPaths.h"

namespace vantori {

namespace {

std::tm LocalTime(std::chrono::system_clock::time_point t) {
  const std::time_t tt = std::chrono::system_clock::to_time_t(t);
  std::tm tm{};
  localtime_r(&tt, &tm);
  return tm;
}

}  // namespace

TLog::TLog(std::string folder, TClock clock)
    : FFolder(folder.empty() ? DataRoot() + "/Log" : std::move(folder)), FClock(std::move(clock)) {
  while (FFolder.size() > 1 && FFolder.back() == '/') FFolder.pop_back();
  if (!FClock) FClock = [] { return std::chrono::system_clock::now(); };
  FPrefix = FFolder + "/Log";
  if (!EnsureDirectory(FFolder)) FLastError = "Cannot create the log folder \"" + FFolder + "\"";
}

void TLog::SetFileName(const std::string& name) {
  std::lock_guard<std::mutex> lock(FLock);
  FPrefix = FFolder + "/" + name;
}

void TLog::SetLockWait(std::chrono::milliseconds wait) {
  std::lock_guard<std::mutex> lock(FLock);
  FLockWait = wait;
}

std::string TLog::FileForDay(int day) const {
  std::lock_guard<std::mutex> lock(FLock);
  char dd[8];
  std::snprintf(dd, sizeof dd, "%02d", day);
  return FPrefix + dd + ".txt";
}

std::string TLog::LastMessage() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FLastMessage;
}

std::string TLog::LastError() const {
  std::lock_guard<std::mutex> lock(FLock);
  return FLastError;
}

bool TLog::Write(const std::string& message) noexcept {
  try {
    std::lock_guard<std::mutex> lock(FLock);
    FLastMessage = message;
    // Other copies of the program write into the same files. A writer that holds
    // the lock too long does not stop this one: the record is one append either way.
    TFileLock fileLock(LockFile(), FLockWait);

    const auto now = FClock();
    const std::tm today = LocalTime(now);
    const std::tm tomorrow = LocalTime(now + std::chrono::hours(24));
    char dd[8];
    std::snprintf(dd, sizeof dd, "%02d", tomorrow.tm_mday);
    const std::string next = FPrefix + dd + ".txt";
    std::snprintf(dd, sizeof dd, "%02d", today.tm_mday);
    const std::string file = FPrefix + dd + ".txt";

    if (::unlink(next.c_str()) != 0 && errno != ENOENT) {
      // Not fatal: today's record still goes in.
      FLastError = "Cannot delete \"" + next + "\": " + std::strerror(errno);
    }

    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d ", today.tm_hour, today.tm_min, today.tm_sec);
    std::string record = stamp;
    record += message;
    record += "\r\n";

    const int fd = ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
      FLastError = "Cannot open \"" + file + "\": " + std::strerror(errno);
      return false;
    }
    const char* p = record.data();
    std::size_t left = record.size();
    bool ok = true;
    while (left > 0) {
      const ssize_t n = ::write(fd, p, left);
      if (n < 0) {
        if (errno == EINTR) continue;
        FLastError = "Cannot write \"" + file + "\": " + std::strerror(errno);
        ok = false;
        break;
      }
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    ::close(fd);
    return ok;
  } catch (...) {
    return false;
  }
}

}  // namespace vantori
