#include "settings/ULoginLauncher.h"

#include <limits>

#include "settings/UMoneyInfo.h"

namespace vantori {

void TLauncherLink::Remember(THWnd window) {
  std::lock_guard guard(FLock);
  FWindow = window;
}

THWnd TLauncherLink::Window() const {
  std::lock_guard guard(FLock);
  return FWindow;
}

bool TLauncherLink::Told() const {
  std::lock_guard guard(FLock);
  return FTold;
}

bool TLauncherLink::Notify(std::uint32_t msg, int timeoutMs) {
  THWnd window = 0;
  {
    std::lock_guard guard(FLock);
    if (!FReporting || FTold || FWindow == 0) return false;
    FTold = true;
    window = FWindow;
  }
  try {
    SendMessageTo(window, msg, 0, 0, timeoutMs);
    return true;
  } catch (const EWindowMessageError&) {
    return false;  // a launcher that has gone away does not hold up the client
  }
}

bool TLauncherLink::NotifyStarted(int timeoutMs) {
  return Notify(WM_STARTUP_DONE, timeoutMs);
}

bool TLauncherLink::NotifyFailed(int timeoutMs) {
  return Notify(WM_STARTUP_FAILED, timeoutMs);
}

std::optional<std::int64_t> AnswerLauncherMessage(std::uint32_t msg, std::uint64_t wParam,
                                                  std::int64_t lParam, TLauncherLink& link, TMoneyInfo* money,
                                                  std::int32_t userSeq,
                                                  const std::function<void()>& refresh) {
  switch (msg) {
    case WM_PRESENCE:
      return kPresenceAnswer;
    case WM_REGISTER_WINDOW:
    case WM_REGISTER_WINDOW2:
      link.Remember(static_cast<THWnd>(wParam));
      return kPresenceAnswer;
    case WM_COIN_TOP_UP:
      try {
        if (static_cast<std::int64_t>(wParam) == userSeq && money != nullptr) {
          if (lParam < std::numeric_limits<std::int32_t>::min() ||
              lParam > std::numeric_limits<std::int32_t>::max())
            return -1;
          money->AddCoins(static_cast<std::int32_t>(lParam));
          if (refresh) refresh();
        }
        return kPresenceAnswer;
      } catch (...) {
        return -1;
      }
    default:
      return std::nullopt;
  }
}

}  // namespace vantori
