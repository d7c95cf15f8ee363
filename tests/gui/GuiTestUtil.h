#pragma once
// Helpers shared by the widget tests.

#include <QApplication>
#include <QCoreApplication>
#include <QEnterEvent>
#include <QTest>
#include <QTimer>
#include <functional>

#include "ui/USkin.h"

namespace testutil {

// The skin bundle built with the project.
inline vantori::TResourceModule Skin() {
#ifdef VANTORI_BUNDLE_DIR
  vantori::TResourceModule::AddSearchDir(VANTORI_BUNDLE_DIR);
#endif
  return vantori::TResourceModule::Load("vtri");
}

inline void Enter(QWidget* w) {
  QEnterEvent e(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QCoreApplication::sendEvent(w, &e);
}

inline void Leave(QWidget* w) {
  QEvent e(QEvent::Leave);
  QCoreApplication::sendEvent(w, &e);
}

// Runs `act` on the first modal window that appears (polled from the event loop).
inline void WhenModal(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      act(modal);
    }
  });
  timer->start();
}

}  // namespace testutil
