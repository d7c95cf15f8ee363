// The balance holder: coin metering, top-ups and the balance texts.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <thread>

#include "platform/TempHome.h"
#include "platform/UAtomicFile.h"
#include "settings/ULog.h"
#include "settings/UMoneyInfo.h"

namespace vantori {
namespace {

constexpr std::int64_t MB = 1048576;

TEST(MoneyInfo, Metering) {
  const struct {
    const char* what;
    std::int32_t unit, coins;
    std::int64_t counted, bytes;
    std::int32_t coinsAfter;
    std::int64_t countedAfter, taken;
  } cases[] = {
      {"25 MB at 10 MB a coin", 10, 3, 0, 25 * MB, 1, 5 * MB, 2},
      {"exact multiple", 10, 3, 0, 10 * MB, 2, 0, 1},
      {"one byte short", 10, 3, 0, 10 * MB - 1, 3, 10 * MB - 1, 0},
      {"counted bytes carry over", 10, 1, 5 * MB, 5 * MB, 0, 0, 1},
      {"unit past the 32-bit product", 4096, 5, 0, 4096 * MB + 1, 4, 1, 1},
      {"more coins than remain", 1, 2, 0, 5 * MB, -3, 0, 5},
  };
  for (const auto& c : cases) {
    TMoneyInfo money;
    money.SetMegaPerCoin(c.unit);
    money.SetCoins(c.coins);
    money.SetCountedBytes(c.counted);
    const TMeterResult r = money.Meter(c.bytes);
    EXPECT_TRUE(r.Metered) << c.what;
    EXPECT_EQ(r.CoinsTaken, c.taken) << c.what;
    EXPECT_EQ(r.Coins, c.coinsAfter) << c.what;
    EXPECT_EQ(money.Coins(), c.coinsAfter) << c.what;
    EXPECT_EQ(money.CountedBytes(), c.countedAfter) << c.what;
  }
}

class MoneyLogTest : public testing::TempHomeTest {};

TEST_F(MoneyLogTest, NoUnitMeansNoMeteringAndIsLoggedOnce) {
  TLog log;
  TMoneyInfo money(&log);
  money.SetCoins(5);
  for (std::int32_t unit : {0, -1}) {
    money.SetMegaPerCoin(unit);
    for (int i = 0; i < 3; ++i) {
      const TMeterResult r = money.Meter(100 * MB);
      EXPECT_FALSE(r.Metered);
      EXPECT_EQ(r.Coins, 5);
    }
  }
  EXPECT_EQ(money.CountedBytes(), 0);
  std::string text;
  for (const auto& e : std::filesystem::directory_iterator(log.Folder()))
    if (e.path().extension() == ".txt") ReadWholeFile(e.path().string(), text);
  int lines = 0;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    ++lines;
    EXPECT_NE(line.find("not metered"), std::string::npos);
  }
  EXPECT_EQ(lines, 2);  // once for 0, once for -1
}

TEST(MoneyInfo, TextsAndCapacity) {
  TMoneyInfo money;
  money.SetCoins(1234567);
  money.SetPoints(-1000);
  EXPECT_EQ(money.CoinsText(), "1,234,567 \xC4\xDA\xC0\xCE");
  EXPECT_EQ(money.PointsText(), "-1,000 \xC6\xF7\xC0\xCE\xC6\xAE");
  EXPECT_EQ(FormatThousands(0), "0");
  EXPECT_EQ(FormatThousands(999), "999");
  EXPECT_EQ(FormatThousands(1000), "1,000");
  EXPECT_EQ(FormatThousands(std::numeric_limits<std::int64_t>::min()), "-9,223,372,036,854,775,808");

  const struct {
    std::int32_t coins, unit;
    const char* text;
  } cases[] = {
      {3, 10, "30.00 MB"},
      {0, 10, "0 \xB9\xD9\xC0\xCC\xC6\xAE"},
      {2000000, 2000, "3906250.00 GB"},  // past 32 bits in megabytes and in bytes
      {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::max(),
       "4503599623176192.00 GB"},
  };
  for (const auto& c : cases) {
    money.SetCoins(c.coins);
    money.SetMegaPerCoin(c.unit);
    EXPECT_EQ(money.CapacityText(), c.text) << c.coins << " x " << c.unit;
  }
}

TEST(MoneyInfo, TopUpsAndMeteringShareTheLock) {
  TMoneyInfo money;
  money.SetMegaPerCoin(1);
  money.SetCoins(5000);
  std::thread worker([&] {
    for (int i = 0; i < 2000; ++i) money.Meter(MB);
  });
  for (int i = 0; i < 2000; ++i) money.AddCoins(1);
  worker.join();
  EXPECT_EQ(money.Coins(), 5000);
  EXPECT_EQ(money.CountedBytes(), 0);
  money.SetCoins(std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(money.AddCoins(10), std::numeric_limits<std::int32_t>::max());
}

}  // namespace
}  // namespace vantori
