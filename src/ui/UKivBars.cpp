#include "ui/UKivBars.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

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

// Text at x, its row at top, clipped to the columns before clipRight; returns its right end.
int TextAt(QPainter& p, int x, int top, int clipRight, const QString& text, const QColor& colour) {
  QFontMetrics fm(p.font());
  p.save();
  p.setClipRect(QRect(x, 0, std::max(0, clipRight - x), 10000));
  p.setPen(colour);
  p.drawText(x, top + fm.ascent(), text);
  p.restore();
  return x + fm.horizontalAdvance(text);
}

}  // namespace

QString FormatSizeText(std::int64_t bytes) {
  if (bytes < 1024) return QString::number(bytes) + QString::fromUtf8(" 바이트");
  if (bytes < 1048576) return QString::number(bytes / 1024.0, 'f', 1) + " KB";
  if (bytes < 1073741824) return QString::number(bytes / 1048576.0, 'f', 2) + " MB";
  return QString::number(bytes / 1073741824.0, 'f', 2) + " GB";
}

// ---------------------------------------------------------------------------------------------
// TKivUpdownBar

TKivUpdownBar::TKivUpdownBar(QWidget* parent) : QWidget(parent) {
  resize(600, 22);
  for (int half = 0; half < 2; ++half) {
    auto* button = new TRestoreButton(this);
    button->OnClick = [this, half](QObject*) {
      const TNotifyEvent& event = half == Downloads ? OnShowDownloads : OnShowUploads;
      if (event) event(this);
    };
    FButtons[half] = button;
  }
}

void TKivUpdownBar::SetState(THalf half, TState state) {
  if (FStates[half] == state) return;
  FStates[half] = state;
  ++FRepaints;
  update();
}

void TKivUpdownBar::SetTexts(THalf half, const TTexts& texts) {
  FTexts[half] = texts;
  ++FRepaints;
  update();
}

void TKivUpdownBar::SetInnerColor(const QColor& colour) {
  FInner = colour;
  update();
}

void TKivUpdownBar::resizeEvent(QResizeEvent*) {
  const int m = width() / 2;
  for (int half = 0; half < 2; ++half) {
    TRestoreButton* b = FButtons[half];
    const int right = half == Downloads ? m - 2 : width() - 2;
    b->move(right - b->width(), (height() - b->height()) / 2);
  }
}

void TKivUpdownBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int h = height(), w = width(), m = w / 2;
  p.fillRect(rect(), OwnerColor(this));
  RoundBox(p, QRect(0, 0, w - 1, h - 1), 5, Grey(171), FInner);
  p.fillRect(m, 0, 2, h, Grey(171));
  p.setFont(font());
  const int row = (h - QFontMetrics(font()).height()) / 2;
  struct {
    int BoxLeft, BoxRight, LabelX, TextX, Clip;
    const char* Label;
  } halves[2] = {{2, 57, 5, 64, m - 19, "다운로드"}, {m + 3, m + 46, m + 7, m + 52, w - 20, "업로드"}};
  for (int half = 0; half < 2; ++half) {
    const auto& g = halves[half];
    RoundBox(p, QRect(g.BoxLeft, 2, g.BoxRight - g.BoxLeft, h - 4), 3, Grey(242), Grey(242));
    TextAt(p, g.LabelX, row, g.BoxRight, QString::fromUtf8(g.Label), Grey(148));
    const QColor text = palette().color(QPalette::WindowText);
    switch (FStates[half]) {
      case Waiting:
        TextAt(p, g.TextX, row, g.Clip, QString::fromUtf8("대 기"), text);
        break;
      case Stopped:
        TextAt(p, g.TextX, row, g.Clip, QString::fromUtf8("중 지"), text);
        break;
      case Finished:
        TextAt(p, g.TextX, row, g.Clip, QString::fromUtf8("완 료"), text);
        break;
      case Running: {
        const TTexts& t = FTexts[half];
        int x = TextAt(p, g.TextX, row, g.Clip, t.Count, Qt::black) + 10;
        x = TextAt(p, x, row, g.Clip, t.Sizes, QColor(0, 100, 0)) + 10;
        x = TextAt(p, x, row, g.Clip, t.Speed, QColor(0, 0, 100)) + 10;
        TextAt(p, x, row, g.Clip, t.Remaining, QColor(100, 0, 0));
        break;
      }
    }
  }
}

void TKivUpdownBar::mousePressEvent(QMouseEvent* event) {
  if (OnMouseDown)
    OnMouseDown(this, event);
  else
    event->ignore();
}

// ---------------------------------------------------------------------------------------------
// TKivStatusBar

TKivStatusBar::TKivStatusBar(QWidget* parent) : QWidget(parent) {
  resize(600, 22);
  FBlink.setInterval(500);
  connect(&FBlink, &QTimer::timeout, this, &TKivStatusBar::ToggleBlink);
}

void TKivStatusBar::SetStatusText(const QString& text) {
  if (text == FText) return;
  FText = text;
  update();
}

void TKivStatusBar::SetNoteMark(bool on) {
  FNoteMark = on;
  FBlinkOn = true;
  if (on)
    FBlink.start();
  else
    FBlink.stop();
  update();
}

void TKivStatusBar::ToggleBlink() {
  FBlinkOn = !FBlinkOn;
  update();
}

void TKivStatusBar::SetNotePicture(const QImage& picture) {
  FNotePicture = picture;
  update();
}

void TKivStatusBar::SetInnerColor(const QColor& colour) {
  FInner = colour;
  update();
}

void TKivStatusBar::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const int w = width(), h = height();
  p.fillRect(rect(), OwnerColor(this));
  RoundBox(p, QRect(0, 0, w - 1, h - 1), 5, Grey(171), FInner);
  p.fillRect(w - 250, 0, 2, h, Grey(171));
  p.fillRect(w - 100, 0, 2, h, Grey(171));
  RoundBox(p, QRect(2, 2, 43, h - 4), 3, Grey(242), Grey(242));
  p.setFont(font());
  const int row = (h - QFontMetrics(font()).height()) / 2;
  TextAt(p, 5, row, 45, QString::fromUtf8("메세지"), Grey(148));
  TextAt(p, 50, row, w - 255, FText, palette().color(QPalette::WindowText));
  if (FNoteMark && FBlinkOn) {
    int pw = 0;
    if (!FNotePicture.isNull()) {
      QImage pic = WithTransparentColor(FNotePicture, AutoTransparentColor(FNotePicture));
      p.drawImage(w - 90, (h - pic.height()) / 2, pic);
      pw = pic.width();
    }
    QFont bold = font();
    bold.setBold(true);
    p.setFont(bold);
    TextAt(p, pw + w - 80, (h - QFontMetrics(bold).height()) / 2, w, QString::fromUtf8("쪽지"), Qt::blue);
  }
}

void TKivStatusBar::mousePressEvent(QMouseEvent* event) {
  if (OnMouseDown)
    OnMouseDown(this, event);
  else
    event->ignore();
}

void TKivStatusBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const int x = event->position().toPoint().x();
  if (FNoteMark && x >= width() - 100 && x < width() && OnNoteClick) OnNoteClick(this);
}

// ---------------------------------------------------------------------------------------------
// TKXGauge

TKXGauge::TKXGauge(QWidget* parent) : QWidget(parent), FFormat(FormatSizeText) {
  resize(200, 20);
}

void TKXGauge::SetMax(std::int64_t max) {
  if (max == FMax) return;
  FMax = max;
  ++FRepaints;
  update();
}

void TKXGauge::SetPosition(std::int64_t position) {
  if (position > FMax) position = FMax;
  if (position == FPosition) return;
  FPosition = position;
  ++FRepaints;
  update();
}

void TKXGauge::SetColors(const QColor& start, const QColor& end) {
  FStart = start;
  FEnd = end;
  update();
}

void TKXGauge::SetBorder(bool border, const QColor& colour) {
  FBorder = border;
  FBorderColor = colour;
  update();
}

void TKXGauge::SetSizeFormatter(std::function<QString(std::int64_t)> formatter) {
  FFormat = formatter ? std::move(formatter) : FormatSizeText;
  update();
}

int TKXGauge::Percent() const {
  if (FMax <= 0) return 0;
  const std::int64_t pos = std::clamp<std::int64_t>(FPosition, 0, FMax);
  int p = static_cast<int>(std::nearbyint(static_cast<double>(pos) / static_cast<double>(FMax) * 100.0));
  if (p >= 100 && pos != FMax) p = 99;
  return p;
}

QString TKXGauge::Text() const {
  const int p = Percent();
  if (FMax == 1) return QString::number(p) + " %";
  const std::int64_t pos = FMax <= 0 ? 0 : std::min(FPosition, FMax);
  return FFormat(pos) + "/" + FFormat(FMax) + "  " + QString::number(p) + "%";
}

int TKXGauge::BarWidth() const {
  if (FMax <= 0 || FPosition <= 0) return 0;
  const std::int64_t pos = std::min(FPosition, FMax);
  int bar =
      static_cast<int>(std::nearbyint(static_cast<double>(pos) / static_cast<double>(FMax) * (width() - 5)));
  if (FBorder) --bar;
  return std::max(0, bar);
}

QImage TKXGauge::Render() const {
  const int w = width(), h = height();
  QImage img(size(), QImage::Format_RGB32);
  img.fill(OwnerColor(this));
  QPainter p(&img);
  static const int shades[6] = {0, 250, 200, 150, 100, 50};
  for (int n = 5; n >= 1; --n) p.fillRect(QRect(QPoint(n, n), QPoint(w + n - 6, h + n - 6)), Grey(shades[n]));
  const int bar = BarWidth();
  for (int col = 1; col <= bar; ++col) {
    auto mix = [&](int s, int e) {
      return static_cast<int>(std::nearbyint(s + (e - s) * static_cast<double>(col - 1) / bar));
    };
    const QColor c(mix(FStart.red(), FEnd.red()), mix(FStart.green(), FEnd.green()),
                   mix(FStart.blue(), FEnd.blue()));
    p.fillRect(col, 1, 1, h - 5, c);
  }
  if (FBorder) {
    p.setPen(FBorderColor);
    p.setBrush(Qt::NoBrush);
    p.drawRect(0, 0, w - 6, h - 5);
  }
  QFont bold = font();
  bold.setPointSize(8);
  bold.setBold(true);
  p.setFont(bold);
  p.setPen(Qt::black);
  p.drawText(QRect(0, 0, w - 5, h - 4), Qt::AlignCenter, Text());
  return img;
}

void TKXGauge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, Render());
}

// ---------------------------------------------------------------------------------------------
// TAniProgress

TAniProgress::TAniProgress(QWidget* parent) : QWidget(parent) {
  resize(160, 12);
}

void TAniProgress::resizeEvent(QResizeEvent*) {
  // the cell count follows the width
  if (FCurrent > std::max(0, CellCount() - 1)) FCurrent = std::max(0, CellCount() - 1);
}

void TAniProgress::Step() {
  // The light bounces between the first and the last cell.
  const int cells = CellCount();
  if (FForward) {
    ++FCurrent;
    if (FCurrent >= cells - 1) FForward = false;
  } else {
    --FCurrent;
    if (FCurrent < 1) FForward = true;
  }
  FCurrent = std::clamp(FCurrent, 0, std::max(0, cells - 1));
  update();
}

void TAniProgress::SetStopped(bool stopped) {
  FStopped = stopped;
  update();
}

void TAniProgress::SetScheme(TScheme scheme) {
  FScheme = scheme;
  update();
}

QRgb TAniProgress::CellColor(int d, TScheme scheme) {
  if (d == 0) return scheme == Green ? qRgb(0, 128, 0) : qRgb(0, 0, 255);
  if (d >= 10) return qRgb(230, 230, 230);
  const int a = 50 + 20 * (d - 1);
  return scheme == Green ? qRgb(a, 128 + 14 * (d - 1), a) : qRgb(a, a, 255);
}

QImage TAniProgress::Render() const {
  const int w = width(), h = height();
  QImage img(size(), QImage::Format_RGB32);
  img.fill(Qt::white);
  QPainter p(&img);
  p.setPen(Grey(128));
  p.setBrush(Qt::NoBrush);
  p.drawRect(0, 0, w - 1, h - 1);
  if (FStopped) return img;
  for (int i = 0, cells = CellCount(); i < cells; ++i) {
    const int left = std::max(1, i * (kCellWidth + kGap));
    const int right = std::min(w - 1, i * (kCellWidth + kGap) + kCellWidth);
    p.fillRect(QRect(left, 1, right - left, h - 2), QColor(CellColor(std::abs(FCurrent - i), FScheme)));
  }
  return img;
}

void TAniProgress::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(0, 0, Render());
}

}  // namespace vantori
