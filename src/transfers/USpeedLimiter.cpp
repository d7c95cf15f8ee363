#include "transfers/USpeedLimiter.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "settings/UFunction.h"

namespace vantori {

namespace {

class TSystemClock final : public ITransferClock {
 public:
  std::uint32_t Tick() override {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  void Sleep(std::uint32_t ms) override { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
};

}  // namespace

ITransferClock& SystemTransferClock() {
  static TSystemClock clock;
  return clock;
}

std::int64_t RemainingSeconds(std::int64_t remainingBytes, double speed) {
  if (!(speed > 0.0) || !std::isfinite(speed)) return -1;
  const double divisor = std::round(speed * 1000.0);
  if (divisor < 1.0 || divisor > 9.0e18) return -1;
  if (remainingBytes <= 0) return 0;
  return remainingBytes / static_cast<std::int64_t>(divisor);
}

void TTransferMeasure::Begin(std::uint32_t now) {
  if (StartTick == 0) StartTick = now == 0 ? 1 : now;
  BlockStart = now;
  RefreshStart = now;
  BlockElapsed = 0;
  RefreshElapsed = 0;
  BlockBytes = 0;
  BlockKilobytes = 0;
}

void TTransferMeasure::Add(std::int64_t n, std::uint32_t now) {
  BlockBytes += n;
  BlockElapsed = TickSince(now, BlockStart);
  RefreshElapsed = TickSince(now, RefreshStart);
  BlockKilobytes = static_cast<std::int32_t>(BlockBytes / 1024 + 1);
}

void TTransferMeasure::Sample(std::uint32_t now, std::int64_t remainingBytes) {
  BlockElapsed = TickSince(now, BlockStart);
  if (BlockElapsed != 0) {
    const double sample = 1000.0 / BlockElapsed * BlockKilobytes;
    SampleCount += 1;
    SpeedSum += sample;
    Speed = SpeedSum / SampleCount;
    if (SampleCount > 30) {
      SpeedSum = 0.0;
      SampleCount = 0;
    }
  }
  const std::int64_t remaining = RemainingSeconds(remainingBytes, Speed);
  RemainingText = remaining < 0 ? std::string(kUnknownTimeText) : FormatSeconds(remaining);
  ElapsedText = StartTick == 0 ? std::string("00:00:00") : FormatSeconds(TickSince(now, StartTick) / 1000);
}

bool TTransferMeasure::CloseBlockIfDue(std::uint32_t now, std::int64_t remainingBytes) {
  if (TickSince(now, BlockStart) <= 1000) return false;
  Sample(now, remainingBytes);
  BlockBytes = 0;
  BlockStart = now;
  return true;
}

bool TTransferMeasure::RefreshDue(std::uint32_t now) {
  RefreshElapsed = TickSince(now, RefreshStart);
  if (RefreshElapsed <= 100) return false;
  RefreshStart = now;
  return true;
}

void TSpeedLimiter::SetLimit(std::int32_t kbps) {
  const std::int32_t limit = kbps > 0 ? kbps : 0;
  if (limit != FLimit) {
    FLimit = limit;
    FStarted = false;
  }
}

std::uint32_t TSpeedLimiter::DelayAfter(std::int64_t bytes) {
  if (FLimit <= 0) return 0;
  const std::uint32_t now = FClock.Tick();
  if (!FStarted) {
    FStarted = true;
    FWindowStart = now;
    FWindowBytes = 0;
  }
  FWindowBytes += bytes;
  const std::uint32_t elapsed = TickSince(now, FWindowStart);
  const double due = static_cast<double>(FWindowBytes) * 1000.0 / (static_cast<double>(FLimit) * 1024.0);
  double delay = due - elapsed;
  if (delay < 0) delay = 0;
  if (delay > kMaxDelayMs) delay = kMaxDelayMs;
  if (elapsed + static_cast<std::uint32_t>(delay) >= kWindowMs) {
    // Start the next window where this message's sleep ends; what is still owed carries over.
    const double owed = due - elapsed - delay;
    FWindowStart = now + static_cast<std::uint32_t>(delay);
    FWindowBytes = owed > 0 ? static_cast<std::int64_t>(owed * FLimit * 1024.0 / 1000.0) : 0;
  }
  return static_cast<std::uint32_t>(delay);
}

void TSpeedLimiter::Pace(std::int64_t bytes) {
  const std::uint32_t delay = DelayAfter(bytes);
  if (delay > 0) FClock.Sleep(delay);
}

}  // namespace vantori
