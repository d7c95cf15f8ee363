#pragma once
// Drawn labels, value boxes, check boxes, picture radio buttons and logos.

#include <QImage>
#include <QWidget>

#include "ui/USkin.h"

namespace vantori {

class TKivLabel : public QWidget {
  Q_OBJECT
 public:
  enum TAlign { Left = 0, Right = 1, Center = 2 };
  explicit TKivLabel(QWidget* parent = nullptr);
  void SetText(const QString& text);
  const QString& Text() const { return FText; }
  void SetAlignment(TAlign align);
  void SetIndent(int indent);
  void SetFramed(bool framed);
  void SetBackground(const QImage& background);
  void FitToText();  // text width + 4 by text height + 2
  QImage Render() const;

  TNotifyEvent OnClick;
  std::function<void(QObject*, QMouseEvent*)> OnMouseDown;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;

 private:
  QString FText;
  TAlign FAlign = Center;
  int FIndent = 2;
  bool FFramed = true;
  QImage FBackground;
};

// A caption and its value in one rounded box.
class TMaxMessage : public QWidget {
  Q_OBJECT
 public:
  explicit TMaxMessage(QWidget* parent = nullptr);
  void SetCaption(const QString& caption);
  void SetValue(const QString& value);
  const QString& Value() const { return FValue; }
  QImage Render() const;
  int Repaints() const { return FRepaints; }

  TNotifyEvent OnClick;
  std::function<void(QObject*, QMouseEvent*)> OnMouseDown;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;

 private:
  QString FCaption, FValue;
  int FRepaints = 0;
};

// Shared behaviour of the check box and the radio button: hover, enabled, background, change.
class TKivToggle : public QWidget {
  Q_OBJECT
 public:
  explicit TKivToggle(QWidget* parent = nullptr);
  bool Checked() const { return FChecked; }
  void SetEnabled(bool enabled);
  bool Enabled() const { return FEnabled; }
  bool Hovered() const { return FHovered; }
  void SetBackground(const QImage& background);
  virtual QImage Render() const = 0;

  TNotifyEvent OnClick;
  TNotifyEvent OnChange;

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;
  virtual void Toggle() = 0;
  QImage Base() const;

  bool FChecked = false;
  bool FEnabled = true;
  bool FHovered = false;
  QImage FBackground;
};

class TKivCheckBox : public TKivToggle {
  Q_OBJECT
 public:
  explicit TKivCheckBox(QWidget* parent = nullptr);
  void SetChecked(bool checked);
  QImage Render() const override;

 protected:
  void Toggle() override { SetChecked(!FChecked); }
};

class TMaxRadioButton : public TKivToggle {
  Q_OBJECT
 public:
  explicit TMaxRadioButton(QWidget* parent = nullptr);
  // Loads "RADIOCHECK" and "RADIOUNCHECK" from the skin; missing pictures keep the drawn ones.
  void LoadPictures(const TResourceModule& skin);
  void SetPictures(const QImage& checked, const QImage& unchecked);
  void SetChecked(bool checked);
  QImage Render() const override;

 protected:
  void Toggle() override {
    if (!FChecked) SetChecked(true);
  }

 private:
  QImage FCheckedPic, FUncheckedPic;
};

class TMaxLogoImage : public QWidget {
  Q_OBJECT
 public:
  explicit TMaxLogoImage(QWidget* parent = nullptr);
  void SetLogo(const QImage& logo);
  void LoadLogo(const TResourceModule& skin, const QString& name);
  void SetBackground(const QImage& background);
  QImage Render() const;
  TNotifyEvent OnClick;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;

 private:
  QImage FLogo, FBackground;
};

}  // namespace vantori
