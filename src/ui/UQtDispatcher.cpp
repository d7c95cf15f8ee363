#include "ui/UQtDispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <exception>
#include <mutex>

namespace vantori {

namespace {
std::mutex gSharedLock;
std::weak_ptr<TQtDispatcher> gShared;
}  // namespace

TQtDispatcher::TQtDispatcher() {
  if (QCoreApplication::instance()) moveToThread(QCoreApplication::instance()->thread());
}

TQtDispatcher::~TQtDispatcher() = default;

bool TQtDispatcher::IsUiThread() const {
  return QThread::currentThread() == thread();
}

void TQtDispatcher::Post(std::function<void()> fn) {
  QMetaObject::invokeMethod(
      this, [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

void TQtDispatcher::Invoke(std::function<void()> fn) {
  if (IsUiThread()) {
    fn();
    return;
  }
  std::exception_ptr error;
  // Blocks the caller until the user-interface thread has run fn (nested loops of modal boxes
  // keep serving these calls).
  const bool queued = QMetaObject::invokeMethod(
      this,
      [&] {
        try {
          fn();
        } catch (...) {
          error = std::current_exception();
        }
      },
      Qt::BlockingQueuedConnection);
  if (!queued) throw EDispatcherClosed();
  if (error) std::rethrow_exception(error);
}

std::shared_ptr<TQtDispatcher> TQtDispatcher::Shared() {
  std::lock_guard lock(gSharedLock);
  std::shared_ptr<TQtDispatcher> shared = gShared.lock();
  if (!shared) {
    shared = std::make_shared<TQtDispatcher>();
    gShared = shared;
  }
  return shared;
}

bool TQtDispatcher::SharedAlive() {
  std::lock_guard lock(gSharedLock);
  return !gShared.expired();
}

}  // namespace vantori
