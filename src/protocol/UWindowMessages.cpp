#include "protocol/UWindowMessages.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/UPaths.h"
#include "protocol/UDispatcher.h"

namespace vantori {

namespace {

constexpr std::size_t kRequestSize = 20;  // msg u32, wParam u64, lParam i64, little-endian
constexpr std::size_t kReplySize = 8;
constexpr int kReceiveTimeoutMs = 2000;  // a sender that connects and then stalls

std::recursive_mutex& LocalLock() {
  static auto* lock = new std::recursive_mutex;
  return *lock;
}
std::map<THWnd, TMessageWindow*>& LocalWindows() {
  static auto* windows = new std::map<THWnd, TMessageWindow*>;
  return *windows;
}

void PutLE(std::uint8_t* at, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint64_t GetLE(const std::uint8_t* at, int bytes) {
  std::uint64_t v = 0;
  for (int i = 0; i < bytes; ++i) v |= static_cast<std::uint64_t>(at[i]) << (8 * i);
  return v;
}

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

// Reads or writes exactly n bytes before the deadline; false on timeout, error or close.
bool Transfer(int fd, std::uint8_t* data, std::size_t n, bool write, Clock::time_point deadline) {
  std::size_t done = 0;
  while (done < n) {
    pollfd p{fd, static_cast<short>(write ? POLLOUT : POLLIN), 0};
    int ready = poll(&p, 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    ssize_t got = write ? send(fd, data + done, n - done, MSG_NOSIGNAL) : recv(fd, data + done, n - done, 0);
    if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (got <= 0) return false;
    done += static_cast<std::size_t>(got);
  }
  return true;
}

bool MakeAddress(const std::string& path, sockaddr_un& address) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

THWnd NewHandle() {
  static std::atomic<unsigned> counter{0};
  auto& windows = LocalWindows();
  for (;;) {
    unsigned n = (counter.fetch_add(1) % 255) + 1;
    THWnd handle = ((static_cast<THWnd>(getpid()) << 8) | n) & 0x7FFFFFFFu;
    if (handle != 0 && windows.find(handle) == windows.end()) return handle;
  }
}

}  // namespace

std::string WindowSocketPath(THWnd window) {
  return RuntimeRoot() + "/wnd-" + std::to_string(window);
}

TMessageWindow::TMessageWindow(TWindowProc proc, IUiDispatcher* ui) : FProc(std::move(proc)), FUi(ui) {
  std::string folder = RuntimeRoot();
  if (!EnsureDirectory(folder)) throw EWindowMessageError("cannot create the folder " + folder);
  {
    std::lock_guard guard(LocalLock());
    FHandle = NewHandle();
    LocalWindows()[FHandle] = this;
  }
  auto undo = [this] {
    std::lock_guard guard(LocalLock());
    LocalWindows().erase(FHandle);
    if (FListen >= 0) close(FListen);
    for (int& fd : FWake)
      if (fd >= 0) close(fd);
  };
  FPath = WindowSocketPath(FHandle);
  sockaddr_un address{};
  if (!MakeAddress(FPath, address)) {
    undo();
    throw EWindowMessageError("window socket path too long: " + FPath);
  }
  // A socket of the same name is left over from an ended process with our process id.
  unlink(FPath.c_str());
  FListen = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  mode_t old = umask(0077);
  bool bound = FListen >= 0 && bind(FListen, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  umask(old);
  if (!bound || chmod(FPath.c_str(), S_IRUSR | S_IWUSR) != 0 || listen(FListen, 16) != 0 ||
      pipe2(FWake, O_CLOEXEC) != 0) {
    int code = errno;
    unlink(FPath.c_str());
    undo();
    throw EWindowMessageError("cannot create the window socket " + FPath + ": " + std::strerror(code));
  }
  FThread = std::thread([this] { Run(); });
}

TMessageWindow::~TMessageWindow() {
  *FAlive = false;
  {
    std::lock_guard guard(LocalLock());
    LocalWindows().erase(FHandle);
  }
  char byte = 0;
  (void)!write(FWake[1], &byte, 1);
  if (FThread.joinable()) FThread.join();
  close(FListen);
  close(FWake[0]);
  close(FWake[1]);
  unlink(FPath.c_str());
}

bool TMessageWindow::RunsHere() const {
  return FUi == nullptr || FUi->IsUiThread();
}

std::int64_t TMessageWindow::Deliver(std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam) {
  if (RunsHere()) {
    try {
      return FProc ? FProc(msg, wParam, lParam) : 0;
    } catch (...) {
      return -1;
    }
  }
  // Hand the call to the user-interface thread and wait for it, but give up when the
  // window is being destroyed (possibly by that very thread).
  struct TCall {
    std::mutex Lock;
    std::condition_variable Done;
    bool Finished = false;
    std::int64_t Result = -1;
  };
  auto call = std::make_shared<TCall>();
  auto alive = FAlive;
  TWindowProc* proc = &FProc;
  FUi->Post([call, alive, proc, msg, wParam, lParam] {
    std::int64_t result = -1;
    if (*alive && *proc) {
      try {
        result = (*proc)(msg, wParam, lParam);
      } catch (...) {
        result = -1;
      }
    }
    std::lock_guard guard(call->Lock);
    call->Finished = true;
    call->Result = result;
    call->Done.notify_all();
  });
  std::unique_lock lock(call->Lock);
  while (!call->Finished) {
    if (!*alive) return -1;
    call->Done.wait_for(lock, std::chrono::milliseconds(50));
  }
  return call->Result;
}

void TMessageWindow::Run() {
  for (;;) {
    pollfd fds[2] = {{FListen, POLLIN, 0}, {FWake[0], POLLIN, 0}};
    int ready = poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN) != 0) return;
    if ((fds[0].revents & POLLIN) == 0) continue;
    int peer = accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC);
    if (peer < 0) continue;
    ucred cred{};
    socklen_t length = sizeof cred;
    std::uint8_t request[kRequestSize];
    auto deadline = Clock::now() + std::chrono::milliseconds(kReceiveTimeoutMs);
    // Only processes of the same user talk to our windows.
    if (getsockopt(peer, SOL_SOCKET, SO_PEERCRED, &cred, &length) == 0 && cred.uid == geteuid() &&
        Transfer(peer, request, kRequestSize, false, deadline)) {
      auto msg = static_cast<std::uint32_t>(GetLE(request, 4));
      std::uint64_t wParam = GetLE(request + 4, 8);
      auto lParam = static_cast<std::int64_t>(GetLE(request + 12, 8));
      std::int64_t result = Deliver(msg, wParam, lParam);
      std::uint8_t reply[kReplySize];
      PutLE(reply, static_cast<std::uint64_t>(result), 8);
      Transfer(peer, reply, kReplySize, true, Clock::now() + std::chrono::milliseconds(kReceiveTimeoutMs));
    }
    close(peer);
  }
}

namespace {

int ConnectWindow(THWnd window) {
  sockaddr_un address{};
  if (window == 0 || !MakeAddress(WindowSocketPath(window), address)) return -1;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

bool IsWindow(THWnd window) {
  {
    std::lock_guard guard(LocalLock());
    if (LocalWindows().count(window) != 0) return true;
  }
  int fd = ConnectWindow(window);
  if (fd < 0) return false;
  close(fd);  // the window sees a connection without a request and drops it
  return true;
}

std::int64_t SendMessageTo(THWnd window, std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam,
                           int timeoutMs) {
  {
    std::lock_guard guard(LocalLock());
    auto it = LocalWindows().find(window);
    // A window of this process is called directly when that needs no other thread; a
    // window whose procedure runs on another thread's loop is reached through its socket.
    if (it != LocalWindows().end() && it->second->RunsHere()) return it->second->Deliver(msg, wParam, lParam);
  }
  int fd = ConnectWindow(window);
  if (fd < 0) throw EWindowMessageError("no window " + std::to_string(window));
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  std::uint8_t request[kRequestSize];
  PutLE(request, msg, 4);
  PutLE(request + 4, wParam, 8);
  PutLE(request + 12, static_cast<std::uint64_t>(lParam), 8);
  std::uint8_t reply[kReplySize];
  bool ok =
      Transfer(fd, request, kRequestSize, true, deadline) && Transfer(fd, reply, kReplySize, false, deadline);
  close(fd);
  if (!ok) throw EWindowMessageError("window " + std::to_string(window) + " did not answer");
  return static_cast<std::int64_t>(GetLE(reply, 8));
}

}  // namespace vantori
