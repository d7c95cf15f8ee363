#pragma once
// One window showing every frame and control of the kit in each of its states, and a message
// box of each kind: for looking at the skin and for checking it in tests.

#include <QWidget>

#include "ui/USkin.h"

namespace vantori {

class TfmSkinGallery : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidth = 1120, kHeight = 860;
  // Where the message boxes of the three kinds are placed in the gallery.
  static QPoint MessageBoxOrigin(int kind) { return QPoint(24 + kind * 300, 630); }

  TfmSkinGallery(const TResourceModule& skin, const QString& fontName, QWidget* parent = nullptr);

 private:
  QWidget* Caption(const QString& text, int x, int y);
  TResourceModule FSkin;
};

}  // namespace vantori
