#include "ui/UKivLabels.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/UKivButtons.h"

namespace vantori {

namespace {

QColor Grey(int v) {
  return QColor(v, v, v);
}

void RoundBox(QPainter& p, const QRect& r, int corner, const QColor& pen, const QColor& brush) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(pen);
  p.setBrush(brush);
  p.drawRoundedRect(r, corner / 2.0, corner / 2.0);
  p.restore();
}

void FillRoundBox(QPainter& p, const QRect& r, int corner, const QColor& colour) {
  RoundBox(p, r, corner, colour, colour);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TKivLabel

TKivLabel::TKivLabel(QWidget* parent) : QWidget(parent) {
  resize(100, 21);
}

void TKivLabel::SetText(const QString& text) {
  if (text == FText) return;
  FText = text;
  update();
}
void TKivLabel::SetAlignment(TAlign align) {
  FAlign = align;
  update();
}
void TKivLabel::SetIndent(int indent) {
  FIndent = indent;
  update();
}
void TKivLabel::SetFramed(bool framed) {
  FFramed = framed;
  update();
}
void TKivLabel::SetBackground(const QImage& background) {
  FBackground = background.copy();
  update();
}

void TKivLabel::FitToText() {
  QFontMetrics fm(font());
  resize(fm.horizontalAdvance(FText) + 4, fm.height() + 2);
}

QImage TKivLabel::Render() const {
  QImage img(size(), QImage::Format_RGB32);
  img.fill(OwnerColor(this));
  QPainter p(&img);
  if (!FBackground.isNull()) p.drawImage(0, 0, FBackground);
  if (FFramed) {
    RoundBox(p, QRect(0, 0, width() - 1, height() - 1), 3, Grey(171), OwnerColor(this));
    FillRoundBox(p, QRect(2, 2, width() - 4, height() - 4), 3, Grey(242));
  }
  QFontMetrics fm(font());
  const int tw = fm.horizontalAdvance(FText);
  int x = (width() - tw) / 2;
  if (FAlign == Left) x = FIndent;
  if (FAlign == Right) x = width() - tw - 2;
  p.setFont(font());
  p.setPen(palette().color(QPalette::WindowText));
  p.drawText(x, (height() - fm.height()) / 2 + fm.ascent(), FText);
  return img;
}

void TKivLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, Render());
}

void TKivLabel::mousePressEvent(QMouseEvent* event) {
  if (OnMouseDown)
    OnMouseDown(this, event);
  else
    event->ignore();
}

void TKivLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
    OnClick(this);
}

// ---------------------------------------------------------------------------------------------
// TMaxMessage

TMaxMessage::TMaxMessage(QWidget* parent) : QWidget(parent) {
  resize(150, 21);
}

void TMaxMessage::SetCaption(const QString& caption) {
  FCaption = caption;
  update();
}

void TMaxMessage::SetValue(const QString& value) {
  if (value == FValue) return;
  FValue = value;
  ++FRepaints;
  update();
}

QImage TMaxMessage::Render() const {
  QImage img(size(), QImage::Format_RGB32);
  img.fill(OwnerColor(this));
  QPainter p(&img);
  QFontMetrics fm(font());
  const int cw = fm.horizontalAdvance(FCaption);
  RoundBox(p, QRect(0, 0, width() - 1, height() - 1), 5, Grey(171), Qt::white);
  FillRoundBox(p, QRect(2, 2, cw + 8, height() - 4), 3, Grey(242));
  const int y = (height() - fm.height()) / 2 + fm.ascent();
  p.setFont(font());
  p.setPen(Grey(148));
  p.drawText(6, y, FCaption);
  p.setPen(Qt::black);
  p.drawText(cw + 12, y, FValue);
  return img;
}

void TMaxMessage::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, Render());
}

void TMaxMessage::mousePressEvent(QMouseEvent* event) {
  if (OnMouseDown)
    OnMouseDown(this, event);
  else
    event->ignore();
}

void TMaxMessage::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
    OnClick(this);
}

// ---------------------------------------------------------------------------------------------
// TKivToggle

TKivToggle::TKivToggle(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_Hover);
  setFocusPolicy(Qt::StrongFocus);
  resize(13, 13);
}

void TKivToggle::SetEnabled(bool enabled) {
  FEnabled = enabled;
  update();
}

void TKivToggle::SetBackground(const QImage& background) {
  FBackground = background.copy();
  update();
}

QImage TKivToggle::Base() const {
  QImage img(size(), QImage::Format_RGB32);
  img.fill(palette().color(QPalette::Window));
  if (!FBackground.isNull()) {
    QPainter p(&img);
    p.drawImage(0, 0, FBackground);
  }
  return img;
}

void TKivToggle::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, Render());
}

void TKivToggle::enterEvent(QEnterEvent*) {
  FHovered = true;
}

void TKivToggle::leaveEvent(QEvent*) {
  FHovered = false;
}

void TKivToggle::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  // The press may come without an enter notification (a click right after showing).
  if (rect().contains(event->position().toPoint())) FHovered = true;
  if (FHovered && FEnabled) {
    Toggle();
    if (OnClick) OnClick(this);
  }
}

void TKivToggle::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && FEnabled) {
    Toggle();
    if (OnClick) OnClick(this);
    return;
  }
  QWidget::keyPressEvent(event);
}

// ---------------------------------------------------------------------------------------------
// TKivCheckBox

TKivCheckBox::TKivCheckBox(QWidget* parent) : TKivToggle(parent) {}

void TKivCheckBox::SetChecked(bool checked) {
  if (checked == FChecked) return;
  FChecked = checked;
  update();
  if (OnChange) OnChange(this);
}

QImage TKivCheckBox::Render() const {
  QImage img = Base();
  QPainter p(&img);
  const int w = width(), h = height();
  p.setPen(FEnabled ? QColor(Qt::black) : Grey(100));
  p.setBrush(FEnabled ? QColor(Qt::white) : Grey(200));
  p.drawRect(0, 0, w - 1, h - 1);
  if (FChecked) {
    p.setPen(FEnabled ? QColor(Qt::black) : Grey(128));
    const int c = (w - 3) / 3;
    for (int i = 0; i < 3; ++i) {
      QPoint a(2, h - c - i - 4), b(c + 2, h - i - 4), e(w - 2, c - i);
      p.drawLine(a, b);
      p.drawLine(b, e);
    }
  }
  return img;
}

// ---------------------------------------------------------------------------------------------
// TMaxRadioButton

TMaxRadioButton::TMaxRadioButton(QWidget* parent) : TKivToggle(parent) {
  // Drawn stand-ins until the skin pictures are loaded.
  QImage on(13, 13, QImage::Format_RGB32), off(13, 13, QImage::Format_RGB32);
  for (QImage* img : {&on, &off}) {
    img->fill(qRgb(255, 0, 255));
    QPainter p(img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Grey(120));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(0.5, 0.5, 12, 12));
    if (img == &on) {
      p.setPen(Qt::NoPen);
      p.setBrush(QColor(40, 80, 160));
      p.drawEllipse(QRectF(3.5, 3.5, 6, 6));
    }
  }
  FCheckedPic = on;
  FUncheckedPic = off;
  setFocusPolicy(Qt::ClickFocus);
}

void TMaxRadioButton::LoadPictures(const TResourceModule& skin) {
  try {
    QImage on = LoadSkinBitmap(skin, "RADIOCHECK");
    QImage off = LoadSkinBitmap(skin, "RADIOUNCHECK");
    SetPictures(on, off);
  } catch (const ESkinError&) {
    // keep the drawn pictures
  }
}

void TMaxRadioButton::SetPictures(const QImage& checked, const QImage& unchecked) {
  FCheckedPic = checked;
  FUncheckedPic = unchecked;
  update();
}

void TMaxRadioButton::SetChecked(bool checked) {
  if (checked == FChecked) return;
  FChecked = checked;
  setFocusPolicy(checked ? Qt::StrongFocus : Qt::ClickFocus);
  if (checked && parentWidget()) {
    for (QObject* child : parentWidget()->children())
      if (auto* other = qobject_cast<TMaxRadioButton*>(child); other && other != this)
        other->SetChecked(false);
  }
  if (OnChange) OnChange(this);
  update();
}

QImage TMaxRadioButton::Render() const {
  QImage img = Base();
  const QImage& pic = FChecked ? FCheckedPic : FUncheckedPic;
  if (!pic.isNull()) {
    QPainter p(&img);
    p.drawImage(0, 0, WithTransparentColor(pic, pic.pixel(0, 0)));
  }
  return img;
}

// ---------------------------------------------------------------------------------------------
// TMaxLogoImage

TMaxLogoImage::TMaxLogoImage(QWidget* parent) : QWidget(parent) {
  resize(32, 32);
}

void TMaxLogoImage::SetLogo(const QImage& logo) {
  FLogo = logo;
  update();
}

void TMaxLogoImage::LoadLogo(const TResourceModule& skin, const QString& name) {
  try {
    SetLogo(LoadSkinBitmap(skin, name));
  } catch (const ESkinError&) {
    // no logo
  }
}

void TMaxLogoImage::SetBackground(const QImage& background) {
  FBackground = background.copy();
  update();
}

QImage TMaxLogoImage::Render() const {
  QImage img(size(), QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  if (!FBackground.isNull()) p.drawImage(0, 0, FBackground);
  if (!FLogo.isNull()) {
    QImage logo = WithTransparentColor(FLogo, FLogo.pixel(0, 0));
    p.drawImage((width() - logo.width()) / 2, (height() - logo.height()) / 2, logo);
  }
  return img;
}

void TMaxLogoImage::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, Render());
}

void TMaxLogoImage::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && OnClick)
    OnClick(this);
}

}  // namespace vantori
