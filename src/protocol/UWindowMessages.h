#pragma once
// Window messages between the client, the login launcher and the browser add-on.
//
// A window handle is a 32-bit number that names a Unix-domain socket of the process that
// owns the window, in the runtime folder (mode 0600 inside a private folder). Sending a
// message connects to that socket, passes the message number and its two values, and
// waits for the result the window's procedure returns. A window's procedure runs on the
// user-interface thread when the window was given a dispatcher.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

namespace vantori {

class IUiDispatcher;

using THWnd = std::uint32_t;

// Message numbers (WM_USER plus an offset).
inline constexpr std::uint32_t WM_USER = 0x0400;
inline constexpr std::uint32_t WM_STARTUP_DONE = 0x0468;      // client to launcher: start-up completed
inline constexpr std::uint32_t WM_SHOW_DOWNLOADS = 0x0469;    // result 100
inline constexpr std::uint32_t WM_ADD_DOWN_FILE = 0x046A;     // result 1, 25007 or -1
inline constexpr std::uint32_t WM_PRESENCE = 0x046B;          // result 123
inline constexpr std::uint32_t WM_REGISTER_WINDOW = 0x046C;   // wParam: window; result 123
inline constexpr std::uint32_t WM_ADD_DOWN_FOLDER = 0x046D;   // result 1, 25007 or -1
inline constexpr std::uint32_t WM_DOWNLOAD_FOLDERS = 0x046E;  // result 1, 25007 or -1
inline constexpr std::uint32_t WM_REGISTER_WINDOW2 = 0x046F;  // as WM_REGISTER_WINDOW
inline constexpr std::uint32_t WM_COIN_TOP_UP = 0x0470;       // wParam: user seq, lParam: coins; 123 / -1
inline constexpr std::uint32_t WM_DOWNLOAD_FILES = 0x0471;    // result 1, 25007 or -1
inline constexpr std::uint32_t WM_STARTUP_FAILED = 0x0472;    // client to launcher: start-up failed

inline constexpr std::int64_t kPresenceAnswer = 123;
inline constexpr std::int64_t kShowDownloadsAnswer = 100;

class EWindowMessageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The procedure of a window: message, wParam, lParam -> result.
using TWindowProc = std::function<std::int64_t(std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam)>;

// A window that receives messages. The socket exists from construction to destruction.
class TMessageWindow {
 public:
  // With a dispatcher the procedure runs on its user-interface thread; otherwise on the
  // window's own receiving thread (or, for a message from this process, on the sender's).
  // An exception from the procedure gives the result -1.
  explicit TMessageWindow(TWindowProc proc, IUiDispatcher* ui = nullptr);
  ~TMessageWindow();
  TMessageWindow(const TMessageWindow&) = delete;
  TMessageWindow& operator=(const TMessageWindow&) = delete;

  THWnd Handle() const { return FHandle; }

  // Runs the procedure directly (a message from this process).
  std::int64_t Deliver(std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam);
  // True when the procedure may run on the calling thread.
  bool RunsHere() const;

 private:
  void Run();

  TWindowProc FProc;
  IUiDispatcher* FUi;
  THWnd FHandle = 0;
  std::string FPath;
  int FListen = -1;
  int FWake[2] = {-1, -1};
  std::thread FThread;
  // Cleared first by the destructor: calls handed to the user-interface thread then
  // neither run nor are waited for.
  std::shared_ptr<std::atomic<bool>> FAlive = std::make_shared<std::atomic<bool>>(true);
};

// The socket path of a window handle.
std::string WindowSocketPath(THWnd window);
// True when a window of that handle exists (its socket accepts connections).
bool IsWindow(THWnd window);
// Sends a message and waits up to timeoutMs for its result. A window of this process is
// called directly. Raises EWindowMessageError when the window does not exist or does not
// answer in time.
std::int64_t SendMessageTo(THWnd window, std::uint32_t msg, std::uint64_t wParam = 0, std::int64_t lParam = 0,
                           int timeoutMs = 10000);

}  // namespace vantori
