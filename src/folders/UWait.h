#pragma once
// The waiting discipline of the windows while a reply is outstanding.
//
// A command sends one request and calls BeginWait (or ShowWaitDialog for the first load
// after login): the busy flag is set, the busy text shown, and the user-interface loop
// runs until the reply handler calls EndWait. Every wait has a reply time limit: when no
// reply has ended it in time, the wait ends by itself and the window says so, instead of
// staying frozen. Commands check Busy first, so one waited request is outstanding.
//
// IWaitView is the window side: the main window implements it with its status bar, the
// please-wait window and Qt's event loop; core tests replace it.

#include <cstdint>
#include <functional>
#include <string>

namespace vantori {

using ByteString = std::string;

class IWaitView {
 public:
  virtual ~IWaitView() = default;
  // The status bar text; "" clears it.
  virtual void ShowStatusText(const ByteString& text) = 0;
  // Opens the modal please-wait window with the text; CloseWaitWindow tells it to close.
  virtual void ShowWaitWindow(const ByteString& text) = 0;
  virtual void CloseWaitWindow() = 0;
  // Cancels a drag in progress and releases the mouse capture.
  virtual void CancelDrag() {}
  // Re-enables the main window if it was disabled.
  virtual void EnableMainWindow() {}
  // Runs the user-interface loop one message at a time until done() returns true. The
  // loop must call done() at least every few hundred milliseconds even when no message
  // arrives, so that the reply time limit is noticed.
  virtual void RunLoopUntil(const std::function<bool()>& done) = 0;
  // Shows an error to the user (the reply time limit has passed).
  virtual void ShowWaitError(const ByteString& text) = 0;
};

// "서버로부터 응답이 없습니다.\r\r다시 한번 시도하여 주시기 바랍니다." (cp949)
extern const char kNoReplyText[];

class TWaitControl {
 public:
  using TTickFn = std::function<std::uint32_t()>;
  // Time limit of a waited reply unless the caller gives another.
  static constexpr std::uint32_t kDefaultReplyLimit = 60000;

  // tick: the millisecond tick (32-bit, wrapping); defaults to a steady clock.
  explicit TWaitControl(IWaitView& view, TTickFn tick = TTickFn());

  bool Busy() const { return FBusy; }
  // True while a waited reply is outstanding (the idle close must not run then).
  bool ReplyAwaited() const { return FBusy; }

  // Sets the busy flag, shows the text in the status bar, cancels a drag and runs the
  // loop until EndWait. Returns true when EndWait ended it, false when the time limit
  // did (the wait has then been ended and kNoReplyText shown).
  bool BeginWait(const ByteString& text, std::uint32_t limitMs = kDefaultReplyLimit);
  // As BeginWait, with the text also in the please-wait window.
  bool ShowWaitDialog(const ByteString& text, std::uint32_t limitMs = kDefaultReplyLimit);
  // Clears the status text, re-enables the main window, closes the please-wait window
  // and clears the busy flag. Harmless when no wait runs (a late reply).
  void EndWait();

  // Called by the running loop: ends an overdue wait. True when it did.
  bool CheckTimeLimit();
  std::uint32_t Now() const { return FTick(); }

  // Runs when a wait ended by its time limit, after the error was shown (the owner may
  // drop the connection, say).
  std::function<void()> OnTimedOut;

 private:
  bool Run(const ByteString& text, std::uint32_t limitMs, bool dialog);

  IWaitView& FView;
  TTickFn FTick;
  bool FBusy = false;
  bool FTimedOut = false;
  bool FDialog = false;
  std::uint32_t FStarted = 0;
  std::uint32_t FLimit = 0;
};

// The default millisecond tick: a steady clock truncated to 32 bits.
std::uint32_t TickCount();

}  // namespace vantori
