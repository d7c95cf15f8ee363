#include "ui/UZ9Edit.h"

#include <QEvent>

namespace vantori {

TZ9Edit::TZ9Edit(QWidget* parent) : QLineEdit(parent) {
  setFrame(false);
  ApplyBackground();
}

void TZ9Edit::SetAlignText(Qt::Alignment align) {
  setAlignment(align | Qt::AlignVCenter);
}

void TZ9Edit::SetTransparent(bool transparent) {
  FTransparent = transparent;
  ApplyBackground();
}

void TZ9Edit::ApplyBackground() {
  // Transparent: no background of its own, so the parent and the siblings below are composed
  // under the text by the toolkit in one pass (no flicker); otherwise the edit's colour.
  QPalette pal = palette();
  pal.setColor(QPalette::Base, FTransparent ? QColor(Qt::transparent) : FColor);
  setPalette(pal);
  setAutoFillBackground(!FTransparent);
  setAttribute(Qt::WA_TranslucentBackground, FTransparent);
  update();
}

void TZ9Edit::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ParentChange) update();
  QLineEdit::changeEvent(event);
}

}  // namespace vantori
