#pragma once
// Picture buttons whose faces come from a four-frame sprite of the skin: the push and title
// buttons (TImageButtonNew) and the pane tabs of the main window (TImageTabButton).

#include <QImage>
#include <QWidget>

#include "ui/USkin.h"

namespace vantori {

// Slices a sprite into its four frames (frame width = width div 4; the last frame runs to the
// width rounded down to a multiple of 4).
std::array<QImage, 4> SliceSprite(const QImage& sprite);

class TImageButtonNew : public QWidget {
  Q_OBJECT
 public:
  enum TState { Neutral = 0, Down = 1, Over = 2, Up = 3 };

  explicit TImageButtonNew(QWidget* parent = nullptr);

  void SetHResource(const TResourceModule& module) { FHResource = module; }
  const TResourceModule& HResource() const { return FHResource; }
  // Loads the sprite by resource name from HResource; a sprite that cannot be loaded leaves
  // the button as it was.
  void SetResName(const QString& name);
  const QString& ResName() const { return FResName; }
  void SetSprImgFileName(const QString& fileName);
  const QString& SprImgFileName() const { return FSprImgFileName; }
  void SetIconResName(const QString& name);
  const QString& IconResName() const { return FIconResName; }
  void SetCaption(const QString& caption);
  const QString& Caption() const { return FCaption; }
  void SetEnabled(bool enabled);
  bool Enabled() const { return FEnabled; }

  const QImage& PictureUp() const { return FPictures[0]; }
  const QImage& PictureDisable() const { return FPictures[1]; }
  const QImage& PictureOver() const { return FPictures[2]; }
  const QImage& PictureDown() const { return FPictures[3]; }
  const QImage& Icon() const { return FIcon; }
  const QImage& GreyIcon() const { return FGreyIcon; }
  // The face as drawn (the current picture with icon and caption, transparency applied).
  const QImage& Face() const { return FFace; }
  TState State() const { return FState; }
  bool MouseOver() const { return FMouseOver; }

  TNotifyEvent OnClick;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TLogSink Log;  // where load failures are noted; they never reach the caller

 protected:
  void paintEvent(QPaintEvent*) override;
  void enterEvent(QEnterEvent*) override;
  void leaveEvent(QEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void changeEvent(QEvent*) override;

 private:
  void LoadSprite(const QImage& sprite);
  void ShowFace(int picture);
  void Redraw();

  TResourceModule FHResource;
  QString FResName, FSprImgFileName, FIconResName, FCaption;
  std::array<QImage, 4> FPictures;  // up, disabled, over, down
  QImage FIcon, FGreyIcon;
  QImage FFace;
  int FFacePicture = 0;
  TState FState = Up;
  bool FMouseOver = false;
  bool FEnabled = true;
  bool FEnabledApplied = false;
};

class TImageTabButton : public QWidget {
  Q_OBJECT
 public:
  enum TTransparentMode { Automatic, Fixed };
  enum TVisual { Normal = 0, Over = 1, Down = 2 };

  explicit TImageTabButton(QWidget* parent = nullptr);

  void SetHResource(const TResourceModule& module) { FHResource = module; }
  void SetResName(const QString& name);
  void SetSprImgFileName(const QString& fileName);
  void SetTxt(const QString& text);
  const QString& Txt() const { return FTxt; }
  void SetTxtCol(const QColor& colour);
  void SetTxtSize(int size);
  void SetLeftTxt(int x);
  void SetTopTxt(int y);
  void SetTransparentMode(TTransparentMode mode);
  TTransparentMode TransparentMode() const { return FMode; }
  void SetTransparentColor(QRgb colour);  // switches to the fixed mode
  QRgb TransparentColor() const { return FTransparentColor; }
  void SetClicked(bool clicked);
  bool Clicked() const { return FClicked; }
  void SetEnabled(bool enabled);
  void SetTabStop(bool tabStop);
  bool TabStop() const { return FTabStop; }
  void SetDisabledBitmap(const QImage& image);
  void SetFocusedBitmap(const QImage& image);

  const QImage& NoneBitmap() const { return FNone; }
  const QImage& OverBitmap() const { return FOver; }
  const QImage& DownBitmap() const { return FDown; }
  const QImage& ImgBitmap() const { return FImg; }
  TVisual Visual() const { return FVisual; }
  // The face as composed before the transparent colour is applied.
  QImage Face() const;

  TNotifyEvent OnClick;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TLogSink Log;

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
  void resizeEvent(QResizeEvent*) override;

 private:
  void LoadSprite(const QImage& sprite);
  void Click();
  void UpdateRegion(const QImage& face);
  void Refresh();  // rebuilds the shape and repaints

  TResourceModule FHResource;
  QString FResName, FSprImgFileName, FTxt;
  QColor FTxtCol = Qt::white;
  int FTxtSize = 9;
  int FLeftTxt = 0, FTopTxt = 0;
  TTransparentMode FMode = Automatic;
  QRgb FTransparentColor = 0xFFFF00FF;
  bool FClicked = false;
  bool FTabStop = true;
  bool FFocused = false;
  bool FMouseOver = false;
  TVisual FVisual = Normal;
  int FRegionState = -1;
  QSize FRegionSize;
  QImage FNone, FOver, FDown, FDisabled, FFocusedBmp, FImg;
};

}  // namespace vantori
