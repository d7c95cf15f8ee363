// The client's side of the launcher: its messages and the start-up result told once.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <vector>

#include "settings/ULoginLauncher.h"
#include "settings/UMoneyInfo.h"

namespace vantori {
namespace {

class LauncherLink : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/vantori-link-XXXXXX";
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

TEST_F(LauncherLink, MessagesThatNeedNoWindowAnswerAtOnce) {
  TLauncherLink link;
  TMoneyInfo money;
  money.SetCoins(10);
  int refreshed = 0;
  auto answer = [&](std::uint32_t msg, std::uint64_t w, std::int64_t l) {
    return AnswerLauncherMessage(msg, w, l, link, &money, 41, [&] { ++refreshed; });
  };
  EXPECT_EQ(answer(WM_PRESENCE, 0, 0), 123);
  EXPECT_EQ(answer(WM_REGISTER_WINDOW, 77, 0), 123);
  EXPECT_EQ(link.Window(), 77u);
  EXPECT_EQ(answer(WM_REGISTER_WINDOW2, 78, 0), 123);  // a second one replaces the first
  EXPECT_EQ(link.Window(), 78u);

  EXPECT_EQ(answer(WM_COIN_TOP_UP, 40, 5), 123);  // another member: nothing changes
  EXPECT_EQ(money.Coins(), 10);
  EXPECT_EQ(refreshed, 0);
  EXPECT_EQ(answer(WM_COIN_TOP_UP, 41, 5), 123);
  EXPECT_EQ(money.Coins(), 15);
  EXPECT_EQ(refreshed, 1);
  EXPECT_EQ(answer(WM_COIN_TOP_UP, 41, std::int64_t{1} << 40), -1);
  EXPECT_EQ(money.Coins(), 15);

  EXPECT_FALSE(answer(WM_DOWNLOAD_FILES, 0, 0).has_value());
}

TEST_F(LauncherLink, TheLauncherIsToldOnce) {
  std::vector<std::uint32_t> got;
  TMessageWindow launcher([&](std::uint32_t msg, std::uint64_t, std::int64_t) -> std::int64_t {
    got.push_back(msg);
    return 0;
  });
  TLauncherLink quiet;
  quiet.Remember(launcher.Handle());
  EXPECT_FALSE(quiet.NotifyFailed());  // not started by the launcher

  TLauncherLink link;
  link.SetReporting(true);
  EXPECT_FALSE(link.NotifyFailed());  // no window yet
  link.Remember(launcher.Handle());
  EXPECT_TRUE(link.NotifyFailed());
  EXPECT_FALSE(link.NotifyFailed());
  EXPECT_FALSE(link.NotifyStarted());
  EXPECT_TRUE(link.Told());
  EXPECT_EQ(got, std::vector<std::uint32_t>{WM_STARTUP_FAILED});
}

TEST_F(LauncherLink, AVanishedLauncherDoesNotHoldTheClient) {
  TLauncherLink link;
  link.SetReporting(true);
  {
    TMessageWindow gone([](std::uint32_t, std::uint64_t, std::int64_t) -> std::int64_t { return 0; });
    link.Remember(gone.Handle());
  }
  EXPECT_FALSE(link.NotifyStarted(200));
}

}  // namespace
}  // namespace vantori
