#include "ui/USkinFrame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSplitterHandle>
#include <QThread>
#include <QWindow>
#include <cmath>

namespace vantori {

// ---------------------------------------------------------------------------------------------
// Dragging

namespace {

// Follows the mouse with the top-level window until the left button is released; used when
// the window manager offers no interactive move.
class TDragFollower : public QObject {
 public:
  TDragFollower(QWidget* source, const QPoint& offset) : QObject(source), FOffset(offset) {
    source->installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* w = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::MouseMove) {
      auto* me = static_cast<QMouseEvent*>(event);
      w->window()->move(me->globalPosition().toPoint() - FOffset);
      return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
      w->removeEventFilter(this);
      deleteLater();
    }
    return false;
  }

 private:
  QPoint FOffset;
};

}  // namespace

void BeginWindowDrag(QWidget* w, QMouseEvent* event) {
  if (!w || !event || event->button() != Qt::LeftButton) return;
  QWidget* top = w->window();
  if (top->isMaximized()) return;
  if (QWindow* handle = top->windowHandle(); handle && handle->startSystemMove()) return;
  new TDragFollower(w, event->globalPosition().toPoint() - top->pos());
}

TMouseDownEvent DragWindowHandler() {
  return [](QWidget* sender, QMouseEvent* event) { BeginWindowDrag(sender, event); };
}

// ---------------------------------------------------------------------------------------------
// Image control

TFrameImage::TFrameImage(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_NoSystemBackground);
}

void TFrameImage::SetPicture(const QImage& picture) {
  FPicture = picture;
  update();
}

void TFrameImage::SetStretch(bool stretch) {
  FStretch = stretch;
  update();
}

void TFrameImage::paintEvent(QPaintEvent*) {
  if (FPicture.isNull()) return;
  QPainter p(this);
  if (FStretch)
    p.drawImage(rect(), FPicture);
  else
    p.drawImage(0, 0, FPicture);
}

void TFrameImage::mousePressEvent(QMouseEvent* event) {
  if (OnMouseDown)
    OnMouseDown(this, event);
  else
    event->ignore();
}

void TFrameImage::mouseDoubleClickEvent(QMouseEvent* event) {
  if (OnDblClick && event->button() == Qt::LeftButton)
    OnDblClick(this);
  else
    QWidget::mouseDoubleClickEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Rounded shape

QRegion RoundRegion(const QSize& client) {
  const int w = client.width(), h = client.height();
  if (w <= 0 || h <= 0) return {};
  // The rounded rectangle spans (-1, -1) to (w + 2, h + 2) with an ellipse of 16 x 16 at each
  // corner; a pixel belongs to it when its centre lies inside.
  const double left = -1, right = w + 2, top = -1, bottom = h + 2, r = 8;
  QRegion region;
  for (int y = 0; y < h; ++y) {
    double cy = y + 0.5;
    double d = std::min(cy - top, bottom - cy);  // distance of the row centre from the edge
    int x0 = 0, x1 = w;
    if (d < r) {
      double dy = r - d;
      double hx = std::sqrt(std::max(0.0, r * r - dy * dy));
      x0 = std::max(0, static_cast<int>(std::ceil(left + r - hx - 0.5)));
      x1 = std::min(w, static_cast<int>(std::floor(right - r + hx - 0.5)) + 1);
    }
    if (x1 > x0) region += QRect(x0, y, x1 - x0, 1);
  }
  return region;
}

void SetRoundRegion(QWidget* window) {
  if (!window) return;
  window->setMask(RoundRegion(window->size()));
  window->update();
}

// ---------------------------------------------------------------------------------------------
// Eight-piece frames

namespace {

struct TPieceSet {
  const char* Names[8];
  int Corner;  // width of the corners and side pieces
  int Top;     // height of the top pieces
  int Bottom;  // height of the bottom pieces
};

constexpr TPieceSet kLarge{{"FTL", "FTC", "FTR", "FML", "FMR", "FBL", "FBC", "FBR"}, 20, 51, 20};
constexpr TPieceSet kSmall{{"FTL2", "FTC2", "FTR2", "FML2", "FMR2", "FBL2", "FBC2", "FBR2"}, 13, 13, 13};

std::array<QImage, 8> LoadPieces(const TResourceModule& skin, const TPieceSet& set) {
  std::array<QImage, 8> pieces;
  for (int i = 0; i < 8; ++i) pieces[i] = LoadSkinBitmap(skin, set.Names[i]);
  // The edges are stretched from their first pixel column (top, bottom) or row (sides).
  pieces[1] = pieces[1].copy(0, 0, 1, pieces[1].height());
  pieces[6] = pieces[6].copy(0, 0, 1, pieces[6].height());
  pieces[3] = pieces[3].copy(0, 0, pieces[3].width(), 1);
  pieces[4] = pieces[4].copy(0, 0, pieces[4].width(), 1);
  return pieces;
}

// Geometry of the eight pieces in a client of w x h.
std::array<QRect, 8> PieceRects(const TPieceSet& set, int w, int h) {
  const int c = set.Corner, t = set.Top, b = set.Bottom;
  return {QRect(0, 0, c, t),
          QRect(c, 0, w - 2 * c, t),
          QRect(w - c, 0, c, t),
          QRect(0, t, c, h - t - b),
          QRect(w - c, t, c, h - t - b),
          QRect(0, h - b, c, b),
          QRect(c, h - b, w - 2 * c, b),
          QRect(w - c, h - b, c, b)};
}

QImage RenderFrame(const TResourceModule& skin, const QSize& size, const TPieceSet& set) {
  std::array<QImage, 8> pieces = LoadPieces(skin, set);
  QImage canvas(size, QImage::Format_RGB32);
  canvas.fill(kWindowColor);
  QPainter p(&canvas);
  auto rects = PieceRects(set, size.width(), size.height());
  for (int i = 0; i < 8; ++i) {
    if (rects[i].width() <= 0 || rects[i].height() <= 0) continue;
    if (i == 1 || i == 3 || i == 4 || i == 6)
      p.drawImage(rects[i], pieces[i]);
    else
      p.drawImage(rects[i].topLeft(), pieces[i]);
  }
  return canvas;
}

}  // namespace

QImage RenderBitmapFrame(const TResourceModule& skin, const QSize& size) {
  return RenderFrame(skin, size, kLarge);
}

QImage RenderSmallFrame(const TResourceModule& skin, const QSize& size) {
  return RenderFrame(skin, size, kSmall);
}

TFrameImage* PaintBitmapFrame(QWidget* window, const TResourceModule& skin, TMouseDownEvent onMouseDown) {
  QImage canvas = RenderBitmapFrame(skin, window->size());
  auto* image = new TFrameImage(window);
  image->setGeometry(window->rect());
  image->SetPicture(canvas);
  image->OnMouseDown = std::move(onMouseDown);
  image->lower();
  image->show();
  SetRoundRegion(window);
  return image;
}

TSkinFrame::TSkinFrame(QWidget* host, const TResourceModule& skin, TKind kind, TMouseDownEvent onTopMouseDown)
    : QObject(host), FHost(host), FKind(kind) {
  const TPieceSet& set = kind == Large ? kLarge : kSmall;
  std::array<QImage, 8> pieces = LoadPieces(skin, set);
  for (int i = 0; i < 8; ++i) {
    auto* piece = new TFrameImage(host);
    piece->SetPicture(pieces[i]);
    piece->SetStretch(true);
    if (i <= 2) piece->OnMouseDown = onTopMouseDown;
    piece->setAttribute(Qt::WA_TransparentForMouseEvents, i > 2 || !onTopMouseDown);
    FPieces[i] = piece;
  }
  for (auto* piece : FPieces) {
    piece->lower();
    piece->show();
  }
  host->installEventFilter(this);
  Relayout();
}

void TSkinFrame::Relayout() {
  const TPieceSet& set = FKind == Large ? kLarge : kSmall;
  auto rects = PieceRects(set, FHost->width(), FHost->height());
  for (int i = 0; i < 8; ++i) FPieces[i]->setGeometry(rects[i]);
  if (FKind == Large) SetRoundRegion(FHost);
}

bool TSkinFrame::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FHost && event->type() == QEvent::Resize) Relayout();
  return QObject::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Gradient frames

namespace {

void FillRect(QImage& c, int l, int t, int r, int b, QRgb colour) {
  l = std::max(l, 0), t = std::max(t, 0), r = std::min(r, c.width()), b = std::min(b, c.height());
  for (int y = t; y < b; ++y) {
    auto* line = reinterpret_cast<QRgb*>(c.scanLine(y));
    for (int x = l; x < r; ++x) line[x] = colour;
  }
}

// Outline of the rectangle (l, t) to (r, b), right and bottom exclusive.
void FrameRect(QImage& c, int l, int t, int r, int b, QRgb colour) {
  if (r <= l || b <= t) return;
  FillRect(c, l, t, r, t + 1, colour);
  FillRect(c, l, b - 1, r, b, colour);
  FillRect(c, l, t, l + 1, b, colour);
  FillRect(c, r - 1, t, r, b, colour);
}

QRgb Blueish(int v) {
  return qRgb(v, v, 250);
}

int BandShade(int row) {
  return row < 19 ? 160 + 5 * row : 250 - 5 * (row - 19);
}

void DrawGradient(QImage& c, const std::vector<int>& rings, int m, int innerOutline, int titleEnd,
                  int bottomStart, QRgb windowColor) {
  const int w = c.width(), h = c.height();
  c.fill(windowColor | 0xFF000000u);
  for (int i = 0; i < static_cast<int>(rings.size()); ++i) {
    FillRect(c, i + 1, i + 1, w - i - 1, h - i - 1, windowColor | 0xFF000000u);
    FrameRect(c, i, i, w - i, h - i, Blueish(rings[i]));
  }
  for (int row = 0; row < 38; ++row) {
    int y = m + row;
    FillRect(c, m, y, titleEnd + y, y + 1, Blueish(BandShade(row)));
  }
  FillRect(c, m, m + 38, w - m, m + 40, qRgb(160, 160, 250));
  FillRect(c, m, h - m - 39, w - m, h - m - 37, qRgb(160, 160, 250));
  for (int row = 0; row < 38; ++row) {
    int y = h - m - 37 + row;
    FillRect(c, bottomStart + row, y, w - m, y + 1, Blueish(BandShade(row)));
  }
  FrameRect(c, 0, 0, w, h, qRgb(100, 100, 100));
  FrameRect(c, innerOutline, innerOutline, w - innerOutline, h - innerOutline, qRgb(100, 100, 100));
}

}  // namespace

std::vector<int> GradientFrameRings() {
  std::vector<int> v;
  for (int i = 0; i <= 5; ++i) v.push_back(150 + 20 * i);
  for (int i = 6; i <= 11; ++i) v.push_back(150 + 20 * (11 - i));
  return v;
}

std::vector<int> GradientFrameBitmapRings() {
  std::vector<int> v;
  for (int i = 0; i <= 4; ++i) v.push_back(150 + 15 * i);
  for (int i = 5; i <= 9; ++i) v.push_back(150 + 15 * (11 - i));
  return v;
}

void DrawGradientFrame(QImage& canvas, int titleEnd, int bottomStart, QRgb windowColor) {
  DrawGradient(canvas, GradientFrameRings(), 13, 12, titleEnd, bottomStart, windowColor);
}

void DrawGradientFrameBitmap(QImage& canvas, int titleEnd, int bottomStart, QRgb windowColor) {
  DrawGradient(canvas, GradientFrameBitmapRings(), 10, 10, titleEnd, bottomStart, windowColor);
}

TFrameImage* PaintGradientFrame(QWidget* window, QLabel* title, int bottomStart,
                                TMouseDownEvent onMouseDown) {
  QImage canvas(window->size(), QImage::Format_RGB32);
  int titleEnd = title ? title->x() + title->width() - 5 : 13;
  DrawGradientFrame(canvas, titleEnd, bottomStart, window->palette().color(QPalette::Window).rgb());
  auto* image = new TFrameImage(window);
  image->setGeometry(window->rect());
  image->SetPicture(canvas);
  image->OnMouseDown = std::move(onMouseDown);
  image->lower();
  image->show();
  return image;
}

void PaintGradientFrameBitmap(QWidget* window, QImage& target, int bottomStart, int titleEnd) {
  QImage canvas(window->size(), QImage::Format_RGB32);
  DrawGradientFrameBitmap(canvas, titleEnd, bottomStart, window->palette().color(QPalette::Window).rgb());
  target = canvas;
  window->update();
}

// ---------------------------------------------------------------------------------------------
// Splitter bars

namespace {

using TTriple = std::array<int, 3>;
constexpr std::array<TTriple, 9> kMiddle{{{151, 220, 246},
                                          {111, 206, 242},
                                          {77, 194, 239},
                                          {31, 179, 235},
                                          {0, 167, 231},
                                          {0, 138, 191},
                                          {0, 109, 151},
                                          {0, 79, 109},
                                          {0, 51, 71}}};
constexpr std::array<TTriple, 9> kLeftOuter{{{171, 226, 247},
                                             {151, 220, 246},
                                             {119, 209, 243},
                                             {103, 203, 241},
                                             {111, 206, 242},
                                             {103, 203, 241},
                                             {85, 197, 240},
                                             {21, 175, 234},
                                             {0, 90, 124}}};
constexpr std::array<TTriple, 9> kRightOuter{{{0, 120, 166},
                                              {0, 79, 109},
                                              {0, 66, 91},
                                              {0, 62, 86},
                                              {0, 62, 86},
                                              {0, 62, 86},
                                              {0, 62, 86},
                                              {0, 51, 71},
                                              {0, 37, 51}}};

TTriple Mix(const TTriple& a, const TTriple& b, int num, int den) {
  TTriple t;
  for (int k = 0; k < 3; ++k) t[k] = a[k] + (b[k] - a[k]) * num / den;
  return t;
}

// Cap column `col` (0..9) of the left or right end cap, row `row`.
TTriple CapColor(bool left, int col, int row) {
  if (left) {
    if (col == 0) return kLeftOuter[row];
    if (col == 1) return Mix(kLeftOuter[row], kMiddle[row], 1, 2);
    return kMiddle[row];
  }
  if (col == 9) return kRightOuter[row];
  if (col >= 6) return Mix(kMiddle[row], kRightOuter[row], col - 5, 4);
  return kMiddle[row];
}

}  // namespace

QRgb SplitterColor(int t0, int t1, int t2, TSplitterStyle style) {
  if (style == TSplitterStyle::Notes) return qRgb(t1, t2, t0);
  auto light = [](int x) { return x + (255 - x) / 3; };
  return qRgb(light(t0), light(t2), light(t1));
}

void DrawSplitterBar(QImage& canvas, TSplitterStyle style) {
  const int w = canvas.width();
  for (int y = 0; y < std::min(9, canvas.height()); ++y) {
    const TTriple& m = kMiddle[y];
    FillRect(canvas, 10, y, w - 10, y + 1, SplitterColor(m[0], m[1], m[2], style));
    for (int col = 0; col < 10; ++col) {
      TTriple l = CapColor(true, col, y), r = CapColor(false, col, y);
      if (col < w) canvas.setPixel(col, y, SplitterColor(l[0], l[1], l[2], style));
      if (w - 10 + col >= 0) canvas.setPixel(w - 10 + col, y, SplitterColor(r[0], r[1], r[2], style));
    }
  }
}

namespace {

class TSkinSplitterHandle : public QSplitterHandle {
 public:
  TSkinSplitterHandle(Qt::Orientation o, QSplitter* parent, TSplitterStyle style)
      : QSplitterHandle(o, parent), FStyle(style) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QImage bar(std::max(width(), 20), 9, QImage::Format_RGB32);
    bar.fill(Qt::white);
    DrawSplitterBar(bar, FStyle);
    QPainter p(this);
    if (orientation() == Qt::Vertical) {
      p.drawImage(0, 0, bar);
    } else {
      QTransform t;
      t.rotate(90);
      QImage turned = bar.copy(0, 0, std::max(height(), 20), 9).transformed(t);
      p.drawImage(0, 0, turned);
    }
  }

 private:
  TSplitterStyle FStyle;
};

}  // namespace

TSkinSplitter::TSkinSplitter(Qt::Orientation orientation, TSplitterStyle style, QWidget* parent)
    : QSplitter(orientation, parent), FStyle(style) {
  setHandleWidth(9);
}

QSplitterHandle* TSkinSplitter::createHandle() {
  return new TSkinSplitterHandle(orientation(), this, FStyle);
}

// ---------------------------------------------------------------------------------------------
// Zoom outline

std::vector<TZoomStep> ZoomRectSteps(const QRect& w, const QRect& a, bool noTravel, bool closing, int speed) {
  std::vector<TZoomStep> steps;
  const int dv = (w.height() / 2) / 24;
  const int dh = ((w.width() - a.width()) / 2) / 24;
  const int grow = 2 * speed;
  if (!closing) {
    if (!noTravel) {
      QRect r = a;
      const int dx = (a.left() - w.left()) / 40;
      for (int i = 0; i < 40; ++i) {
        r.translate(-dx, -dv);
        steps.push_back({r, 5, true});
      }
      steps.push_back({QRect(), 0, true});  // restore the screen under the last outline
    }
    int left = w.left() + (w.width() - a.width()) / 2, right = left + a.width();
    int top = w.top() + w.height() / 2, bottom = top;
    for (int i = 0; i < 24; ++i) {
      left -= dh, right += dh, top -= dv, bottom += dv;
      steps.push_back({QRect(QPoint(left, top), QPoint(right, bottom)), grow, false});
    }
  } else {
    int left = w.left(), right = w.right(), top = w.top(), bottom = w.bottom();
    for (int i = 0; i < 24; ++i) {
      left += dh, right -= dh, top += dv, bottom -= dv;
      steps.push_back({QRect(QPoint(left, top), QPoint(right, bottom)), grow, false});
    }
    QRect r(QPoint(left, top), QPoint(right, bottom));
    const int dx = (a.left() - r.left()) / 40, dy = (r.top() - a.top()) / 40;
    steps.push_back({QRect(), 0, false});  // the growing outlines go before the travel
    for (int i = 0; i < 40; ++i) {
      r.translate(dx, -dy);
      steps.push_back({r, 5, true});
    }
    steps.push_back({QRect(), 0, true});
  }
  return steps;
}

namespace {

// A click-through overlay over the whole screen that draws the zoom outlines.
class TZoomOverlay : public QWidget {
 public:
  TZoomOverlay()
      : QWidget(nullptr, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool |
                             Qt::WindowTransparentForInput) {
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_ShowWithoutActivating);
    if (QScreen* screen = QGuiApplication::primaryScreen()) setGeometry(screen->virtualGeometry());
  }
  std::vector<QRect> Outlines;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setPen(QPen(Qt::black, 1));
    for (const QRect& r : Outlines) p.drawRect(r.translated(-geometry().topLeft()));
  }
};

}  // namespace

void ZoomRect(const QRect& window, const QRect& anchor, bool noTravel, bool closing, int speed) {
  if (!QApplication::instance()) return;
  TZoomOverlay overlay;
  overlay.show();
  for (const TZoomStep& step : ZoomRectSteps(window, anchor, noTravel, closing, speed)) {
    if (step.Rect.isNull()) {
      overlay.Outlines.clear();
    } else {
      if (step.RestorePrevious && !overlay.Outlines.empty()) overlay.Outlines.pop_back();
      overlay.Outlines.push_back(step.Rect);
    }
    overlay.repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (step.DelayMs > 0) QThread::msleep(step.DelayMs);
  }
}

}  // namespace vantori
