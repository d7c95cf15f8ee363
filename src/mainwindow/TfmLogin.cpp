#include "mainwindow/TfmLogin.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>

#include "settings/UClientConfig.h"
#include "settings/UFunction.h"
#include "ui/UClientMessage.h"
#include "ui/UImageButton.h"
#include "ui/UKivButtons.h"
#include "ui/USkinFrame.h"
#include "ui/UUiText.h"
#include "ui/UZ9Edit.h"

namespace vantori {

namespace {

// Password fields show "*" for every character.
class TStarStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == QStyle::SH_LineEdit_PasswordCharacter) return '*';
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
};

constexpr int kEditLength = 20;

}  // namespace

TfmUserLogin::TfmUserLogin(const TResourceModule& skin, const QString& fontName, TLoginAction login,
                           TShowMessage show, TLogSink log, QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog),
      FSkin(skin),
      FLogin(std::move(login)),
      FShow(std::move(show)),
      FLog(std::move(log)) {
  setModal(true);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
  setAutoFillBackground(true);
  setFont(UiFont(fontName));
  resize(300, 190);

  try {
    PaintBitmapFrame(this, FSkin, DragWindowHandler());
  } catch (const std::exception& e) {
    if (FLog) FLog("UserLogin INITFORM E : " + QString::fromUtf8(e.what()));
    SetRoundRegion(this);
  }

  FTitle = new QLabel(QString::fromUtf8("사용자 로그인"), this);
  QFont bold = font();
  bold.setBold(true);
  FTitle->setFont(bold);
  FTitle->setStyleSheet("color: blue; background: transparent;");
  FTitle->move(24, 24);
  FTitle->adjustSize();
  FTitle->installEventFilter(this);

  auto* close = new TImageButtonNew(this);
  close->Log = FLog;
  close->SetHResource(FSkin);
  close->SetResName("FMCLOSEBTSPR");
  if (close->PictureUp().isNull()) {
    delete close;
    auto* plain = new TKivSimpleButton(this);
    plain->resize(18, 18);
    plain->SetCaption("x");
    plain->OnButtonClick = [this](QObject*) { reject(); };
    FCloseBox = plain;
  } else {
    close->OnClick = [this](QObject*) { reject(); };
    FCloseBox = close;
  }
  FCloseBox->move(width() - 35, 24);

  auto label = [this](const char* text, int y) {
    auto* l = new QLabel(QString::fromUtf8(text), this);
    l->setStyleSheet("background: transparent;");
    l->move(36, y + 3);
    l->adjustSize();
  };
  label("사용자 아이디", 64);
  label("패스워드", 94);

  auto edit = [this](int y) {
    auto* e = new TZ9Edit(this);
    e->setMaxLength(kEditLength);
    e->setGeometry(130, y, 130, 21);
    e->installEventFilter(this);
    return e;
  };
  FUser = edit(64);
  FPassword = edit(94);
  auto* stars = new TStarStyle;
  stars->setParent(FPassword);
  FPassword->setStyle(stars);
  FPassword->setEchoMode(QLineEdit::Password);

  FOk = MakeButton(QString::fromUtf8("확 인"), "CHECK", 66, 140);
  FCancel = MakeButton(QString::fromUtf8("닫 기"), "CANCEL", 156, 140);
  setTabOrder(FUser, FPassword);
  setTabOrder(FPassword, FOk);
  setTabOrder(FOk, FCancel);
  FUser->setFocus();
}

QWidget* TfmUserLogin::MakeButton(const QString& caption, const QString& icon, int x, int y) {
  const bool ok = icon == "CHECK";
  auto* button = new TImageButtonNew(this);
  button->Log = FLog;
  button->SetHResource(FSkin);
  button->SetResName("BUTTONSPR");
  button->SetIconResName(icon);
  button->SetCaption(caption);
  QWidget* widget = button;
  auto action = [this, ok](QObject*) {
    if (ok)
      Confirm();
    else
      reject();
  };
  if (button->PictureUp().isNull()) {
    delete button;
    auto* plain = new TKivSimpleButton(this);
    plain->resize(75, 24);
    plain->SetCaption(caption);
    plain->LoadIcon(FSkin, icon);
    plain->OnButtonClick = action;
    widget = plain;
  } else {
    button->OnClick = action;
  }
  widget->setFocusPolicy(Qt::StrongFocus);
  widget->move(x, y);
  return widget;
}

void TfmUserLogin::Confirm() {
  FResult = TLoginResult();
  if (!FLogin) return;
  FResult = FLogin(ToAnsi(FUser->text()), ToAnsi(FPassword->text()));
  if (FResult.Ok()) {
    accept();
    return;
  }
  // A refusal shows the server's text; an unreachable server says so too, rather than
  // leaving the user in front of a dialog that silently did nothing.
  if (FShow) FShow(FResult.Text(), mkError);
}

bool TfmUserLogin::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FTitle && event->type() == QEvent::MouseButtonPress) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (mouse->button() == Qt::LeftButton) BeginWindowDrag(this, mouse);
    return true;
  }
  if ((watched == FUser || watched == FPassword) && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      (watched == FUser ? static_cast<QWidget*>(FPassword) : FOk)->setFocus();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

TfmUserLogin::TLoginAction ClientLoginAction(TClientConfig& config, TLog* log) {
  return [&config, log](const std::string& userID, const std::string& password) {
    TLoginManager manager(log);
    manager.SetServer(ResolveHost(config.LoginServerAddress()), config.BasePort());
    TLoginResult result = manager.Login(userID, password);
    if (result.Ok()) ApplyLogin(config, result, userID, password);
    return result;
  };
}

}  // namespace vantori
