#pragma once
// The client's side of the login launcher: the launcher's window, the start-up result
// sent to it, and the answers to the launcher's own messages.

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

#include "protocol/UWindowMessages.h"

namespace vantori {

class TMoneyInfo;

class TLauncherLink {
 public:
  // Only a client started by the launcher or in login-dialog mode reports its start.
  void SetReporting(bool value) { FReporting = value; }
  bool Reporting() const { return FReporting; }
  // The remembered launcher window (0: none). A later one replaces an earlier one.
  void Remember(THWnd window);
  THWnd Window() const;

  // Tells the launcher that the start succeeded or failed. Only the first of these is
  // sent: a start that failed is reported once, however many steps notice the failure.
  // False when nothing was sent (not reporting, no window, already told, or the window
  // did not answer within timeoutMs).
  bool NotifyStarted(int timeoutMs = 5000);
  bool NotifyFailed(int timeoutMs = 5000);
  bool Told() const;

 private:
  bool Notify(std::uint32_t msg, int timeoutMs);

  mutable std::mutex FLock;
  bool FReporting = false;
  THWnd FWindow = 0;
  bool FTold = false;
};

// Answers the launcher messages that need nothing but the link and the balance: presence
// (123), window registration (123), coin top-up (123; the coins are added when wParam is
// the member's number; -1 on an error). Other messages give no answer (std::nullopt).
// refresh runs after a top-up changed the balance.
std::optional<std::int64_t> AnswerLauncherMessage(std::uint32_t msg, std::uint64_t wParam,
                                                  std::int64_t lParam, TLauncherLink& link, TMoneyInfo* money,
                                                  std::int32_t userSeq,
                                                  const std::function<void()>& refresh = {});

}  // namespace vantori
