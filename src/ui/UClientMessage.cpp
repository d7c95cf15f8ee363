#include "ui/UClientMessage.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include "ui/UImageButton.h"
#include "ui/UKivButtons.h"
#include "ui/USkinFrame.h"

namespace vantori {

namespace {

const char* IconName(int kind) {
  switch (kind) {
    case mkError:
      return "ERROR_16";
    case mkQuestion:
      return "QUESTION_16";
    default:
      return "INFORMATION_16";
  }
}

// A transparent label that drags the box when pressed.
class TDragLabel : public QLabel {
 public:
  using QLabel::QLabel;

 protected:
  void mousePressEvent(QMouseEvent* event) override { BeginWindowDrag(this, event); }
};

}  // namespace

QStringList TfmClientMessage::SplitLines(const QString& text) {
  QStringList lines;
  QString line;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (c == '\r' || c == '@' || c == '\n') {
      lines << line;
      line.clear();
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      line += c;
    }
  }
  if (!line.trimmed().isEmpty()) lines << line;
  return lines;
}

TfmClientMessage::TfmClientMessage(const TResourceModule& skin, const QString& fontName, TLogSink log,
                                   QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog),
      FSkin(skin),
      FFontName(fontName),
      FLog(std::move(log)) {
  setAttribute(Qt::WA_DeleteOnClose, false);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor::fromRgb(kMessageBoxColor));
  setPalette(pal);
  setAutoFillBackground(true);
  setFont(UiFont(fontName));
}

void TfmClientMessage::Fail(const std::exception& e) {
  if (FLog) FLog("ClientMessage INITFORM E : " + QString::fromUtf8(e.what()));
}

QWidget* TfmClientMessage::MakeButton(const QString& caption, const QString& icon, int x, int y, int result) {
  auto* button = new TImageButtonNew(this);
  button->Log = FLog;
  button->SetHResource(FSkin);
  button->SetResName("BUTTONSPR");
  button->SetIconResName(icon);
  button->SetCaption(caption);
  QWidget* widget = button;
  if (button->PictureUp().isNull()) {
    // Without the sprite the picture button would be invisible: draw a plain one instead.
    delete button;
    auto* plain = new TKivSimpleButton(this);
    plain->resize(75, 24);
    plain->SetCaption(caption);
    plain->LoadIcon(FSkin, icon);
    plain->OnButtonClick = [this, result](QObject*) { done(result); };
    widget = plain;
  } else {
    button->OnClick = [this, result](QObject*) { done(result); };
  }
  widget->move(x, y);
  widget->show();
  return widget;
}

void TfmClientMessage::SetMessage(const QString& text, int kind) {
  FKind = kind;
  QFont bold = font();
  bold.setBold(true);
  const QFontMetrics fm(bold);

  // 1. title
  FTitle = new TDragLabel(QString::fromUtf8("Vantori 메세지"), this);
  FTitle->setFont(bold);
  FTitle->setStyleSheet("color: black; background: transparent;");
  FTitle->move(24, 26);
  FTitle->adjustSize();
  const int titleBottom = FTitle->y() + FTitle->height();

  // 3. lines
  int top = titleBottom + 30, right = 0;
  for (const QString& line : SplitLines(text)) {
    auto* label = new TDragLabel(line, this);
    label->setFont(bold);
    label->setStyleSheet("background: transparent;");
    label->setTextFormat(Qt::PlainText);
    label->move(73, top);
    label->adjustSize();
    if (line.isEmpty()) label->resize(0, fm.height());
    right = std::max(right, label->x() + (line.isEmpty() ? 0 : label->width()));
    top += label->height() + 5;
    FLines << label;
  }

  // 4. size and 6. position
  const int h = std::max(170, top + 60), w = std::max(270, right + 30);
  resize(w, h);
  if (QScreen* screen = parentWidget() && parentWidget()->screen() ? parentWidget()->screen()
                                                                   : QGuiApplication::primaryScreen()) {
    const QRect s = screen->geometry();
    move(s.x() + (s.width() - w) / 2, s.y() + (s.height() - h) / 2 - 30);
  }

  // 2. close box
  FCloseBox = new TImageButtonNew(this);
  FCloseBox->Log = FLog;
  FCloseBox->SetHResource(FSkin);
  FCloseBox->SetResName("FMCLOSEBTSPR");
  FCloseBox->move(w - 35, 28);
  FCloseBox->OnClick = [this](QObject*) { done(DismissResult(FKind)); };

  // 5. background and icon
  try {
    PaintBitmapFrame(this, FSkin, DragWindowHandler());
  } catch (const std::exception& e) {
    Fail(e);
    SetRoundRegion(this);
  }
  FIcon = new QLabel(this);
  FIcon->setStyleSheet("background: transparent;");
  try {
    QImage icon = LoadSkinBitmap(FSkin, IconName(kind));
    FIcon->setPixmap(QPixmap::fromImage(WithTransparentColor(icon, AutoTransparentColor(icon))));
    FIcon->adjustSize();
  } catch (const std::exception& e) {
    Fail(e);
  }
  FIcon->move(47, titleBottom + 28);

  // 7. buttons
  const int by = h - 50;
  if (kind == mkQuestion) {
    FOk = MakeButton(QString::fromUtf8("확 인"), "CHECK", w - 190, by, mrYes);
    FNo = MakeButton(QString::fromUtf8("아니오"), "CANCEL", FOk->x() + FOk->width() + 10, by, mrNo);
  } else {
    FOk = MakeButton(QString::fromUtf8("확 인"), "CHECK", w - 105, by, mrOk);
  }
  FOk->setFocus();
}

void TfmClientMessage::reject() {
  done(DismissResult(FKind));
}

void TfmClientMessage::closeEvent(QCloseEvent* event) {
  // Closing the window from outside (the window manager) counts as dismissing it.
  if (isVisible() && result() == 0) setResult(DismissResult(FKind));
  QDialog::closeEvent(event);
}

int RunClientMessage(const TResourceModule& skin, const QString& fontName, const TLogSink& log,
                     const QString& text, int kind, QWidget* parent) {
  TfmClientMessage box(skin, fontName, log, parent);
  box.SetMessage(text, kind);
  box.setModal(true);
  return box.exec();
}

int RunPlainMessageBox(const QString& text, int kind, QWidget* parent) {
  QMessageBox box(parent);
  box.setWindowTitle(QString::fromUtf8("Vantori 메세지"));
  box.setText(TfmClientMessage::SplitLines(text).join('\n'));
  box.setIcon(kind == mkError      ? QMessageBox::Critical
              : kind == mkQuestion ? QMessageBox::Question
                                   : QMessageBox::Information);
  QPushButton* ok = box.addButton(QString::fromUtf8("확 인"), QMessageBox::AcceptRole);
  QPushButton* no = nullptr;
  if (kind == mkQuestion) {
    no = box.addButton(QString::fromUtf8("아니오"), QMessageBox::RejectRole);
    box.setEscapeButton(no);
  }
  box.setDefaultButton(ok);
  box.exec();
  if (box.clickedButton() == ok) return TfmClientMessage::OkResult(kind);
  if (no && box.clickedButton() == no) return mrNo;
  return TfmClientMessage::DismissResult(kind);
}

}  // namespace vantori
