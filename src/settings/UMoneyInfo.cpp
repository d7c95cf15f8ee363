#include "settings/UMoneyInfo.h"

#include <cstdio>
#include <limits>

#include "settings/UFunction.h"
#include "settings/ULog.h"

namespace vantori {

namespace {

constexpr std::int64_t kMegabyte = 1048576;
// " 코인", " 포인트" in cp949.
constexpr char kCoinSuffix[] = " \xC4\xDA\xC0\xCE";
constexpr char kPointSuffix[] = " \xC6\xF7\xC0\xCE\xC6\xAE";

std::int32_t Clamp32(std::int64_t v) {
  if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(v);
}

}  // namespace

std::string FormatThousands(std::int64_t value) {
  const bool negative = value < 0;
  // Work on the magnitude as unsigned so that the smallest value has one too.
  std::uint64_t mag = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::string digits = std::to_string(mag);
  std::string out;
  const std::size_t n = digits.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out.push_back(',');
    out.push_back(digits[i]);
  }
  return negative ? "-" + out : out;
}

TMoneyInfo::TMoneyInfo(TLog* log) : FLog(log) {}

#define VANTORI_MONEY_GETTER(Type, Name, Field) \
  Type TMoneyInfo::Name() const {               \
    std::lock_guard<std::mutex> lock(FLock);    \
    return Field;                               \
  }
#define VANTORI_MONEY_SETTER(Type, Name, Field) \
  void TMoneyInfo::Name(Type v) {               \
    std::lock_guard<std::mutex> lock(FLock);    \
    Field = v;                                  \
  }

VANTORI_MONEY_GETTER(std::int32_t, Coins, FCoins)
VANTORI_MONEY_GETTER(std::int32_t, Points, FPoints)
VANTORI_MONEY_GETTER(std::int32_t, MegaPerCoin, FMegaPerCoin)
VANTORI_MONEY_GETTER(std::int32_t, SValue, FSValue)
VANTORI_MONEY_GETTER(std::int64_t, CountedBytes, FCountedBytes)
VANTORI_MONEY_GETTER(std::int32_t, CouponDays, FCouponDays)
VANTORI_MONEY_GETTER(double, CouponExpiry, FCouponExpiry)
VANTORI_MONEY_SETTER(std::int32_t, SetCoins, FCoins)
VANTORI_MONEY_SETTER(std::int32_t, SetPoints, FPoints)
VANTORI_MONEY_SETTER(std::int32_t, SetMegaPerCoin, FMegaPerCoin)
VANTORI_MONEY_SETTER(std::int32_t, SetSValue, FSValue)
VANTORI_MONEY_SETTER(std::int64_t, SetCountedBytes, FCountedBytes)
VANTORI_MONEY_SETTER(std::int32_t, SetCouponDays, FCouponDays)
VANTORI_MONEY_SETTER(double, SetCouponExpiry, FCouponExpiry)

#undef VANTORI_MONEY_GETTER
#undef VANTORI_MONEY_SETTER

std::int32_t TMoneyInfo::AddCoins(std::int32_t coins) {
  std::lock_guard<std::mutex> lock(FLock);
  FCoins = Clamp32(static_cast<std::int64_t>(FCoins) + coins);
  return FCoins;
}

TMeterResult TMoneyInfo::Meter(std::int64_t bytes) {
  TMeterResult r;
  bool report = false;
  std::int32_t unit;
  {
    std::lock_guard<std::mutex> lock(FLock);
    unit = FMegaPerCoin;
    r.Coins = FCoins;
    if (unit <= 0) {
      // No price per byte: a coin cannot be taken for any amount.
      report = unit != FReportedUnit;
      FReportedUnit = unit;
    } else {
      r.Metered = true;
      const std::int64_t perCoin = static_cast<std::int64_t>(unit) * kMegabyte;
      if (bytes > 0) FCountedBytes += bytes;
      if (FCountedBytes >= perCoin) {
        r.CoinsTaken = FCountedBytes / perCoin;
        FCountedBytes %= perCoin;
        FCoins = Clamp32(static_cast<std::int64_t>(FCoins) - r.CoinsTaken);
      }
      r.Coins = FCoins;
    }
  }
  if (report && FLog != nullptr)
    FLog->Write("MoneyMeter : megabytes per coin is " + std::to_string(unit) + ", downloads are not metered");
  return r;
}

std::string TMoneyInfo::CoinsText() const {
  return FormatThousands(Coins()) + kCoinSuffix;
}

std::string TMoneyInfo::PointsText() const {
  return FormatThousands(Points()) + kPointSuffix;
}

std::string TMoneyInfo::CapacityText() const {
  std::int64_t coins, unit;
  {
    std::lock_guard<std::mutex> lock(FLock);
    coins = FCoins;
    unit = FMegaPerCoin;
  }
  // coins x unit fits in 62 bits; the byte count may not, and then the text is
  // formed from the megabytes (it is gigabytes by far).
  const std::int64_t megabytes = coins * unit;
  constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / kMegabyte;
  if (megabytes > kLimit || megabytes < -kLimit) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.2f GB", static_cast<double>(megabytes) / 1024.0);
    return buf;
  }
  return FormatSize(megabytes * kMegabyte);
}

}  // namespace vantori
