#include "ui/UImageButton.h"

#include <QBitmap>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace vantori {

std::array<QImage, 4> SliceSprite(const QImage& sprite) {
  std::array<QImage, 4> frames;
  const int fw = sprite.width() / 4, h = sprite.height();
  if (fw <= 0 || h <= 0) return frames;
  for (int i = 0; i < 3; ++i) frames[i] = sprite.copy(i * fw, 0, fw, h);
  frames[3] = sprite.copy(3 * fw, 0, (sprite.width() / 4) * 4 - 3 * fw, h);
  return frames;
}

namespace {

void Note(const TLogSink& log, const QString& where, const std::exception& e) {
  if (log) log(where + " : " + QString::fromStdString(e.what()));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TImageButtonNew

TImageButtonNew::TImageButtonNew(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_Hover);
  resize(75, 24);
}

void TImageButtonNew::SetResName(const QString& name) {
  FResName = name;
  try {
    LoadSprite(LoadSkinBitmap(FHResource, name));
  } catch (const std::exception& e) {
    Note(Log, "TImageButtonNew " + name, e);
  }
}

void TImageButtonNew::SetSprImgFileName(const QString& fileName) {
  FSprImgFileName = fileName;
  try {
    LoadSprite(LoadBitmapFile(fileName));
  } catch (const std::exception& e) {
    Note(Log, "TImageButtonNew " + fileName, e);
  }
}

void TImageButtonNew::LoadSprite(const QImage& sprite) {
  std::array<QImage, 4> frames = SliceSprite(sprite);
  if (frames[0].isNull()) throw ESkinError("sprite too small");
  FPictures = frames;
  resize(frames[0].size());
  ShowFace(FEnabled ? 0 : 1);
}

void TImageButtonNew::SetIconResName(const QString& name) {
  FIconResName = name;
  try {
    QImage icon = LoadSkinBitmap(FHResource, name);
    QImage clear = WithTransparentColor(icon, AutoTransparentColor(icon));
    FIcon = clear;
    FGreyIcon = GreyImage(clear);
    Redraw();
  } catch (const std::exception& e) {
    Note(Log, "TImageButtonNew icon " + name, e);
  }
}

void TImageButtonNew::SetCaption(const QString& caption) {
  if (caption == FCaption) return;
  FCaption = caption;
  ShowFace(FEnabled ? (FFacePicture == 1 ? 0 : FFacePicture) : 1);
}

void TImageButtonNew::SetEnabled(bool enabled) {
  if (FEnabledApplied && enabled == FEnabled) return;
  FEnabledApplied = true;
  FEnabled = enabled;
  QWidget::setEnabled(enabled);
  FState = enabled ? Up : Neutral;
  ShowFace(enabled ? 0 : 1);
}

void TImageButtonNew::ShowFace(int picture) {
  FFacePicture = picture;
  Redraw();
}

void TImageButtonNew::Redraw() {
  try {
    const QImage& picture = FPictures[FFacePicture];
    if (picture.isNull()) {
      FFace = QImage();
      update();
      return;
    }
    QImage face = WithTransparentColor(picture, AutoTransparentColor(picture));
    QPainter p(&face);
    int dx = 0, dy = 0;
    if (FState == Over) dx = dy = -1;
    if (FState == Down) dx = dy = 2;
    const int w = face.width(), h = face.height();
    if (!FIconResName.isEmpty() && !FIcon.isNull()) {
      QFontMetrics fm(font());
      const int cw = FCaption.isEmpty() ? 0 : fm.horizontalAdvance(FCaption);
      const int total = FIcon.width() + 3 + cw;
      const int ix = (w - total) / 2 - 3 + dx, iy = (h - FIcon.height()) / 2 + dy;
      p.drawImage(ix, iy, FEnabled ? FIcon : FGreyIcon);
      if (!FCaption.isEmpty()) {
        p.setFont(font());
        p.setPen(QColor(82, 82, 82));
        const int tx = ix + FIcon.width() + 3 + dx, ty = (h - fm.height()) / 2 + 1 + dy;
        p.drawText(tx, ty + fm.ascent(), FCaption);
      }
    } else if (!FCaption.isEmpty()) {
      QFont bold = font();
      bold.setBold(true);
      QFontMetrics fm(bold);
      p.setFont(bold);
      p.setPen(QColor(82, 82, 82));
      const int tx = (w - fm.horizontalAdvance(FCaption)) / 2 + dx;
      const int ty = (h - fm.height()) / 2 + 1 + dy;
      p.drawText(tx, ty + fm.ascent(), FCaption);
    }
    p.end();
    FFace = face;
  } catch (const std::exception& e) {
    Note(Log, "TImageButtonNew redraw", e);
  }
  update();
}

void TImageButtonNew::paintEvent(QPaintEvent*) {
  if (FFace.isNull()) return;
  QPainter p(this);
  p.drawImage(0, 0, FFace);
}

void TImageButtonNew::enterEvent(QEnterEvent*) {
  FMouseOver = true;
  if (FEnabled && FState != Over) {
    FState = Over;
    ShowFace(2);
    if (OnMouseEnter) OnMouseEnter(this);
  }
}

void TImageButtonNew::leaveEvent(QEvent*) {
  FMouseOver = false;
  if (FEnabled && FState != Up) {
    FState = Up;
    ShowFace(0);
    if (OnMouseLeave) OnMouseLeave(this);
  }
}

void TImageButtonNew::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  if (FEnabled && FState != Down) {
    FState = Down;
    ShowFace(3);
  }
}

void TImageButtonNew::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  const bool inside = rect().contains(event->position().toPoint());
  if (FEnabled && FState != Neutral) {
    FState = Neutral;
    if (FMouseOver) ShowFace(2);
  }
  if (FEnabled && inside && OnClick) OnClick(this);
}

void TImageButtonNew::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) Redraw();
  QWidget::changeEvent(event);
}

// ---------------------------------------------------------------------------------------------
// TImageTabButton

TImageTabButton::TImageTabButton(QWidget* parent) : QWidget(parent) {
  resize(35, 35);
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_Hover);
}

void TImageTabButton::SetResName(const QString& name) {
  FResName = name;
  try {
    LoadSprite(LoadSkinBitmap(FHResource, name));
  } catch (const std::exception& e) {
    Note(Log, "TImageTabButton " + name, e);
  }
}

void TImageTabButton::SetSprImgFileName(const QString& fileName) {
  FSprImgFileName = fileName;
  try {
    LoadSprite(LoadBitmapFile(fileName));
  } catch (const std::exception& e) {
    Note(Log, "TImageTabButton " + fileName, e);
  }
}

void TImageTabButton::LoadSprite(const QImage& sprite) {
  std::array<QImage, 4> frames = SliceSprite(sprite);
  if (frames[0].isNull()) throw ESkinError("sprite too small");
  FImg = sprite;
  FNone = frames[0];
  FOver = frames[2];
  FDown = frames[3];
  if (FMode == Automatic) FTransparentColor = AutoTransparentColor(FNone);
  Refresh();
}

void TImageTabButton::SetTxt(const QString& text) {
  FTxt = text;
  Refresh();
}
void TImageTabButton::SetTxtCol(const QColor& colour) {
  FTxtCol = colour;
  update();
}
void TImageTabButton::SetTxtSize(int size) {
  FTxtSize = size;
  update();
}
void TImageTabButton::SetLeftTxt(int x) {
  FLeftTxt = x;
  update();
}
void TImageTabButton::SetTopTxt(int y) {
  FTopTxt = y;
  update();
}

void TImageTabButton::SetTransparentMode(TTransparentMode mode) {
  FMode = mode;
  if (mode == Automatic && !FNone.isNull()) FTransparentColor = AutoTransparentColor(FNone);
  Refresh();
}

void TImageTabButton::SetTransparentColor(QRgb colour) {
  FMode = Fixed;
  FTransparentColor = colour | 0xFF000000u;
  Refresh();
}

void TImageTabButton::SetClicked(bool clicked) {
  FClicked = clicked;
  if (!clicked) FVisual = Normal;
  UpdateRegion(Face());
  update();
}

void TImageTabButton::Refresh() {
  FRegionState = -1;
  UpdateRegion(Face());
  update();
}

void TImageTabButton::SetEnabled(bool enabled) {
  QWidget::setEnabled(enabled);
  update();
}

void TImageTabButton::SetTabStop(bool tabStop) {
  FTabStop = tabStop;
  setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
  update();
}

void TImageTabButton::SetDisabledBitmap(const QImage& image) {
  FDisabled = image;
  update();
}
void TImageTabButton::SetFocusedBitmap(const QImage& image) {
  FFocusedBmp = image;
  update();
}

QImage TImageTabButton::Face() const {
  QImage face(size(), QImage::Format_RGB32);
  face.fill(FTransparentColor);
  QPainter p(&face);
  if (!FNone.isNull()) p.drawImage(0, 0, FNone);
  if (FVisual == Over && !FOver.isNull()) p.drawImage(0, 0, FOver);
  if (FVisual == Down && !FDown.isNull()) p.drawImage(0, 0, FDown);
  if (FClicked && FTabStop && !FDown.isNull()) p.drawImage(0, 0, FDown);
  if (!isEnabled() && !FDisabled.isNull())
    p.drawImage(0, 0, WithTransparentColor(FDisabled, FTransparentColor));
  if (FFocused && !FFocusedBmp.isNull())
    p.drawImage(0, 0, WithTransparentColor(FFocusedBmp, FTransparentColor));
  if (!FTxt.isEmpty()) {
    QFont textFont(font().family(), FTxtSize);
    textFont.setBold(false);
    QFontMetrics measure(font());
    int x = FLeftTxt, y = FTopTxt;
    if (FLeftTxt == 0) x = (width() - QFontMetrics(textFont).horizontalAdvance(FTxt)) / 2;
    if (FTopTxt == 0) y = (height() - measure.height()) / 2 + 1;
    if (!FTabStop && FVisual == Down) x += 1, y += 1;
    p.setFont(textFont);
    p.setPen(FTxtCol);
    p.drawText(x, y + QFontMetrics(textFont).ascent(), FTxt);
  }
  return face;
}

void TImageTabButton::UpdateRegion(const QImage& face) {
  if (FNone.isNull()) {
    clearMask();  // nothing loaded yet: no shape to cut
    return;
  }
  if (FRegionState == FVisual && FRegionSize == size()) return;
  FRegionState = FVisual;
  FRegionSize = size();
  // the union of the pixels that are not the transparent colour, row by row
  const QRgb key = FTransparentColor | 0xFF000000u;
  QRegion region;
  for (int y = 0; y < face.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(face.constScanLine(y));
    for (int x = 0; x < face.width();) {
      while (x < face.width() && (line[x] | 0xFF000000u) == key) ++x;
      const int start = x;
      while (x < face.width() && (line[x] | 0xFF000000u) != key) ++x;
      if (x > start) region += QRect(start, y, x - start, 1);
    }
  }
  setMask(region);
}

void TImageTabButton::paintEvent(QPaintEvent*) {
  QImage face;
  try {
    face = Face();
    UpdateRegion(face);
  } catch (const std::exception& e) {
    Note(Log, "TImageTabButton redraw", e);
    return;
  }
  QPainter p(this);
  p.drawImage(0, 0, WithTransparentColor(face, FTransparentColor));
}

void TImageTabButton::resizeEvent(QResizeEvent* event) {
  FRegionState = -1;
  // Build the shape at once so that clicks on transparent pixels fall through before the first paint.
  UpdateRegion(Face());
  QWidget::resizeEvent(event);
}

void TImageTabButton::enterEvent(QEnterEvent*) {
  FMouseOver = true;
  FVisual = Over;
  UpdateRegion(Face());
  update();
  if (OnMouseEnter) OnMouseEnter(this);
}

void TImageTabButton::leaveEvent(QEvent*) {
  FMouseOver = false;
  FVisual = Normal;
  UpdateRegion(Face());
  update();
  if (OnMouseLeave) OnMouseLeave(this);
}

void TImageTabButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mousePressEvent(event);
  FVisual = Down;
  UpdateRegion(Face());
  update();
}

void TImageTabButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(event);
  const bool inside = rect().contains(event->position().toPoint());
  FMouseOver = inside;
  FVisual = inside ? Over : Normal;
  if (inside && !FClicked) FClicked = true;
  if (inside)
    Click();
  else
    update();
}

void TImageTabButton::Click() {
  FVisual = Over;
  setFocus(Qt::MouseFocusReason);
  update();
  if (OnClick) OnClick(this);
}

void TImageTabButton::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
    FVisual = Down;
    update();
    return;
  }
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    Click();
    return;
  }
  QWidget::keyPressEvent(event);
}

void TImageTabButton::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
    Click();
    return;
  }
  QWidget::keyReleaseEvent(event);
}

void TImageTabButton::focusInEvent(QFocusEvent* event) {
  FFocused = true;
  update();
  QWidget::focusInEvent(event);
}

void TImageTabButton::focusOutEvent(QFocusEvent* event) {
  FFocused = false;
  update();
  QWidget::focusOutEvent(event);
}

void TImageTabButton::changeEvent(QEvent* event) {
  if (event->type() == QEvent::EnabledChange || event->type() == QEvent::FontChange) update();
  QWidget::changeEvent(event);
}

}  // namespace vantori
