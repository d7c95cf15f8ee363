// The day-of-month log files.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/TempHome.h"
#include "platform/UAtomicFile.h"
#include "platform/UFileLock.h"
#include "platform/UPaths.h"
#include "settings/ULog.h"

namespace vantori {
namespace {

std::chrono::system_clock::time_point LocalTime(int year, int month, int day, int h, int m, int s) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = h;
  tm.tm_min = m;
  tm.tm_sec = s;
  tm.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

std::string Slurp(const std::string& path) {
  std::string s;
  ReadWholeFile(path, s);
  return s;
}

class LogTest : public testing::TempHomeTest {
 protected:
  std::chrono::system_clock::time_point Now;
  TLog::TClock Clock() {
    return [this] { return Now; };
  }
};

TEST_F(LogTest, FolderIsCreatedWithTheLogAndRecordsGoInOrder) {
  Now = LocalTime(2026, 3, 7, 9, 5, 3);
  TLog log(std::string(), Clock());
  EXPECT_TRUE(std::filesystem::is_directory(DataRoot() + "/Log"));
  log.SetFileName("ClientLog");
  EXPECT_TRUE(log.Write("First : one"));
  EXPECT_TRUE(log.Write("Second : two"));
  EXPECT_EQ(Slurp(DataRoot() + "/Log/ClientLog07.txt"), "09:05:03 First : one\r\n09:05:03 Second : two\r\n");
  EXPECT_EQ(log.LastMessage(), "Second : two");
  struct stat st {};
  ASSERT_EQ(::stat(log.LockFile().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // The default prefix before SetFileName is "Log".
  TLog plain(std::string(), Clock());
  plain.Write("x");
  EXPECT_TRUE(std::filesystem::exists(DataRoot() + "/Log/Log07.txt"));
}

TEST_F(LogTest, TomorrowsFileIsEmptiedADayAhead) {
  const struct {
    int month, day;
    const char* written;
    const char* deleted;
    const char* kept;
    const char* before;  // what the written file held
  } cases[] = {
      {1, 31, "31", "01", "30", "old\r\n"},  // the 31st deletes day 01 before writing day 31
      {4, 30, "30", "01", "31", "old\r\n"},  // a 30-day month leaves day 31 alone
      {3, 14, "14", "15", "01", ""},
  };
  for (const auto& c : cases) {
    TLog log(std::string(), Clock());
    log.SetFileName("ClientLog");
    for (const char* d : {"01", "15", "30", "31"})
      std::ofstream(DataRoot() + "/Log/ClientLog" + d + ".txt") << "old\r\n";
    Now = LocalTime(2026, c.month, c.day, 23, 59, 59);
    ASSERT_TRUE(log.Write("m"));
    const std::string dir = DataRoot() + "/Log/ClientLog";
    EXPECT_EQ(Slurp(dir + c.written + ".txt"), std::string(c.before) + "23:59:59 m\r\n") << c.written;
    EXPECT_FALSE(std::filesystem::exists(dir + c.deleted + ".txt")) << c.deleted;
    EXPECT_TRUE(std::filesystem::exists(dir + c.kept + ".txt")) << c.kept;
  }
}

TEST_F(LogTest, AFailedWriteNeverThrows) {
  Now = LocalTime(2026, 5, 11, 1, 2, 3);
  {
    // The day's file cannot be opened (a folder stands in its place).
    TLog log(std::string(), Clock());
    log.SetFileName("ClientLog");
    std::filesystem::create_directory(DataRoot() + "/Log/ClientLog11.txt");
    EXPECT_FALSE(log.Write("lost"));
    EXPECT_NE(log.LastError().find("ClientLog11.txt"), std::string::npos);
    EXPECT_EQ(log.LastMessage(), "lost");
  }
  {
    // The log folder cannot be created at all.
    std::ofstream(Home + "/blocked") << "x";
    TLog log(Home + "/blocked/Log", Clock());
    EXPECT_FALSE(log.Write("lost"));
  }
}

TEST_F(LogTest, AStuckLockHolderDelaysButDoesNotStopWriting) {
  Now = LocalTime(2026, 5, 11, 1, 2, 3);
  TLog log(std::string(), Clock());
  log.SetLockWait(std::chrono::milliseconds(20));
  TFileLock other(log.LockFile(), std::chrono::milliseconds(0));
  ASSERT_TRUE(other.Locked());
  EXPECT_TRUE(log.Write("still written"));
  EXPECT_NE(Slurp(log.FileForDay(11)).find("still written"), std::string::npos);
}

TEST_F(LogTest, ConcurrentWritersProduceWholeLines) {
  Now = LocalTime(2026, 5, 11, 1, 2, 3);
  TLog a(std::string(), Clock());
  TLog b(std::string(), Clock());  // a second writer of the same files, as another copy would be
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 50; ++i) (t % 2 ? a : b).Write("T" + std::to_string(t) + " : " + std::to_string(i));
    });
  for (auto& th : threads) th.join();
  std::istringstream in(Slurp(a.FileForDay(11)));
  std::string line;
  int lines = 0;
  while (std::getline(in, line)) {
    ++lines;
    EXPECT_EQ(line.rfind("01:02:03 T", 0), 0u) << line;
    EXPECT_EQ(line.back(), '\r');
  }
  EXPECT_EQ(lines, 200);
}

}  // namespace
}  // namespace vantori
