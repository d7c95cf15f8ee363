#pragma once
// The user-interface thread of the Qt client behind the core's dispatcher interface.

#include <QObject>
#include <memory>

#include "protocol/UDispatcher.h"

namespace vantori {

class TQtDispatcher : public QObject, public IUiDispatcher {
  Q_OBJECT
 public:
  // Create on the user-interface thread (the thread of the application object).
  TQtDispatcher();
  ~TQtDispatcher() override;

  void Post(std::function<void()> fn) override;
  void Invoke(std::function<void()> fn) override;
  bool IsUiThread() const override;

  // The one dispatcher of the process, shared by its users: created with the first, gone
  // with the last.
  static std::shared_ptr<TQtDispatcher> Shared();
  static bool SharedAlive();
};

}  // namespace vantori
