#include "protocol/UDispatcher.h"

namespace vantori {

struct TQueueDispatcher::TJob {
  std::function<void()> Fn;
  bool Waited = false;  // an Invoke caller waits on Done
  bool Done = false;
  bool Dropped = false;
  std::exception_ptr Error;
  std::condition_variable DoneCv;
};

TQueueDispatcher::TQueueDispatcher() : FUiThread(std::this_thread::get_id()) {}

TQueueDispatcher::~TQueueDispatcher() {
  Shutdown();
}

void TQueueDispatcher::SetUiThread(std::thread::id id) {
  std::lock_guard lock(FLock);
  FUiThread = id;
}

bool TQueueDispatcher::IsUiThread() const {
  std::lock_guard lock(FLock);
  return std::this_thread::get_id() == FUiThread;
}

void TQueueDispatcher::Post(std::function<void()> fn) {
  auto job = std::make_shared<TJob>();
  job->Fn = std::move(fn);
  {
    std::lock_guard lock(FLock);
    if (FShutdown) return;
    FQueue.push_back(std::move(job));
  }
  FArrived.notify_all();
}

void TQueueDispatcher::Invoke(std::function<void()> fn) {
  if (IsUiThread()) {
    fn();
    return;
  }
  auto job = std::make_shared<TJob>();
  job->Fn = std::move(fn);
  job->Waited = true;
  std::unique_lock lock(FLock);
  if (FShutdown) throw EDispatcherClosed();
  FQueue.push_back(job);
  FArrived.notify_all();
  job->DoneCv.wait(lock, [&] { return job->Done || job->Dropped; });
  if (job->Dropped) throw EDispatcherClosed();
  if (job->Error) std::rethrow_exception(job->Error);
}

int TQueueDispatcher::Pump() {
  std::deque<std::shared_ptr<TJob>> batch;
  {
    std::lock_guard lock(FLock);
    batch.swap(FQueue);
  }
  int count = 0;
  for (auto& job : batch) {
    std::exception_ptr error;
    try {
      job->Fn();
    } catch (...) {
      error = std::current_exception();
    }
    ++count;
    std::lock_guard lock(FLock);
    job->Done = true;
    // Posted work has nobody to report to; its errors end here.
    if (job->Waited) job->Error = error;
    job->DoneCv.notify_all();
  }
  return count;
}

int TQueueDispatcher::PumpFor(std::chrono::milliseconds timeout) {
  {
    std::unique_lock lock(FLock);
    FArrived.wait_for(lock, timeout, [&] { return !FQueue.empty() || FShutdown; });
  }
  return Pump();
}

std::size_t TQueueDispatcher::Pending() const {
  std::lock_guard lock(FLock);
  return FQueue.size();
}

void TQueueDispatcher::Shutdown() {
  std::lock_guard lock(FLock);
  FShutdown = true;
  for (auto& job : FQueue) {
    job->Dropped = true;
    job->DoneCv.notify_all();
  }
  FQueue.clear();
  FArrived.notify_all();
}

}  // namespace vantori
