// The skinned message box, the plain box without a skin, the message handler across threads
// and the please-wait window.

#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <thread>

#include "GuiTestUtil.h"
#include "ui/UClientMessage.h"
#include "ui/UImageButton.h"
#include "ui/UMessage.h"
#include "ui/UMsgHandler.h"
#include "ui/UQtDispatcher.h"

using namespace vantori;

namespace {

enum TAnswer { PressOk, PressNo, PressCloseBox, PressEsc };

void Answer(QWidget* modal, TAnswer answer) {
  auto* box = qobject_cast<TfmClientMessage*>(modal);
  QVERIFY(box);
  switch (answer) {
    case PressOk:
      QTest::mouseClick(box->OkButton(), Qt::LeftButton);
      break;
    case PressNo:
      QTest::mouseClick(box->NoButton(), Qt::LeftButton);
      break;
    case PressCloseBox:
      QTest::mouseClick(box->CloseBox(), Qt::LeftButton);
      break;
    case PressEsc:
      QTest::keyClick(box, Qt::Key_Escape);
      break;
  }
}

}  // namespace

class TestMessageBox : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    InitUiKit();
    FSkin = testutil::Skin();
    QVERIFY(!FSkin.IsEmpty());
  }

  void splitLines_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("at sign") << "one@two" << QStringList{"one", "two"};
    QTest::newRow("two returns") << "one\r\rtwo" << QStringList{"one", "", "two"};
    QTest::newRow("return at the end") << "one\r" << QStringList{"one"};
    QTest::newRow("blank tail") << "one\r   " << QStringList{"one"};
    QTest::newRow("cr lf") << "one\r\ntwo" << QStringList{"one", "two"};
    QTest::newRow("empty") << "" << QStringList{};
  }
  void splitLines() {
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(TfmClientMessage::SplitLines(text), lines);
  }

  void layout() {
    TfmClientMessage one(FSkin, QString::fromUtf8("굴림"));
    one.SetMessage("Word", mkInformation);
    QCOMPARE(one.size(), QSize(270, 170));
    QCOMPARE(one.OkButton()->pos(), QPoint(270 - 105, 170 - 50));
    QVERIFY(!one.NoButton());
    QCOMPARE(one.CloseBox()->pos(), QPoint(270 - 35, 28));
    QCOMPARE(one.mask(), QRegion(one.mask()));
    QVERIFY(!one.mask().contains(QPoint(0, 0)));

    TfmClientMessage q(FSkin, QString::fromUtf8("굴림"));
    q.SetMessage(QString::fromUtf8("a\r\rb"), mkQuestion);
    QCOMPARE(q.LineLabels().size(), 3);
    const auto& l = q.LineLabels();
    QCOMPARE(l[0]->x(), 73);
    QCOMPARE(l[0]->y(), q.TitleLabel()->y() + q.TitleLabel()->height() + 30);
    QCOMPARE(l[1]->y(), l[0]->y() + l[0]->height() + 5);
    QCOMPARE(l[1]->height(), l[0]->height());  // an empty line keeps one line height
    QCOMPARE(q.OkButton()->x(), q.width() - 190);
    QCOMPARE(q.NoButton()->x(), q.OkButton()->x() + q.OkButton()->width() + 10);

    TfmClientMessage wide(FSkin, QString::fromUtf8("굴림"));
    const QString longLine(60, QChar('W'));
    wide.SetMessage(longLine, mkError);
    QCOMPARE(wide.width(), wide.LineLabels()[0]->x() + wide.LineLabels()[0]->width() + 30);
  }

  void results_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("result");
    QTest::newRow("error ok") << int(mkError) << int(PressOk) << mrOk;
    QTest::newRow("information ok") << int(mkInformation) << int(PressOk) << mrOk;
    QTest::newRow("information close box") << int(mkInformation) << int(PressCloseBox) << mrCancel;
    QTest::newRow("information esc") << int(mkInformation) << int(PressEsc) << mrCancel;
    QTest::newRow("question ok") << int(mkQuestion) << int(PressOk) << mrYes;
    QTest::newRow("question no") << int(mkQuestion) << int(PressNo) << mrNo;
    // a dismissed question is a "no", never a "yes" for callers that only test for 7
    QTest::newRow("question close box") << int(mkQuestion) << int(PressCloseBox) << mrNo;
    QTest::newRow("question esc") << int(mkQuestion) << int(PressEsc) << mrNo;
  }
  void results() {
    QFETCH(int, kind);
    QFETCH(int, answer);
    QFETCH(int, result);
    testutil::WhenModal([answer](QWidget* modal) { Answer(modal, TAnswer(answer)); });
    QCOMPARE(RunClientMessage(FSkin, QString::fromUtf8("굴림"), {}, "Text", kind), result);
  }

  void brokenSkinStillAnswers() {
    // a skin folder without the pictures: the box is still built, logged, and answerable
    QTemporaryDir empty;
    const TResourceModule bare = TResourceModule::FromDirectory("vtri", empty.path());
    QStringList log;
    testutil::WhenModal([](QWidget* modal) { Answer(modal, PressNo); });
    const int r = RunClientMessage(
        bare, "", [&](const QString& l) { log << l; }, "Delete?", mkQuestion);
    QCOMPARE(r, mrNo);
    QVERIFY(!log.isEmpty());
    QVERIFY(std::any_of(log.begin(), log.end(),
                        [](const QString& l) { return l.startsWith("ClientMessage INITFORM E : "); }));
  }

  void workerThreadGetsTheAnswer() {
    TMessageHandler handler(FSkin, {}, QString::fromUtf8("굴림"));
    std::atomic<int> result{-1};
    std::thread::id answeredOn;
    bool ranOnUi = false;
    testutil::WhenModal([&](QWidget* modal) {
      ranOnUi = modal->thread() == qApp->thread() && QThread::currentThread() == qApp->thread();
      Answer(modal, PressNo);
    });
    QEventLoop loop;
    std::thread worker([&] {
      result = handler.ShowMessageBox(std::string_view("\xC1\xF6\xBF\xEF\xB1\xEE\xBF\xE4?"), mkQuestion);
      answeredOn = std::this_thread::get_id();
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    const std::thread::id workerId = worker.get_id();
    loop.exec();
    worker.join();
    QCOMPARE(result.load(), mrNo);
    QCOMPARE(answeredOn, workerId);
    QVERIFY(ranOnUi);
  }

  void noSkinShowsAPlainBox() {
    TMessageHandler handler(TResourceModule(), {}, "");
    bool shown = false;
    testutil::WhenModal([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      QVERIFY(box);
      shown = true;
      for (QAbstractButton* b : box->buttons())
        if (b->text() == QString::fromUtf8("확 인")) b->click();
    });
    QCOMPARE(handler.ShowMessageBox(QString("Delete?"), mkQuestion), mrYes);
    QVERIFY(shown);
    testutil::WhenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    QCOMPARE(handler.ShowMessageBox(QString("Delete?"), mkQuestion), mrNo);
  }

  void handlersShareOneDispatcher() {
    QVERIFY(!TQtDispatcher::SharedAlive());
    auto first = std::make_unique<TMessageHandler>(FSkin, TLogSink{}, "");
    auto second = std::make_unique<TMessageHandler>(FSkin, TLogSink{}, "");
    QCOMPARE(&first->Dispatcher(), &second->Dispatcher());
    first.reset();
    QVERIFY(TQtDispatcher::SharedAlive());
    second.reset();
    QVERIFY(!TQtDispatcher::SharedAlive());
  }

  void navigateAndNotice() {
    struct TRecorder : IWebNavigator {
      QString Url;
      QByteArray Post;
      bool OnUi = false;
      void Navigate(const QString& url, const QByteArray& post, const QString&, const QVariant&,
                    const QString&) override {
        Url = url;
        Post = post;
        OnUi = QThread::currentThread() == qApp->thread();
      }
    } pane, other;
    TMessageHandler handler(FSkin, {}, "", &pane);
    QEventLoop loop;
    std::thread worker([&] {
      handler.Navigate({nullptr, "http://site/IFrame/Login_Client.asp", "UserID=a", {}, {}, {}});
      handler.Navigate({&other, "http://site/other", {}, {}, {}, {}});
      handler.PostNotice("notice");
      QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    QCOMPARE(pane.Url, QString("http://site/IFrame/Login_Client.asp"));
    QCOMPARE(pane.Post, QByteArray("UserID=a"));
    QVERIFY(pane.OnUi);
    QCOMPARE(other.Url, QString("http://site/other"));
    QCOMPARE(handler.NoticeText(), QString("notice"));
  }

  void waitWindowTimesOut() {
    QWidget owner;
    bool busy = true;
    QStringList notices;
    TfmMessage wait(FSkin, "", {}, &owner);
    QCOMPARE(wait.size(), QSize(313, 79));
    QCOMPARE(wait.Message(), QString::fromUtf8("잠시만 기다려 주시기 바랍니다."));
    wait.OnTimedOut = [&] { busy = false; };
    wait.TimeLimitNotice = [&](const QString& text) { notices << text; };
    wait.show();
    QVERIFY(wait.TimerRunning());
    for (int i = 0; i < TfmMessage::kTimeLimitTicks - 1; ++i) wait.Tick();
    QVERIFY(wait.isVisible());
    QVERIFY(notices.isEmpty());
    wait.Tick();
    QVERIFY(!wait.isVisible());
    QVERIFY(!wait.TimerRunning());
    QVERIFY(wait.TimedOut());
    QCOMPARE(notices, QStringList{QString::fromUtf8("서버와의 통신 제한시간을 초과하였습니다.")});
    QVERIFY(!busy);  // the owner is no longer busy
  }

  void waitWindowClosesOnFlag() {
    TfmMessage wait(FSkin, "");
    bool timedOut = false;
    wait.OnTimedOut = [&] { timedOut = true; };
    QTimer::singleShot(0, [&] {
      wait.Tick();
      wait.SetCloseFlag();
      wait.Tick();
    });
    QCOMPARE(wait.exec(), int(QDialog::Accepted));
    QVERIFY(!timedOut);
    QVERIFY(!wait.TimerRunning());
  }

 private:
  TResourceModule FSkin;
};

QTEST_MAIN(TestMessageBox)
#include "tst_msgbox.moc"
