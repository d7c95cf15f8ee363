#pragma once
// The please-wait window shown while a request waits for its reply.

#include <QDialog>
#include <QTimer>
#include <functional>

#include "ui/USkin.h"

class QLabel;

namespace vantori {

class TfmMessage : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kTickMs = 100;
  static constexpr int kTimeLimitTicks = 300;  // 30 seconds

  TfmMessage(const TResourceModule& skin, const QString& fontName, TLogSink log = {},
             QWidget* owner = nullptr);

  void SetHeader(const QString& text);
  void SetMessage(const QString& text);
  QString Header() const;
  QString Message() const;

  // Set by the owner when the reply has arrived; the window closes on its next tick.
  void SetCloseFlag() { FCloseFlag = true; }
  bool CloseFlag() const { return FCloseFlag; }
  int Ticks() const { return FTicks; }
  bool TimerRunning() const { return FTimer.isActive(); }
  bool TimedOut() const { return FTimedOut; }

  // One step of the 100 ms timer.
  void Tick();

  // Called when the time limit has passed, before the window closes: the owner ends its wait
  // (clears its busy state) so that it does not stay busy for ever.
  std::function<void()> OnTimedOut;
  // Shows the time-limit text; by default a plain toolkit box.
  std::function<void(const QString&)> TimeLimitNotice;

 protected:
  void showEvent(QShowEvent*) override;
  void hideEvent(QHideEvent*) override;

 private:
  void Finish(int result);

  QLabel* FHeader = nullptr;
  QLabel* FMessage = nullptr;
  QTimer FTimer;
  bool FCloseFlag = false;
  bool FTimedOut = false;
  int FTicks = 0;
};

}  // namespace vantori
