// vantori-launcher end to end: a login against the reference server, the login block, and
// a stand-in client (this test program, run in its fake-client mode) that registers the
// launcher's window and reports its start.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "folders/NetFixture.h"
#include "protocol/USharedMemory.h"
#include "protocol/UWindowMessages.h"

extern char** environ;

namespace vantori::test {
namespace {

std::string ThisProgram() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  path[n > 0 ? n : 0] = '\0';
  return path;
}

// The stand-in client: checks the login block, wipes the password, publishes its window,
// waits for the launcher to register and tells it the outcome named by the environment.
TEST(FakeClient, Run) {
  const char* mode = std::getenv("VANTORI_FAKE_CLIENT");
  if (mode == nullptr) GTEST_SKIP() << "only run by the launcher test";
  TSMCustom login(static_cast<int>(kLoginInfoSize));
  login.SetSMName(kLoginInfoBlock);
  TLoginBlock info = ReadLoginBlock(login.Memory());
  ASSERT_EQ(info.UserID, "demo");
  ASSERT_EQ(info.Password, "demo1234");
  ASSERT_GT(info.UserSeq, 0);
  WipeLoginPassword(login.Memory());

  std::atomic<THWnd> launcher{0};
  TMessageWindow window([&](std::uint32_t msg, std::uint64_t w, std::int64_t) -> std::int64_t {
    if (msg == WM_REGISTER_WINDOW || msg == WM_REGISTER_WINDOW2) launcher = static_cast<THWnd>(w);
    return kPresenceAnswer;
  });
  TSMCustom handle(static_cast<int>(kHandleInfoSize));
  handle.SetSMName(kHandleInfoBlock);
  WriteInt32(handle.Memory(), static_cast<std::int32_t>(window.Handle()));
  WriteInt32(login.Memory(), static_cast<std::int32_t>(window.Handle()));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (launcher == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_NE(launcher.load(), 0u);
  SendMessageTo(launcher, std::string(mode) == "fail" ? WM_STARTUP_FAILED : WM_STARTUP_DONE);
}

class Launcher : public NetFixture {
 protected:
  int RunLauncher(const std::vector<std::string>& extra, const char* fakeMode) {
    std::string launcher = (std::filesystem::path(ThisProgram()).parent_path() / "vantori-launcher").string();
    if (!std::filesystem::exists(launcher)) return -1;
    std::vector<std::string> args{
        launcher,   "--host",      "127.0.0.1", "--base-port", std::to_string(FPort),
        "--client", ThisProgram(), "--timeout", "20"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.insert(args.end(), {"--", "--gtest_filter=FakeClient.Run"});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    if (fakeMode != nullptr)
      setenv("VANTORI_FAKE_CLIENT", fakeMode, 1);
    else
      unsetenv("VANTORI_FAKE_CLIENT");
    pid_t pid = 0;
    // The stand-in client's own test report would only clutter this one.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    int spawned = posix_spawn(&pid, launcher.c_str(), &quiet, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&quiet);
    unsetenv("VANTORI_FAKE_CLIENT");
    if (spawned != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(Launcher, ExitStatusFollowsTheLoginAndTheClientsReport) {
  struct TCase {
    const char* Name;
    std::vector<std::string> Args;
    const char* Mode;
    int Status;
  };
  const TCase cases[] = {
      {"started", {"--user", "demo", "--password", "demo1234"}, "ok", 0},
      {"client failed", {"--user", "demo", "--password", "demo1234"}, "fail", 3},
      {"wrong password", {"--user", "demo", "--password", "nope"}, "ok", 2},
      {"client ends without a word", {"--user", "demo", "--password", "demo1234"}, nullptr, 4},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    int status = RunLauncher(c.Args, c.Mode);
    if (status == -1) GTEST_SKIP() << "vantori-launcher is not built beside the tests";
    EXPECT_EQ(status, c.Status);
  }
}

}  // namespace
}  // namespace vantori::test
