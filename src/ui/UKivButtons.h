#pragma once
// Drawn buttons: the ringed push button of the dialogs, the small restore button of the
// transfer bar, the glyph buttons (close boxes, picture buttons) and the hidden picture
// button of the message box.

#include <QImage>
#include <QWidget>

#include "ui/USkin.h"

namespace vantori {

class TKivSimpleButton : public QWidget {
  Q_OBJECT
 public:
  explicit TKivSimpleButton(QWidget* parent = nullptr);

  void SetCaption(const QString& caption);
  const QString& Caption() const { return FCaption; }
  void SetIcon(const QImage& icon);  // drawn with its automatic transparent colour
  // Loads the icon by name from a skin module; a missing picture leaves the icon as it was.
  void LoadIcon(const TResourceModule& skin, const QString& name);
  const QImage& Icon() const { return FIcon; }
  void SetBorderWidth(int rings);
  int BorderWidth() const { return FBorderWidth; }
  void SetActive(bool active);
  bool Active() const { return FActive; }

  bool Hovered() const { return FHovered; }
  bool Pressed() const { return FPressed; }
  // The highlight shade of ring i (1 = outermost) of a button with n rings.
  static int RingHighlight(int i, int n);
  static int RingShade(int i);

  TNotifyEvent OnButtonClick;

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  void keyReleaseEvent(QKeyEvent*) override;
  void focusInEvent(QFocusEvent*) override;
  void focusOutEvent(QFocusEvent*) override;
  void changeEvent(QEvent*) override;

 private:
  void Fire();
  bool Live() const { return isEnabled() && FActive; }

  QString FCaption;
  QImage FIcon;
  int FBorderWidth = 2;
  bool FActive = true;
  bool FHovered = false;
  bool FMouseInside = false;
  bool FPressed = false;
  bool FEnterDown = false;
  bool FEnterSeen = false;
};

class TRoundButton : public QWidget {
  Q_OBJECT
 public:
  explicit TRoundButton(QWidget* parent = nullptr);
  void SetCaption(const QString& caption);
  const QString& Caption() const { return FCaption; }
  void SetActive(bool active);
  bool Active() const { return FActive; }
  bool Hovered() const { return FHovered; }
  bool Pressed() const { return FPressed; }
  void SetBackground(const QColor& colour);

  TNotifyEvent OnClick;

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  virtual void PaintFace(QPainter& p);

  QString FCaption;
  QColor FBackground;
  bool FActive = true;
  bool FHovered = false;
  bool FPressed = false;
};

// The "show window" button of the transfer bar.
class TRestoreButton : public TRoundButton {
  Q_OBJECT
 public:
  explicit TRestoreButton(QWidget* parent = nullptr);

 protected:
  void PaintFace(QPainter& p) override;
};

class TKivWindowButton : public QWidget {
  Q_OBJECT
 public:
  enum TKind { Minimise = 0, CloseCross = 1, LetterD = 2, Picture = 3 };
  explicit TKivWindowButton(QWidget* parent = nullptr, TKind kind = CloseCross);
  void SetKind(TKind kind);
  TKind Kind() const { return FKind; }
  void SetPicture(const QImage& picture);
  bool Hovered() const { return FHovered; }
  bool Pressed() const { return FPressed; }
  QImage Render() const;

  TNotifyEvent OnClick;

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;

 private:
  TKind FKind;
  QImage FPicture;
  bool FHovered = false;
  bool FPressed = false;
};

class TKivMsgButton : public QWidget {
  Q_OBJECT
 public:
  explicit TKivMsgButton(QWidget* parent = nullptr);
  void SetPicture(const QImage& picture);
  void SetBackground(const QImage& background);
  QImage Render() const;
  TNotifyEvent OnClick;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;

 private:
  QImage FPicture, FBackground;
};

// The brush colour of the window or panel that owns w.
QColor OwnerColor(const QWidget* w);

}  // namespace vantori
