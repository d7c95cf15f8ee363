// The client's login dialog: what it sends, what it keeps open, how it ends.

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include "GuiTestUtil.h"
#include "mainwindow/TfmLogin.h"
#include "ui/UUiText.h"

using namespace vantori;

class TestLogin : public QObject {
  Q_OBJECT

 private:
  struct TProbe {
    std::vector<std::pair<std::string, std::string>> Calls;
    std::vector<std::string> Shown;
    TLoginResult Next;
  };

  static TfmUserLogin* Make(TProbe& p) {
    return new TfmUserLogin(
        testutil::Skin(), QString(),
        [&p](const std::string& id, const std::string& pw) {
          p.Calls.emplace_back(id, pw);
          return p.Next;
        },
        [&p](const std::string& text, int) { p.Shown.push_back(text); });
  }

 private slots:
  void layout() {
    TProbe p;
    std::unique_ptr<TfmUserLogin> d(Make(p));
    QCOMPARE(d->TitleLabel()->text(), QString::fromUtf8("사용자 로그인"));
    QCOMPARE(d->UserEdit()->maxLength(), 20);
    QCOMPARE(d->PasswordEdit()->maxLength(), 20);
    QCOMPARE(d->PasswordEdit()->echoMode(), QLineEdit::Password);
    QVERIFY(d->windowFlags() & Qt::FramelessWindowHint);
  }

  void successAccepts() {
    TProbe p;
    p.Next.Status = TLoginResult::lsSuccess;
    p.Next.UserSeq = 5;
    std::unique_ptr<TfmUserLogin> d(Make(p));
    d->UserEdit()->setText(QString::fromUtf8(" 홍길동 "));
    d->PasswordEdit()->setText("pw");
    d->show();
    QTest::mouseClick(d->OkButton(), Qt::LeftButton);
    QCOMPARE(d->result(), int(QDialog::Accepted));
    QCOMPARE(p.Calls.size(), size_t(1));
    QCOMPARE(p.Calls[0].first, ToAnsi(QString::fromUtf8(" 홍길동 ")));  // as typed, in cp949
    QCOMPARE(p.Calls[0].second, std::string("pw"));
    QVERIFY(p.Shown.empty());
  }

  void failuresStayOpenWithAMessage() {
    for (auto status : {TLoginResult::lsRefused, TLoginResult::lsUnreachable}) {
      TProbe p;
      p.Next.Status = status;
      p.Next.Code = 21002;
      std::unique_ptr<TfmUserLogin> d(Make(p));
      d->show();
      d->Confirm();
      QVERIFY(d->isVisible());
      QCOMPARE(d->result(), 0);
      QCOMPARE(p.Shown.size(), size_t(1));
      QCOMPARE(p.Shown[0], p.Next.Text());
    }
  }

  void enterMovesOnAndEscapeCancels() {
    TProbe p;
    std::unique_ptr<TfmUserLogin> d(Make(p));
    d->show();
    QVERIFY(QTest::qWaitForWindowExposed(d.get()));
    d->activateWindow();
    d->UserEdit()->setFocus();
    QTest::keyClick(d->UserEdit(), Qt::Key_Return);
    QVERIFY(d->PasswordEdit()->hasFocus());
    QTest::keyClick(d->PasswordEdit(), Qt::Key_Return);
    QVERIFY(d->OkButton()->hasFocus());
    QVERIFY(p.Calls.empty());  // Enter alone logs nobody in
    QTest::keyClick(d.get(), Qt::Key_Escape);
    QCOMPARE(d->result(), int(QDialog::Rejected));
  }

  void closeButtonsCancel() {
    for (int which = 0; which < 2; ++which) {
      TProbe p;
      std::unique_ptr<TfmUserLogin> d(Make(p));
      d->show();
      QTest::mouseClick(which == 0 ? d->CancelButton() : d->CloseBox(), Qt::LeftButton);
      QCOMPARE(d->result(), int(QDialog::Rejected));
      QVERIFY(p.Calls.empty());
    }
  }
};

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
