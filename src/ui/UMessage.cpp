#include "ui/UMessage.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>

#include "ui/USkinFrame.h"

namespace vantori {

TfmMessage::TfmMessage(const TResourceModule& skin, const QString& fontName, TLogSink log, QWidget* owner)
    : QDialog(owner, Qt::FramelessWindowHint | Qt::Dialog | Qt::WindowStaysOnTopHint) {
  setWindowTitle(QString::fromUtf8("메세지"));
  setFixedSize(313, 79);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, QColor::fromRgb(kWindowColor));
  setPalette(pal);
  setAutoFillBackground(true);
  QFont bold = UiFont(fontName, 9, true);
  auto label = [&](int y, const QString& text) {
    auto* l = new QLabel(text, this);
    l->setFont(bold);
    l->setAlignment(Qt::AlignCenter);
    l->setStyleSheet("background: transparent;");
    l->setGeometry(16, y, 277, QFontMetrics(bold).height());
    return l;
  };
  FHeader = label(17, QString::fromUtf8("프로그램을 초기화중입니다......"));
  FMessage = label(48, QString::fromUtf8("잠시만 기다려 주시기 바랍니다."));
  try {
    auto* image = new TFrameImage(this);
    image->setGeometry(rect());
    image->SetPicture(RenderSmallFrame(skin, size()));
    image->OnMouseDown = DragWindowHandler();
    image->lower();
  } catch (const std::exception& e) {
    if (log) log("UMessage L67 : " + QString::fromUtf8(e.what()));
  }
  // Centred on the owner's window, or on the screen without one.
  QRect area =
      owner ? owner->window()->frameGeometry()
            : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect());
  if (area.isValid()) move(area.center() - QPoint(width() / 2, height() / 2));
  FTimer.setInterval(kTickMs);
  connect(&FTimer, &QTimer::timeout, this, &TfmMessage::Tick);
}

void TfmMessage::SetHeader(const QString& text) {
  FHeader->setText(text);
}
void TfmMessage::SetMessage(const QString& text) {
  FMessage->setText(text);
}
QString TfmMessage::Header() const {
  return FHeader->text();
}
QString TfmMessage::Message() const {
  return FMessage->text();
}

void TfmMessage::showEvent(QShowEvent* event) {
  FTimer.start();
  QDialog::showEvent(event);
}

void TfmMessage::hideEvent(QHideEvent* event) {
  FTimer.stop();
  QDialog::hideEvent(event);
}

void TfmMessage::Tick() {
  if (FCloseFlag) {
    Finish(QDialog::Accepted);
    return;
  }
  if (++FTicks < kTimeLimitTicks) return;
  FTimer.stop();
  FTimedOut = true;
  const QString text = QString::fromUtf8("서버와의 통신 제한시간을 초과하였습니다.");
  if (TimeLimitNotice)
    TimeLimitNotice(text);
  else
    QMessageBox::warning(nullptr, QString::fromUtf8("Vantori"), text);
  if (OnTimedOut) OnTimedOut();
  Finish(QDialog::Rejected);
}

void TfmMessage::Finish(int result) {
  FTimer.stop();
  done(result);
  hide();
}

}  // namespace vantori
