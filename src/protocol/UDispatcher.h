#pragma once
// The one way into the user-interface thread. Core code that must run something where the
// windows live (a message box, a browser navigation, a reply handler) goes through an
// IUiDispatcher; the GUI supplies the implementation bound to its event loop, core tests use
// TQueueDispatcher and pump it from the thread that plays the user-interface thread.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <type_traits>
#include <utility>

namespace vantori {

class IUiDispatcher {
 public:
  virtual ~IUiDispatcher() = default;

  // Queues fn to run later on the user-interface thread; returns at once.
  virtual void Post(std::function<void()> fn) = 0;
  // Runs fn on the user-interface thread and returns when it has run. Called on that thread
  // it runs fn inline. An exception thrown by fn is rethrown to the caller.
  virtual void Invoke(std::function<void()> fn) = 0;
  // True when the calling thread is the user-interface thread.
  virtual bool IsUiThread() const = 0;

  // Invoke with a result: the value fn returns on the user-interface thread.
  template <class F>
  auto Call(F&& fn) -> std::invoke_result_t<F&> {
    using R = std::invoke_result_t<F&>;
    if constexpr (std::is_void_v<R>) {
      Invoke(std::function<void()>(std::forward<F>(fn)));
    } else {
      std::optional<R> result;
      Invoke([&result, &fn] { result.emplace(fn()); });
      return std::move(*result);
    }
  }
};

// A plain queue: Post and Invoke from other threads queue the work, the owning thread runs it
// with Pump or PumpFor. The thread that constructs it is the user-interface thread unless
// SetUiThread names another.
class TQueueDispatcher : public IUiDispatcher {
 public:
  TQueueDispatcher();
  ~TQueueDispatcher() override;

  void Post(std::function<void()> fn) override;
  void Invoke(std::function<void()> fn) override;
  bool IsUiThread() const override;

  void SetUiThread(std::thread::id id);
  // Runs everything queued so far; returns how many functions ran.
  int Pump();
  // Waits up to timeout for at least one function, then runs all queued; returns the count.
  int PumpFor(std::chrono::milliseconds timeout);
  // Number of queued, not yet run functions.
  std::size_t Pending() const;
  // Stops accepting work: later Invoke calls throw, queued Invoke callers are released with
  // an error. Called by the destructor.
  void Shutdown();

 private:
  struct TJob;
  mutable std::mutex FLock;
  std::condition_variable FArrived;
  std::deque<std::shared_ptr<TJob>> FQueue;
  std::thread::id FUiThread;
  bool FShutdown = false;
};

// Thrown to Invoke callers when the dispatcher stopped before their work ran.
class EDispatcherClosed : public std::runtime_error {
 public:
  EDispatcherClosed() : std::runtime_error("UI dispatcher closed") {}
};

}  // namespace vantori
