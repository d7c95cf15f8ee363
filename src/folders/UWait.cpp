#include "folders/UWait.h"

#include <chrono>

namespace vantori {

const char kNoReplyText[] =
    "\xBC\xAD\xB9\xF6\xB7\xCE\xBA\xCE\xC5\xCD \xC0\xC0\xB4\xE4\xC0\xCC \xBE\xF8\xBD\xC0\xB4\xCF\xB4\xD9.\r\r"
    "\xB4\xD9\xBD\xC3 \xC7\xD1\xB9\xF8 \xBD\xC3\xB5\xB5\xC7\xCF\xBF\xA9 \xC1\xD6\xBD\xC3\xB1\xE2 "
    "\xB9\xD9\xB6\xF8\xB4\xCF\xB4\xD9.";

std::uint32_t TickCount() {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now().time_since_epoch())
                .count();
  return static_cast<std::uint32_t>(ms);
}

TWaitControl::TWaitControl(IWaitView& view, TTickFn tick)
    : FView(view), FTick(tick ? std::move(tick) : TickCount) {}

bool TWaitControl::BeginWait(const ByteString& text, std::uint32_t limitMs) {
  return Run(text, limitMs, false);
}

bool TWaitControl::ShowWaitDialog(const ByteString& text, std::uint32_t limitMs) {
  return Run(text, limitMs, true);
}

bool TWaitControl::Run(const ByteString& text, std::uint32_t limitMs, bool dialog) {
  FBusy = true;
  FTimedOut = false;
  FDialog = dialog;
  FStarted = FTick();
  FLimit = limitMs;
  FView.ShowStatusText(text);
  if (dialog) {
    FView.ShowWaitWindow(text);
  } else {
    FView.CancelDrag();
  }
  FView.RunLoopUntil([this] { return !FBusy || CheckTimeLimit(); });
  bool timedOut = FTimedOut;
  FTimedOut = false;
  return !timedOut;
}

bool TWaitControl::CheckTimeLimit() {
  if (!FBusy) return FTimedOut;
  if (static_cast<std::uint32_t>(FTick() - FStarted) < FLimit) return false;
  EndWait();
  FTimedOut = true;
  FView.ShowWaitError(kNoReplyText);
  if (OnTimedOut) OnTimedOut();
  return true;
}

void TWaitControl::EndWait() {
  FView.ShowStatusText("");
  FView.EnableMainWindow();
  if (FDialog) FView.CloseWaitWindow();
  FDialog = false;
  FBusy = false;
}

}  // namespace vantori
