#pragma once
// The member's balance as the servers last reported it and as downloads use it up.
// The download worker changes it while the user-interface thread reads it and applies
// server replies: every setter and every read-modify-write runs under one lock.

#include <cstdint>
#include <mutex>
#include <string>

namespace vantori {

class TLog;

// What one metering step did.
struct TMeterResult {
  // False when the megabytes per coin are 0 or less: nothing can be metered and the
  // bytes are not counted.
  bool Metered = false;
  // Coins taken by this step.
  std::int64_t CoinsTaken = 0;
  // Coins after the step; 0 or less means the download has to stop.
  std::int32_t Coins = 0;
};

class TMoneyInfo {
 public:
  explicit TMoneyInfo(TLog* log = nullptr);

  std::int32_t Coins() const;
  std::int32_t Points() const;
  // Megabytes (of 1048576 bytes) that one coin buys ("Unit").
  std::int32_t MegaPerCoin() const;
  std::int32_t SValue() const;
  // Bytes downloaded since the last coin was taken ("R").
  std::int64_t CountedBytes() const;
  std::int32_t CouponDays() const;
  double CouponExpiry() const;

  void SetCoins(std::int32_t v);
  void SetPoints(std::int32_t v);
  void SetMegaPerCoin(std::int32_t v);
  void SetSValue(std::int32_t v);
  void SetCountedBytes(std::int64_t v);
  void SetCouponDays(std::int32_t v);
  void SetCouponExpiry(double v);

  // Top-up: adds coins (saturating at the 32-bit limits); returns the new balance.
  std::int32_t AddCoins(std::int32_t coins);

  // Adds n downloaded bytes and takes the whole coins they pay for. With megabytes
  // per coin of 0 or less nothing is counted and the log says so (once per value).
  TMeterResult Meter(std::int64_t bytes);

  // "12,345 코인" / "1,000 포인트" (cp949).
  std::string CoinsText() const;
  std::string PointsText() const;
  // The volume the coins buy: coins x megabytes per coin x 1048576 bytes as FormatSize gives it.
  std::string CapacityText() const;

 private:
  TLog* FLog;
  mutable std::mutex FLock;
  std::int32_t FCoins = 0;
  std::int32_t FPoints = 0;
  std::int32_t FMegaPerCoin = 0;
  std::int32_t FSValue = 0;
  std::int64_t FCountedBytes = 0;
  std::int32_t FCouponDays = 0;
  double FCouponExpiry = 0.0;
  std::int32_t FReportedUnit = 1;  // the "no metering" value last reported to the log
};

// "#,#0": decimal with a comma every three digits ("-1,234").
std::string FormatThousands(std::int64_t value);

}  // namespace vantori
