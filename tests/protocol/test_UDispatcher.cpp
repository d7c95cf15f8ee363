// The plain queue dispatcher: work from other threads runs on the pumping thread, Invoke
// waits for it and brings back its result or its error.

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "protocol/UDispatcher.h"

namespace vantori {
namespace {

TEST(TQueueDispatcher, InvokeFromWorkerRunsOnPumpingThread) {
  TQueueDispatcher ui;
  const auto uiId = std::this_thread::get_id();
  std::thread::id ranOn;
  std::atomic<bool> done{false};
  int result = 0;
  std::thread worker([&] {
    result = ui.Call([&] {
      ranOn = std::this_thread::get_id();
      return 42;
    });
    done = true;
  });
  while (!done) ui.PumpFor(std::chrono::milliseconds(50));
  worker.join();
  EXPECT_EQ(result, 42);
  EXPECT_EQ(ranOn, uiId);
}

TEST(TQueueDispatcher, InvokeOnUiThreadRunsInline) {
  TQueueDispatcher ui;
  bool ran = false;
  ui.Invoke([&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_EQ(ui.Pending(), 0u);
}

TEST(TQueueDispatcher, InvokeRethrowsToCaller) {
  TQueueDispatcher ui;
  std::atomic<bool> done{false};
  std::string error;
  std::thread worker([&] {
    try {
      ui.Invoke([] { throw std::runtime_error("boom"); });
    } catch (const std::runtime_error& e) {
      error = e.what();
    }
    done = true;
  });
  while (!done) ui.PumpFor(std::chrono::milliseconds(50));
  worker.join();
  EXPECT_EQ(error, "boom");
}

TEST(TQueueDispatcher, PostRunsInOrderAndSwallowsErrors) {
  TQueueDispatcher ui;
  std::vector<int> order;
  ui.Post([&] { order.push_back(1); });
  ui.Post([] { throw std::runtime_error("ignored"); });
  ui.Post([&] { order.push_back(3); });
  EXPECT_EQ(ui.Pump(), 3);
  EXPECT_EQ(order, (std::vector<int>{1, 3}));
}

TEST(TQueueDispatcher, ShutdownReleasesWaitingCallers) {
  auto ui = std::make_unique<TQueueDispatcher>();
  std::atomic<bool> released{false};
  std::thread worker([&] {
    EXPECT_THROW(ui->Invoke([] {}), EDispatcherClosed);
    released = true;
  });
  while (ui->Pending() == 0) std::this_thread::yield();
  ui->Shutdown();
  worker.join();
  EXPECT_TRUE(released);
  bool lateRefused = false;
  std::thread late([&] {
    try {
      ui->Invoke([] {});
    } catch (const EDispatcherClosed&) {
      lateRefused = true;
    }
  });
  late.join();
  EXPECT_TRUE(lateRefused);
}

}  // namespace
}  // namespace vantori
