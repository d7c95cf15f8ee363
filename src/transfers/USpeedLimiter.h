#pragma once
// Time for the transfer engines: the millisecond tick they measure with, the speed
// measuring of an item (one-second blocks, a running mean over up to 30 samples, elapsed
// and remaining time) and the speed limiter that paces the data messages.

#include <atomic>
#include <cstdint>
#include <string>

namespace vantori {

// A 32-bit millisecond tick that wraps, and the sleep that goes with it. Differences are
// taken as unsigned 32-bit values, so a wrap in between does no harm.
class ITransferClock {
 public:
  virtual ~ITransferClock() = default;
  virtual std::uint32_t Tick() = 0;
  virtual void Sleep(std::uint32_t ms) = 0;
};

// The steady clock of the system.
ITransferClock& SystemTransferClock();

// A clock that moves only when told to or when someone sleeps on it (for tests).
class TManualClock final : public ITransferClock {
 public:
  explicit TManualClock(std::uint32_t start = 1000) : FNow(start) {}
  std::uint32_t Tick() override { return FNow.load(); }
  void Sleep(std::uint32_t ms) override { FNow.fetch_add(ms); }
  void Advance(std::uint32_t ms) { FNow.fetch_add(ms); }

 private:
  std::atomic<std::uint32_t> FNow;
};

inline std::uint32_t TickSince(std::uint32_t now, std::uint32_t then) {
  return now - then;
}

// "hh:mm:ss" for a remaining time that cannot be known (no speed yet).
inline constexpr char kUnknownTimeText[] = "--:--:--";

// Remaining seconds: remaining bytes div (speed in KB/s x 1000, rounded). -1 when the
// divisor rounds to 0 or less, so nothing ever divides by zero.
std::int64_t RemainingSeconds(std::int64_t remainingBytes, double speed);

// The measuring state of one item.
struct TTransferMeasure {
  std::uint32_t StartTick = 0;  // first start of the file's transfer; 0 = not started
  std::uint32_t BlockStart = 0;
  std::uint32_t BlockElapsed = 0;
  std::uint32_t RefreshStart = 0;
  std::uint32_t RefreshElapsed = 0;
  std::int64_t BlockBytes = 0;
  std::int32_t BlockKilobytes = 0;
  double Speed = 0.0;  // KB/s, smoothed
  double SpeedSum = 0.0;
  std::int32_t SampleCount = 0;
  std::string RemainingText = "00:00:00";
  std::string ElapsedText = "00:00:00";

  // A new connection starts measuring afresh (the speed mean is kept).
  void Begin(std::uint32_t now);
  // Bytes of one data message; updates the elapsed values and block kilobytes.
  void Add(std::int64_t n, std::uint32_t now);
  // One speed sample of the running block; updates the speed, the remaining and the elapsed
  // texts. remainingBytes: what is still to move.
  void Sample(std::uint32_t now, std::int64_t remainingBytes);
  // Closes the measuring block when it has run longer than a second: a sample, then a new
  // block. True when it did.
  bool CloseBlockIfDue(std::uint32_t now, std::int64_t remainingBytes);
  // True (and restarts the refresh period) when the size column is due for a refresh.
  bool RefreshDue(std::uint32_t now);
  // "elapsed (remaining)" as the time column shows it.
  std::string TimeColumn() const { return ElapsedText + " (" + RemainingText + ")"; }
};

// Keeps a transfer under a speed limit. After each data message the engine asks how long to
// sleep; the answer is the time the bytes of the current window should have taken at the
// limit minus the time they did take, never below 0 and never above a ceiling. The window
// restarts every couple of seconds and whenever the limit changes, so the pace settles within
// a few seconds of a change and an idle or fast period earns no later burst.
class TSpeedLimiter {
 public:
  explicit TSpeedLimiter(ITransferClock& clock) : FClock(clock) {}

  // Kilobytes (1024 bytes) per second; 0 or less: no limit.
  void SetLimit(std::int32_t kbps);
  std::int32_t Limit() const { return FLimit; }
  // Bytes just moved; returns the milliseconds to sleep before the next message.
  std::uint32_t DelayAfter(std::int64_t bytes);
  // DelayAfter, and the sleep on the clock.
  void Pace(std::int64_t bytes);
  // Forget the window (a new connection).
  void Reset() { FStarted = false; }

  static constexpr std::uint32_t kWindowMs = 2000;
  static constexpr std::uint32_t kMaxDelayMs = 2000;

 private:
  ITransferClock& FClock;
  std::int32_t FLimit = 0;
  bool FStarted = false;
  std::uint32_t FWindowStart = 0;
  std::int64_t FWindowBytes = 0;
};

}  // namespace vantori
