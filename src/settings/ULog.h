#pragma once
// The diagnostic log: one line per record in a file per day of the month
// (Log/ClientLog01.txt .. ClientLog31.txt), shared by every thread and every running
// copy of the program. Write never raises: its callers are error handlers.

#include <chrono>
#include <functional>
#include <mutex>
#include <string>

namespace vantori {

class TLog {
 public:
  using TClock = std::function<std::chrono::system_clock::time_point()>;

  // Creates the log folder (DataRoot() + "/Log" when folder is empty) if it is
  // missing. clock defaults to the system clock; tests pass their own.
  explicit TLog(std::string folder = std::string(), TClock clock = TClock());
  TLog(const TLog&) = delete;
  TLog& operator=(const TLog&) = delete;

  // The files become folder + "/" + name + "dd.txt" (default name "Log").
  void SetFileName(const std::string& name);

  // Appends "hh:nn:ss message\r\n" to today's file, after deleting tomorrow's file
  // (which keeps one month of files). False when the record could not be written;
  // LastError() then says why.
  bool Write(const std::string& message) noexcept;

  const std::string& Folder() const { return FFolder; }
  // The file of a day of the month (1..31).
  std::string FileForDay(int day) const;
  std::string LastMessage() const;
  std::string LastError() const;

  // How long Write waits for another writer before writing without the lock.
  static constexpr std::chrono::milliseconds kLockWait{2000};
  void SetLockWait(std::chrono::milliseconds wait);
  // The cross-process lock file (mode 0600) in the log folder.
  std::string LockFile() const { return FFolder + "/mutexLog.lock"; }

 private:
  std::string FFolder;
  std::string FPrefix;
  TClock FClock;
  std::chrono::milliseconds FLockWait = kLockWait;
  mutable std::mutex FLock;
  std::string FLastMessage;
  std::string FLastError;
};

}  // namespace vantori
