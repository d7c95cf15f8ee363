#pragma once
// The main window's transfer bar and status bar, the transfer gauge and the running light.

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>

#include "ui/USkin.h"

namespace vantori {

class TRestoreButton;

// The size text of the client: bytes, KB (one decimal), MB and GB (two decimals).
QString FormatSizeText(std::int64_t bytes);

class TKivUpdownBar : public QWidget {
  Q_OBJECT
 public:
  enum THalf { Downloads = 0, Uploads = 1 };
  enum TState { Waiting = 0, Running = 1, Stopped = 2, Finished = 3 };
  struct TTexts {
    QString Count, Sizes, Speed, Remaining;
  };

  explicit TKivUpdownBar(QWidget* parent = nullptr);
  void SetState(THalf half, TState state);
  TState State(THalf half) const { return FStates[half]; }
  void SetTexts(THalf half, const TTexts& texts);  // the transfer windows redraw with it
  void SetInnerColor(const QColor& colour);
  TRestoreButton* RestoreButton(THalf half) const { return FButtons[half]; }
  int Repaints() const { return FRepaints; }

  TNotifyEvent OnShowDownloads;
  TNotifyEvent OnShowUploads;
  std::function<void(QObject*, QMouseEvent*)> OnMouseDown;

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mousePressEvent(QMouseEvent*) override;

 private:
  std::array<TState, 2> FStates{Waiting, Waiting};
  std::array<TTexts, 2> FTexts;
  std::array<TRestoreButton*, 2> FButtons{};
  QColor FInner = Qt::white;
  int FRepaints = 0;
};

class TKivStatusBar : public QWidget {
  Q_OBJECT
 public:
  explicit TKivStatusBar(QWidget* parent = nullptr);
  void SetStatusText(const QString& text);
  const QString& StatusText() const { return FText; }
  void SetNoteMark(bool on);
  bool NoteMark() const { return FNoteMark; }
  bool BlinkVisible() const { return FBlinkOn; }
  bool Blinking() const { return FBlink.isActive(); }
  void SetNotePicture(const QImage& picture);
  void SetInnerColor(const QColor& colour);
  // One blink step (the timer's tick).
  void ToggleBlink();

  TNotifyEvent OnNoteClick;
  std::function<void(QObject*, QMouseEvent*)> OnMouseDown;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;

 private:
  QString FText;
  bool FNoteMark = false;
  bool FBlinkOn = true;
  QImage FNotePicture;
  QColor FInner = Qt::white;
  QTimer FBlink;
};

class TKXGauge : public QWidget {
  Q_OBJECT
 public:
  explicit TKXGauge(QWidget* parent = nullptr);
  void SetMax(std::int64_t max);
  void SetPosition(std::int64_t position);
  std::int64_t Max() const { return FMax; }
  std::int64_t Position() const { return FPosition; }
  void SetColors(const QColor& start, const QColor& end);
  void SetBorder(bool border, const QColor& colour = Qt::black);
  void SetSizeFormatter(std::function<QString(std::int64_t)> formatter);
  // The percentage shown (99 while not complete even when it rounds to 100) and the text.
  int Percent() const;
  QString Text() const;
  // Width in columns of the bar for the current values.
  int BarWidth() const;
  QImage Render() const;
  int Repaints() const { return FRepaints; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  std::int64_t FMax = 1, FPosition = 0;
  QColor FStart = Qt::white, FEnd = QColor(166, 201, 240);
  bool FBorder = true;
  QColor FBorderColor = Qt::black;
  std::function<QString(std::int64_t)> FFormat;
  int FRepaints = 0;
};

class TAniProgress : public QWidget {
  Q_OBJECT
 public:
  enum TScheme { Green, Blue };
  explicit TAniProgress(QWidget* parent = nullptr);
  void Step();
  void SetStopped(bool stopped);
  bool Stopped() const { return FStopped; }
  void SetScheme(TScheme scheme);
  int Current() const { return FCurrent; }
  bool Forward() const { return FForward; }
  int CellCount() const { return width() / (kCellWidth + kGap); }
  static QRgb CellColor(int distance, TScheme scheme);
  QImage Render() const;

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;

 private:
  static constexpr int kCellWidth = 15, kGap = 1;
  int FCurrent = 0;
  bool FForward = true;
  bool FStopped = false;
  TScheme FScheme = Green;
};

}  // namespace vantori
