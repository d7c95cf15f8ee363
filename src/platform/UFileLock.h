#pragma once
// A cross-process lock on a lock file (flock), private to the user (mode 0600), taken
// with a time limit so that a stuck holder never blocks the caller for good.

#include <chrono>
#include <string>

namespace vantori {

class TFileLock {
 public:
  // Opens (creates) the lock file and tries to lock it for up to timeout.
  // Locked() tells whether it succeeded; the lock goes with the object.
  TFileLock(const std::string& path, std::chrono::milliseconds timeout);
  ~TFileLock();
  TFileLock(const TFileLock&) = delete;
  TFileLock& operator=(const TFileLock&) = delete;

  bool Locked() const { return FLocked; }

 private:
  int FFd = -1;
  bool FLocked = false;
};

}  // namespace vantori
