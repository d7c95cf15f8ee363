#pragma once
// Window frames built from the skin: the large and small eight-piece frames, the rounded
// window shape, the gradient frames of the chat and gift windows, the splitter bars, the zoom
// outline animation, and dragging a borderless window by its background.

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QSplitter>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

#include "ui/USkin.h"

class QLabel;
class QMouseEvent;

namespace vantori {

// Mouse-down handler of a background image: sender and the event.
using TMouseDownEvent = std::function<void(QWidget* sender, QMouseEvent* event)>;

// Starts moving the top-level window of `w` with the mouse (the window manager's move when it
// offers one, else the kit follows the mouse until the button is released).
void BeginWindowDrag(QWidget* w, QMouseEvent* event);
// The handler the windows pass to the frame painters: drags the window on a left press.
TMouseDownEvent DragWindowHandler();

// An image control: shows a picture (stretched to its size when asked) and reports presses.
class TFrameImage : public QWidget {
  Q_OBJECT
 public:
  explicit TFrameImage(QWidget* parent = nullptr);
  void SetPicture(const QImage& picture);
  const QImage& Picture() const { return FPicture; }
  void SetStretch(bool stretch);
  TMouseDownEvent OnMouseDown;
  std::function<void(QWidget*)> OnDblClick;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;

 private:
  QImage FPicture;
  bool FStretch = false;
};

// The rounded window shape of a client area: (-1, -1) to (w + 2, h + 2), 16x16 corner ellipse.
QRegion RoundRegion(const QSize& client);
// Gives the window that shape.
void SetRoundRegion(QWidget* window);

// The large frame ("FTL" ... "FBR", 20/51-pixel pieces) drawn on white; throws ESkinError.
QImage RenderBitmapFrame(const TResourceModule& skin, const QSize& size);
// The small frame ("FTL2" ... "FBR2", 13-pixel pieces) drawn on white; throws ESkinError.
QImage RenderSmallFrame(const TResourceModule& skin, const QSize& size);

// Builds the large frame as the window's background (an image control behind all others with
// the given mouse-down handler) and gives the window its rounded shape. Returns the image;
// throws ESkinError when a piece is missing (nothing is added then).
TFrameImage* PaintBitmapFrame(QWidget* window, const TResourceModule& skin, TMouseDownEvent onMouseDown);

// The eight-piece frame of a resizable window or pane: eight image controls that follow the
// host's size. The large frame also keeps the host's rounded shape after every resize.
class TSkinFrame : public QObject {
  Q_OBJECT
 public:
  enum TKind { Large, Small };
  // Throws ESkinError when a piece is missing (the host is left unchanged then).
  TSkinFrame(QWidget* host, const TResourceModule& skin, TKind kind, TMouseDownEvent onTopMouseDown = {});
  void Relayout();
  TFrameImage* Piece(int index) const { return FPieces[index]; }  // TL, TC, TR, ML, MR, BL, BC, BR
  TKind Kind() const { return FKind; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* FHost;
  TKind FKind;
  std::array<TFrameImage*, 8> FPieces{};
};

// Gradient frames. Each draws onto a picture of the window's size in the window colour.
// titleEnd is T (where the title band's first row ends), bottomStart is B.
void DrawGradientFrame(QImage& canvas, int titleEnd, int bottomStart, QRgb windowColor = kWindowColor);
void DrawGradientFrameBitmap(QImage& canvas, int titleEnd, int bottomStart, QRgb windowColor = kWindowColor);
// The ring colours v of RGB(v, v, 250), outermost first.
std::vector<int> GradientFrameRings();
std::vector<int> GradientFrameBitmapRings();

// Gradient frame on an image control behind all controls of the window; T comes from the title
// label (its left + width - 5).
TFrameImage* PaintGradientFrame(QWidget* window, QLabel* title, int bottomStart, TMouseDownEvent onMouseDown);
// Gradient frame kept in `target` (the window draws it when it repaints).
void PaintGradientFrameBitmap(QWidget* window, QImage& target, int bottomStart, int titleEnd);

// Splitter bars (9 pixels high).
enum class TSplitterStyle { Notes, Chat };
void DrawSplitterBar(QImage& canvas, TSplitterStyle style);
QRgb SplitterColor(int t0, int t1, int t2, TSplitterStyle style);

// A horizontal-handle splitter whose 9-pixel handles are the skinned bar.
class TSkinSplitter : public QSplitter {
  Q_OBJECT
 public:
  TSkinSplitter(Qt::Orientation orientation, TSplitterStyle style, QWidget* parent = nullptr);

 protected:
  QSplitterHandle* createHandle() override;

 private:
  TSplitterStyle FStyle;
};

// One outline of the zoom animation: the rectangle to draw, the wait after it, and whether the
// screen under the previous outline is restored first (travel) or the outlines accumulate.
struct TZoomStep {
  QRect Rect;
  int DelayMs = 0;
  bool RestorePrevious = false;
};
// The outlines of ZoomRect in order (speed s gives 2*s ms per growing or shrinking step).
std::vector<TZoomStep> ZoomRectSteps(const QRect& window, const QRect& anchor, bool noTravel, bool closing,
                                     int speed);
// Outline animation on the screen between a window and an anchor; blocks for its duration.
void ZoomRect(const QRect& window, const QRect& anchor, bool noTravel, bool closing, int speed);

}  // namespace vantori
