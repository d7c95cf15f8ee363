// Window messages over the per-window sockets: results, missing windows, the
// user-interface thread, and a round trip between two processes.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "protocol/UDispatcher.h"
#include "protocol/UWindowMessages.h"

namespace vantori {
namespace {

class WindowMessages : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/vantori-wnd-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    FHome = dir;
    if (const char* old = std::getenv("VANTORI_HOME")) FOldHome = old, FHadHome = true;
    setenv("VANTORI_HOME", dir, 1);
  }
  void TearDown() override {
    if (FHadHome)
      setenv("VANTORI_HOME", FOldHome.c_str(), 1);
    else
      unsetenv("VANTORI_HOME");
    std::string command = "rm -rf '" + FHome + "'";
    (void)!std::system(command.c_str());
  }
  std::string FHome;
  std::string FOldHome;
  bool FHadHome = false;
};

TEST_F(WindowMessages, TheProcedureAnswersWithItsResult) {
  TMessageWindow window([](std::uint32_t msg, std::uint64_t w, std::int64_t l) -> std::int64_t {
    if (msg == WM_PRESENCE) return kPresenceAnswer;
    if (msg == WM_COIN_TOP_UP) return static_cast<std::int64_t>(w) + l;
    throw std::runtime_error("unknown");
  });
  EXPECT_TRUE(IsWindow(window.Handle()));
  EXPECT_EQ(SendMessageTo(window.Handle(), WM_PRESENCE), 123);
  EXPECT_EQ(SendMessageTo(window.Handle(), WM_COIN_TOP_UP, 40, -2), 38);
  EXPECT_EQ(SendMessageTo(window.Handle(), 0x0999), -1);  // a procedure error is -1

  struct stat st {};
  ASSERT_EQ(stat(WindowSocketPath(window.Handle()).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(WindowMessages, AClosedOrUnknownWindowIsAnError) {
  THWnd handle = 0;
  {
    TMessageWindow window([](std::uint32_t, std::uint64_t, std::int64_t) -> std::int64_t { return 1; });
    handle = window.Handle();
  }
  EXPECT_FALSE(IsWindow(handle));
  EXPECT_THROW(SendMessageTo(handle, WM_PRESENCE), EWindowMessageError);
  EXPECT_THROW(SendMessageTo(0, WM_PRESENCE), EWindowMessageError);
}

TEST_F(WindowMessages, WithADispatcherTheProcedureRunsOnTheUserInterfaceThread) {
  TQueueDispatcher ui;
  std::thread::id ranOn;
  TMessageWindow window(
      [&](std::uint32_t, std::uint64_t, std::int64_t) -> std::int64_t {
        ranOn = std::this_thread::get_id();
        return 100;
      },
      &ui);
  std::atomic<std::int64_t> result{0};
  std::thread sender([&] { result = SendMessageTo(window.Handle(), WM_SHOW_DOWNLOADS); });
  while (result == 0) ui.PumpFor(std::chrono::milliseconds(20));
  sender.join();
  EXPECT_EQ(result, 100);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  // From the user-interface thread itself the call is direct.
  EXPECT_EQ(SendMessageTo(window.Handle(), WM_SHOW_DOWNLOADS), 100);
}

TEST_F(WindowMessages, AHungWindowTimesOut) {
  TQueueDispatcher ui;  // never pumped while the message waits
  TMessageWindow window([](std::uint32_t, std::uint64_t, std::int64_t) -> std::int64_t { return 1; }, &ui);
  std::int64_t result = 0;
  bool failed = false;
  std::thread sender([&] {
    try {
      result = SendMessageTo(window.Handle(), WM_PRESENCE, 0, 0, 200);
    } catch (const EWindowMessageError&) {
      failed = true;
    }
  });
  sender.join();
  EXPECT_TRUE(failed);
  ui.Pump();  // lets the window's thread finish the late call
}

TEST_F(WindowMessages, DestroyingTheWindowReleasesACallWaitingForTheUserInterface) {
  TQueueDispatcher ui;
  auto window = std::make_unique<TMessageWindow>(
      [](std::uint32_t, std::uint64_t, std::int64_t) -> std::int64_t { return 1; }, &ui);
  std::atomic<std::int64_t> result{0};
  std::thread sender(
      [&, handle = window->Handle()] { result = SendMessageTo(handle, WM_PRESENCE, 0, 0, 5000); });
  while (ui.Pending() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  window.reset();  // on the user-interface thread, with the call still queued
  sender.join();
  EXPECT_EQ(result, -1);
  EXPECT_EQ(ui.Pump(), 1);  // the queued call runs no procedure any more
}

TEST_F(WindowMessages, RoundTripBetweenTwoProcesses) {
  int toChild[2], toParent[2];
  ASSERT_EQ(pipe(toChild), 0);
  ASSERT_EQ(pipe(toParent), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The other process: a window that answers, and a message back to the first one.
    THWnd parentWindow = 0;
    if (read(toChild[0], &parentWindow, sizeof parentWindow) != sizeof parentWindow) _exit(2);
    std::atomic<bool> done{false};
    int code = 0;
    {
      TMessageWindow mine([&](std::uint32_t msg, std::uint64_t w, std::int64_t) -> std::int64_t {
        if (msg == WM_STARTUP_FAILED) done = true;
        return msg == WM_REGISTER_WINDOW ? static_cast<std::int64_t>(w) * 2 : kPresenceAnswer;
      });
      THWnd handle = mine.Handle();
      if (write(toParent[1], &handle, sizeof handle) != sizeof handle) _exit(3);
      try {
        if (SendMessageTo(parentWindow, WM_STARTUP_DONE, handle) != 1) code = 4;
      } catch (...) {
        code = 5;
      }
      while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    _exit(code);
  }
  std::atomic<THWnd> reported{0};
  TMessageWindow parent([&](std::uint32_t msg, std::uint64_t w, std::int64_t) -> std::int64_t {
    if (msg == WM_STARTUP_DONE) reported = static_cast<THWnd>(w);
    return 1;
  });
  THWnd parentHandle = parent.Handle();
  ASSERT_EQ(write(toChild[1], &parentHandle, sizeof parentHandle), static_cast<ssize_t>(sizeof parentHandle));
  THWnd childHandle = 0;
  ASSERT_EQ(read(toParent[0], &childHandle, sizeof childHandle), static_cast<ssize_t>(sizeof childHandle));
  EXPECT_NE(childHandle, parentHandle);
  EXPECT_EQ(SendMessageTo(childHandle, WM_PRESENCE), 123);
  EXPECT_EQ(SendMessageTo(childHandle, WM_REGISTER_WINDOW, 21), 42);
  while (reported == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(reported, childHandle);
  EXPECT_EQ(SendMessageTo(childHandle, WM_STARTUP_FAILED), 123);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  for (int fd : {toChild[0], toChild[1], toParent[0], toParent[1]}) close(fd);
}

}  // namespace
}  // namespace vantori
