#include "ui/UKivButtons.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace vantori {

QColor OwnerColor(const QWidget* w) {
  const QWidget* owner = w->parentWidget() ? w->parentWidget() : w;
  return owner->palette().color(QPalette::Window);
}

namespace {

QColor Grey(int v) {
  return QColor(v, v, v);
}

void HLine(QPainter& p, int x0, int x1, int y, const QColor& c) {  // x1 exclusive
  if (x1 > x0) p.fillRect(x0, y, x1 - x0, 1, c);
}
void VLine(QPainter& p, int x, int y0, int y1, const QColor& c) {  // y1 exclusive
  if (y1 > y0) p.fillRect(x, y0, 1, y1 - y0, c);
}
// Outline through (l, t) and (r, b), both inclusive.
void Outline(QPainter& p, int l, int t, int r, int b, const QColor& c) {
  if (r < l || b < t) return;
  HLine(p, l, r + 1, t, c);
  HLine(p, l, r + 1, b, c);
  VLine(p, l, t, b + 1, c);
  VLine(p, r, t, b + 1, c);
}

// A two-pixel edge around a rectangle: raised (light top-left) or sunken (dark top-left).
void Edge(QPainter& p, const QRect& r, bool raised) {
  const QColor outerTL = raised ? Grey(227) : Grey(105), outerBR = raised ? Grey(105) : Grey(255);
  const QColor innerTL = raised ? Grey(255) : Grey(160), innerBR = raised ? Grey(160) : Grey(227);
  const int l = r.left(), t = r.top(), rr = r.right(), b = r.bottom();
  HLine(p, l, rr, t, outerTL), VLine(p, l, t, b, outerTL);
  HLine(p, l, rr + 1, b, outerBR), VLine(p, rr, t, b + 1, outerBR);
  HLine(p, l + 1, rr - 1, t + 1, innerTL), VLine(p, l + 1, t + 1, b - 1, innerTL);
  HLine(p, l + 1, rr, b - 1, innerBR), VLine(p, rr - 1, t + 1, b, innerBR);
}

// The picture with its top-left pixel as the transparent colour.
QImage TopLeftTransparent(const QImage& picture) {
  if (picture.isNull()) return picture;
  return WithTransparentColor(picture, picture.pixel(0, 0));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TKivSimpleButton

TKivSimpleButton::TKivSimpleButton(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover);
  resize(75, 25);
}

void TKivSimpleButton::SetCaption(const QString& caption) {
  if (caption == FCaption) return;
  FCaption = caption;
  update();
}

void TKivSimpleButton::SetIcon(const QImage& icon) {
  FIcon = icon.isNull() ? icon : WithTransparentColor(icon, AutoTransparentColor(icon));
  update();
}

void TKivSimpleButton::LoadIcon(const TResourceModule& skin, const QString& name) {
  try {
    SetIcon(LoadSkinBitmap(skin, name));
  } catch (const ESkinError&) {
    // a missing picture leaves the button without (or with its old) icon
  }
}

void TKivSimpleButton::SetBorderWidth(int rings) {
  FBorderWidth = std::clamp(rings, 0, 3);
  update();
}

void TKivSimpleButton::SetActive(bool active) {
  if (active == FActive) return;
  FActive = active;
  setEnabled(active);
  if (!active) FPressed = FHovered = false;
  update();
}

int TKivSimpleButton::RingHighlight(int i, int n) {
  return ((30 * i - 30 * n - 6) % 256 + 256) % 256;
}

int TKivSimpleButton::RingShade(int i) {
  return 170 - 30 * (i - 1);
}

void TKivSimpleButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int w = width(), h = height(), n = FBorderWidth;
  p.fillRect(rect(), Grey(150));
  const bool live = Live();
  for (int i = 1; i <= n; ++i) {
    const int hl = RingHighlight(i, n);
    Outline(p, i, i, w - 1 - i, h - 1 - i, Grey(RingShade(i)));
    const QColor high = live ? QColor(hl, hl, 255) : Grey(hl);
    HLine(p, i, w - i, i, high);
    VLine(p, i, i, h - i, high);
  }
  const QRect inside(n + 1, n + 1, w - 2 * (n + 1), h - 2 * (n + 1));
  if (live) {
    p.fillRect(inside, FHovered ? QColor(220, 220, 255) : QColor(Qt::white));
    if (FPressed) {
      for (int i = 1; i <= n; ++i) {
        Outline(p, i, i, w - 1 - i, h - 1 - i, Qt::white);
        HLine(p, i, w - i, i, QColor(180, 180, 255));
        VLine(p, i, i, h - i, QColor(180, 180, 255));
      }
      p.fillRect(inside, QColor(220, 220, 255));
    }
    if (hasFocus()) {
      // dotted rectangle just inside the rings: every other pixel
      const int l = n + 1, t = n + 1, r = w - n - 2, b = h - n - 2;
      for (int x = l; x <= r; x += 2) p.fillRect(x, t, 1, 1, Qt::black), p.fillRect(x, b, 1, 1, Qt::black);
      for (int y = t; y <= b; y += 2) p.fillRect(l, y, 1, 1, Qt::black), p.fillRect(r, y, 1, 1, Qt::black);
    }
  } else {
    p.fillRect(inside, Grey(220));
  }

  QFontMetrics fm(font());
  const int iw = FIcon.isNull() ? 0 : FIcon.width(), ih = FIcon.isNull() ? 0 : FIcon.height();
  const int cw = fm.horizontalAdvance(FCaption);
  const int total = iw + cw + 3;
  int dx = 0, dy = 0;
  if (FHovered) dx = dy = FPressed ? 1 : -1;
  const int ix = (w - total) / 2 + dx, iy = (h - ih) / 2 + dy;
  if (!FIcon.isNull()) p.drawImage(ix, iy, live ? FIcon : GreyImage(FIcon));
  p.setFont(font());
  p.setPen(live ? palette().color(QPalette::WindowText) : Grey(128));
  p.drawText(ix + iw + 3 + dx, (h - fm.height()) / 2 + dy + fm.ascent(), FCaption);
}

void TKivSimpleButton::enterEvent(QEnterEvent*) {
  FMouseInside = true;
  FHovered = true;
  update();
}

void TKivSimpleButton::leaveEvent(QEvent*) {
  FMouseInside = false;
  FHovered = false;
  update();
}

void TKivSimpleButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !FActive) return;
  FPressed = true;
  update();
}

void TKivSimpleButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !FPressed) return;
  FPressed = false;
  update();
  if (rect().contains(event->position().toPoint())) Fire();
}

void TKivSimpleButton::keyPressEvent(QKeyEvent* event) {
  if (!Live()) return QWidget::keyPressEvent(event);
  switch (event->key()) {
    case Qt::Key_Space:
      if (!event->isAutoRepeat()) FPressed = true;
      update();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      FEnterDown = FPressed = true;
      // the Enter character itself, as opposed to a bare key-down
      if (event->text() == "\r" || event->text() == "\n") FEnterSeen = true;
      update();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void TKivSimpleButton::keyReleaseEvent(QKeyEvent* event) {
  if (event->isAutoRepeat()) return;
  if (event->key() == Qt::Key_Space) {
    if (!FPressed) return;
    FPressed = false;
    update();
    if (Live()) Fire();
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    const bool both = FEnterDown && FEnterSeen;
    FEnterDown = FEnterSeen = false;
    FPressed = false;
    update();
    if (both && Live()) Fire();
    return;
  }
  QWidget::keyReleaseEvent(event);
}

void TKivSimpleButton::focusInEvent(QFocusEvent* event) {
  if (Live()) FHovered = true;
  update();
  QWidget::focusInEvent(event);
}

void TKivSimpleButton::focusOutEvent(QFocusEvent* event) {
  FHovered = FMouseInside;
  FEnterDown = FEnterSeen = false;
  if (FPressed && !FMouseInside) FPressed = false;
  update();
  QWidget::focusOutEvent(event);
}

void TKivSimpleButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange ||
      event->type() == QEvent::PaletteChange)
    update();
  QWidget::changeEvent(event);
}

void TKivSimpleButton::Fire() {
  if (OnButtonClick) OnButtonClick(this);
}

// ---------------------------------------------------------------------------------------------
// TRoundButton, TRestoreButton

TRoundButton::TRoundButton(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_Hover);
  FBackground = OwnerColor(this);
}

void TRoundButton::SetCaption(const QString& caption) {
  FCaption = caption;
  update();
}

void TRoundButton::SetActive(bool active) {
  FActive = active;
  if (!active) FPressed = false;
  update();
}

void TRoundButton::SetBackground(const QColor& colour) {
  FBackground = colour;
  update();
}

void TRoundButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), FBackground);
  p.setPen(Grey(FHovered ? 40 : 130));
  p.setBrush(palette().color(QPalette::Window));
  p.drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), 1, 1);
  PaintFace(p);
}

void TRoundButton::PaintFace(QPainter& p) {
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(rect(), Qt::AlignCenter, FCaption);
}

void TRoundButton::enterEvent(QEnterEvent*) {
  FHovered = true;
  update();
}

void TRoundButton::leaveEvent(QEvent*) {
  FHovered = false;
  update();
}

void TRoundButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !FActive) return;
  FPressed = true;
  update();
}

void TRoundButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const bool wasPressed = FPressed;
  FPressed = false;
  update();
  if (wasPressed && FActive && rect().contains(event->position().toPoint()) && OnClick) OnClick(this);
}

TRestoreButton::TRestoreButton(QWidget* parent) : TRoundButton(parent) {
  resize(58, 16);
  FCaption = QString::fromUtf8("창보기");
}

void TRestoreButton::PaintFace(QPainter& p) {
  const int w = width(), h = height();
  for (int i = 0; i <= h / 2; ++i) {
    const int v = (((i - h / 2) * 13 - 1) % 256 + 256) % 256;
    const QColor c = FHovered ? QColor(v, v, 255) : Grey(v);
    HLine(p, i == 0 ? 2 : 1, i == 0 ? w - 2 : w - 1, i + 1, c);
  }
  Outline(p, 3, 3, h - 6, h - 6, Qt::black);
  Outline(p, 5, 5, h - 4, h - 4, Qt::black);
  if (!FCaption.isEmpty()) {
    QFontMetrics fm(font());
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(h + 2, (h - fm.height()) / 2 + fm.ascent(), FCaption);
  }
}

// ---------------------------------------------------------------------------------------------
// TKivWindowButton

TKivWindowButton::TKivWindowButton(QWidget* parent, TKind kind) : QWidget(parent), FKind(kind) {
  setAttribute(Qt::WA_Hover);
  resize(16, 16);
}

void TKivWindowButton::SetKind(TKind kind) {
  FKind = kind;
  update();
}

void TKivWindowButton::SetPicture(const QImage& picture) {
  FPicture = picture;
  update();
}

QImage TKivWindowButton::Render() const {
  const int w = width(), h = height();
  QImage img(size(), QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  Outline(p, 0, 0, w - 1, h - 1, Qt::black);
  switch (FKind) {
    case Minimise:
      p.fillRect(3, 5 * (h / 8), w - 6, 7 * (h / 8) - 5 * (h / 8), Qt::black);
      break;
    case CloseCross: {
      const int left = 2, top = 4, right = w - 2, bottom = h - 4;
      p.setPen(Qt::black);
      for (int i = 0; i < 3; ++i) {
        p.drawLine(left + 1 + i, top, right - 2 + i - 1, bottom);
        p.drawLine(right - 1 - i, top, left + 2 - i + 1, bottom);
      }
      break;
    }
    case LetterD: {
      QFont f("Tahoma", 9);
      f.setBold(true);
      p.setFont(f);
      p.setPen(Qt::black);
      p.drawText(QRect(1, 0, w, h), Qt::AlignCenter, "D");
      break;
    }
    case Picture:
      if (!FPicture.isNull()) {
        QImage pic = WithTransparentColor(FPicture, AutoTransparentColor(FPicture));
        p.drawImage((w - pic.width()) / 2, (h - pic.height()) / 2, pic);
      }
      break;
  }
  if (FPressed)
    Edge(p, img.rect(), false);
  else if (FHovered)
    Edge(p, img.rect(), true);
  return img;
}

void TKivWindowButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, Render());
}

void TKivWindowButton::enterEvent(QEnterEvent*) {
  FHovered = true;
  update();
}

void TKivWindowButton::leaveEvent(QEvent*) {
  FHovered = false;
  update();
}

void TKivWindowButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  FPressed = true;
  update();
}

void TKivWindowButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const bool was = FPressed;
  FPressed = false;
  update();
  if (was && rect().contains(event->position().toPoint()) && OnClick) OnClick(this);
}

void TKivWindowButton::keyPressEvent(QKeyEvent* event) {
  if ((event->key() == Qt::Key_Space || event->key() == Qt::Key_Return) && OnClick)
    OnClick(this);
  else
    QWidget::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------------
// TKivMsgButton

TKivMsgButton::TKivMsgButton(QWidget* parent) : QWidget(parent) {}

void TKivMsgButton::SetPicture(const QImage& picture) {
  FPicture = picture;
  update();
}

void TKivMsgButton::SetBackground(const QImage& background) {
  FBackground = background;
  update();
}

QImage TKivMsgButton::Render() const {
  QImage img(size(), QImage::Format_RGB32);
  img.fill(OwnerColor(this));
  QPainter p(&img);
  if (!FBackground.isNull()) p.drawImage(0, 0, FBackground);
  if (!FPicture.isNull()) {
    QImage pic = TopLeftTransparent(FPicture);
    p.drawImage((width() - pic.width()) / 2, (height() - pic.height()) / 2, pic);
  }
  return img;
}

void TKivMsgButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, Render());
}

void TKivMsgButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
    OnClick(this);
}

}  // namespace vantori
