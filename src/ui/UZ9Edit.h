#pragma once
// A one-line edit that can let its parent's picture show through (the main window's search box).

#include <QLineEdit>

namespace vantori {

class TZ9Edit : public QLineEdit {
  Q_OBJECT
 public:
  explicit TZ9Edit(QWidget* parent = nullptr);
  void SetAlignText(Qt::Alignment align);
  Qt::Alignment AlignText() const { return alignment(); }
  void SetTransparent(bool transparent);
  bool Transparent() const { return FTransparent; }

 protected:
  void changeEvent(QEvent*) override;

 private:
  void ApplyBackground();
  bool FTransparent = false;
  QColor FColor = Qt::white;  // the edit's own colour when not transparent
};

}  // namespace vantori
