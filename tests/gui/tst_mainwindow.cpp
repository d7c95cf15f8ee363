// The main window against the reference server: the start modes, the first listings, a
// friend's protected folder, error texts, closing and the saved geometry.

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "GuiTestUtil.h"
#include "TReferenceServer.h"
#include "folders/UErrorCodes.h"
#include "folders/UNetManager.h"
#include "mainwindow/TfmMCMain.h"
#include "mainwindow/UFolderViews.h"
#include "mainwindow/UStartup.h"
#include "platform/UFileLock.h"
#include "protocol/USharedMemory.h"
#include "settings/UClientConfig.h"
#include "settings/ULoginManager.h"
#include "ui/UUiText.h"

using namespace vantori;

// The demo friend's name, "앨리스", as the server sends it.
constexpr char kAliceName[] = "\xBE\xD9\xB8\xAE\xBD\xBA";

class TestMainWindow : public QObject {
  Q_OBJECT

  std::unique_ptr<QTemporaryDir> FHome;
  std::unique_ptr<server::TReferenceServer> FServer;
  std::int32_t FDemoSeq = 0;
  QStringList FMessages;

  // A fresh home and a clean launcher block for every test.
  void FreshHome() {
    FHome = std::make_unique<QTemporaryDir>();
    qputenv("VANTORI_HOME", FHome->path().toLocal8Bit());
    FMessages.clear();
  }

  void WriteBlock(const std::string& id, const std::string& password, std::uint8_t dialog = 0) {
    TSMCustom block;
    block.SetSize(static_cast<int>(kLoginInfoSize));
    block.SetSMName(kLoginInfoBlock);
    TLoginBlock info;
    info.ServerAddress = "127.0.0.1";
    info.UserSeq = FDemoSeq;
    info.UserID = id;
    info.Password = password;
    info.LoginDialog = dialog;
    WriteLoginBlock(block.Memory(), info);
  }

  TMainOptions Options() {
    TMainOptions o;
    o.WebEngine = false;
    o.MessageSink = [this](const QString& text, int) { FMessages << text; };
    return o;
  }

  static TTreeNode* Child(TTreeNode* node, const char* text) {
    for (int i = 0; node && i < node->Count(); ++i)
      if (node->Item(i)->Text == text) return node->Item(i);
    return nullptr;
  }

 private slots:
  void initTestCase() {
    FreshHome();
    server::TServerOptions options;
    options.DataDir = (FHome->path() + "/server").toStdString();
    options.BasePort = 0;
    options.Demo = true;
    options.StorageServers = false;
    options.Log = [](const std::string&) {};
    FServer = std::make_unique<server::TReferenceServer>(options);
    FServer->Start();
    qputenv("VANTORI_BASE_PORT", QByteArray::number(FServer->BasePort()));
    FServer->Db().Run([this] { FDemoSeq = FServer->Db().MemberByID("demo")->Seq; });
  }

  void cleanupTestCase() { FServer->Stop(); }

  void init() { FreshHome(); }

  void startModes_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("dialog");
    QTest::addColumn<int>("mode");
    const QString key = QLatin1String(kDirectStartKey);
    QTest::newRow("launcher") << QStringList() << "h"
                              << "u"
                              << "p" << 0 << int(TStartMode::Launcher);
    QTest::newRow("launcher without password") << QStringList() << "h"
                                               << "u"
                                               << "" << 0 << int(TStartMode::Refused);
    QTest::newRow("login dialog") << QStringList() << ""
                                  << ""
                                  << "" << 1 << int(TStartMode::LoginDialog);
    QTest::newRow("direct") << QStringList{key, "pw"} << ""
                            << ""
                            << "" << 0 << int(TStartMode::Direct);
    QTest::newRow("direct without password") << QStringList{key, ""} << ""
                                             << ""
                                             << "" << 0 << int(TStartMode::Refused);
    QTest::newRow("nothing") << QStringList() << ""
                             << ""
                             << "" << 0 << int(TStartMode::Refused);
  }
  void startModes() {
    QFETCH(QStringList, args);
    QFETCH(QString, server);
    QFETCH(QString, id);
    QFETCH(QString, password);
    QFETCH(int, dialog);
    QFETCH(int, mode);
    TLoginBlock block;
    block.ServerAddress = server.toStdString();
    block.UserID = id.toStdString();
    block.Password = password.toStdString();
    block.LoginDialog = static_cast<std::uint8_t>(dialog);
    QCOMPARE(int(DetectStartMode(args, block)), mode);
  }

  void secondCopyIsRefused() {
    auto first = AcquireSingleInstance();
    QVERIFY(first);
    QVERIFY(!AcquireSingleInstance());
    QCOMPARE(AlreadyRunningText(),
             QStringLiteral("Vantori 프로그램이 이미 동작중입니다. 확인하시기 바랍니다."));
    first.reset();
    QVERIFY(AcquireSingleInstance());
  }

  void withoutLauncherDataTheWindowEnds() {
    TfmMCMain w(Options());
    QVERIFY(w.Terminated());
    QCOMPARE(FMessages, QStringList{CannotRunAloneText()});
  }

  void launcherStartFillsBothTrees() {
    WriteBlock("demo", "demo1234");
    TfmMCMain w(Options());
    QCOMPARE(int(w.StartMode()), int(TStartMode::Launcher));
    w.RunStartup();
    QVERIFY2(w.Started(), qPrintable(FMessages.join('|')));
    QVERIFY(FMessages.isEmpty());
    QCOMPARE(w.CoinLabel()->text(), QStringLiteral("5,000 코인"));
    QCOMPARE(w.UserLabel()->text(), QStringLiteral("demo 님"));
    QCOMPARE(w.SearchBox()->placeholderText(), QStringLiteral("검색어를 입력해 주십시요."));
    QVERIFY(w.BalancePanel()->isHidden());

    // The shared block no longer holds the password.
    TSMCustom block;
    block.SetSize(static_cast<int>(kLoginInfoSize));
    block.SetSMName(kLoginInfoBlock);
    QVERIFY(ReadLoginBlock(block.Memory()).Password.empty());
    QCOMPARE(ReadLoginBlock(block.Memory()).Accepted, std::uint8_t(1));

    // The web login went to the web site with the form.
    QVERIFY(w.LastNavigation().endsWith("/IFrame/Login_Client.asp"));
    QCOMPARE(w.LastPostData(), QByteArray("UserID=demo&UserPass=demo1234", 29) + QByteArray(1, '\0'));

    // The service root shows the my-folders row; selecting it lists my folders.
    QCOMPARE(w.MyList().Count(), 1);
    TTreeNode* mine = w.MyTree().Root(0)->Item(0);
    QVERIFY(w.MyTree().Select(mine));
    QVERIFY(mine->Data->Loaded);
    QVERIFY(Child(mine, "Shared"));
    QVERIFY(Child(mine, "\xB3\xBB \xB9\xAE\xBC\xAD"));  // "내 문서"
    QCOMPARE(w.MyListView()->model()->rowCount(), w.MyList().Count());

    // My friends: the group first, then the friends.
    TTreeNode* friends = w.FriendTree().Root(0);
    QVERIFY(friends->Data->Loaded);
    QVERIFY(friends->Count() >= 2);
    QCOMPARE(int(friends->Item(0)->Data->Kind), int(nkFriendGroup));
    QVERIFY(Child(friends, kAliceName));
    QCOMPARE(w.FriendListView()->model()->rowCount(), w.FriendList().Count());

    // An error code reaches the message boxes with its text.
    TDataParameter failed;
    failed.AddInteger("T", 17);
    failed.AddBoolean("result", false);
    failed.AddInteger("Code", 20014);
    w.Replies().Dispatch(failed);
    QCOMPARE(FMessages.value(0), FromAnsi(ErrorCodeText(kUnregisteredErrorCode)));
  }

  void friendsProtectedFolderAsksForItsPassword() {
    WriteBlock("demo", "demo1234");
    TfmMCMain w(Options());
    w.RunStartup();
    QVERIFY(w.Started());
    TTreeNode* alice = Child(w.FriendTree().Root(0), kAliceName);
    QVERIFY(alice);
    QVERIFY(w.FriendTree().Select(alice));
    TTreeNode* locked = Child(alice, "Locked");
    QVERIFY(locked);
    QCOMPARE(locked->Data->Pass, std::string("open1234"));

    auto answer = [](const QString& typed, bool* asked, QString* title) {
      testutil::WhenModal([typed, asked, title](QWidget* modal) {
        *asked = true;
        *title = modal->windowTitle();
        if (auto* edit = modal->findChild<QLineEdit*>()) edit->setText(typed);
        static_cast<QDialog*>(modal)->accept();
      });
    };
    bool asked = false;
    QString title;
    answer("wrong", &asked, &title);
    QVERIFY(!w.FriendTree().Select(locked));
    QVERIFY(asked);
    QCOMPARE(title, QStringLiteral("앨리스 (Locked)"));
    QCOMPARE(w.FriendTree().Selected(), alice);
    asked = false;
    answer("open1234", &asked, &title);
    QVERIFY(w.FriendTree().Select(locked));
    QVERIFY(asked);
    QVERIFY(locked->Data->Loaded);
  }

  void refusedLoginEndsTheStart() {
    WriteBlock("demo", "not-the-password");
    TfmMCMain w(Options());
    bool finished = false, ok = true;
    connect(&w, &TfmMCMain::StartupFinished, [&](bool result) {
      finished = true;
      ok = result;
    });
    w.RunStartup();
    QVERIFY(finished);
    QVERIFY(!ok);
    QVERIFY(w.Terminated());
    QVERIFY(!w.Started());
    // The server's own text, not the generic login failure on top of it.
    QCOMPARE(FMessages.size(), 1);
    QCOMPARE(FMessages[0], FromAnsi(LoginCodeText(21002)));
  }

  void directStartUsesTheCommandLine() {
    {
      TClientConfig config;
      config.SetUserID("demo");
      config.SetUserSeq(FDemoSeq);
    }
    TMainOptions o = Options();
    o.Arguments = {QLatin1String(kDirectStartKey), "demo1234", "127.0.0.1"};
    TfmMCMain w(o);
    QCOMPARE(int(w.StartMode()), int(TStartMode::Direct));
    w.RunStartup();
    QVERIFY2(w.Started(), qPrintable(FMessages.join('|')));
  }

  void loginDialogStart_data() {
    QTest::addColumn<bool>("accept");
    QTest::newRow("logged in") << true;
    QTest::newRow("cancelled") << false;
  }
  void loginDialogStart() {
    QFETCH(bool, accept);
    WriteBlock("", "", 1);
    TMainOptions o = Options();
    o.LoginDialog = [accept](QWidget*, TClientConfig& config, TLog&) {
      if (!accept) return false;
      TLoginManager login;
      login.SetServer("127.0.0.1", config.BasePort());
      const TLoginResult result = login.Login("demo", "demo1234");
      if (!result.Ok()) return false;
      ApplyLogin(config, result, "demo", "demo1234");
      return true;
    };
    TfmMCMain w(o);
    QCOMPARE(int(w.StartMode()), int(TStartMode::LoginDialog));
    w.RunStartup();
    QCOMPARE(w.Started(), accept);
    QCOMPARE(w.Terminated(), !accept);
    QVERIFY(FMessages.isEmpty());  // a cancelled dialog ends quietly
  }

  void closingIsRefusedWhileATransferWindowExists() {
    WriteBlock("demo", "demo1234");
    TfmMCMain w(Options());
    w.RunStartup();
    QVERIFY(w.Started());
    w.show();
    auto* downloads = new QWidget;
    w.SetDownloadWindow(downloads);
    QVERIFY(!w.close());
    QCOMPARE(FMessages.value(0), QStringLiteral("파일 다운로드를 먼저 닫으시기 바랍니다"));
    delete downloads;
    auto* uploads = new QWidget;
    w.SetUploadWindow(uploads);
    QVERIFY(!w.close());
    QCOMPARE(FMessages.value(1), QStringLiteral("파일 업로드를 먼저 닫으시기 바랍니다."));
    delete uploads;
    QVERIFY(w.close());
  }

  void geometryIsSavedAndRestoredByTheRules() {
    WriteBlock("demo", "demo1234");
    const QSize screen(1280, 1024);
    {
      TfmMCMain w(Options());
      w.setGeometry(5, 300, 1280, 700);
      w.SaveGeometry(screen);
      QCOMPARE(w.Config().MainFormLeft(), 20);
      QCOMPARE(w.Config().MainFormTop(), 300);
      QCOMPARE(w.Config().MainFormWidth(), 1240);
      QCOMPARE(w.Config().MainFormHeight(), 700);
      w.Config().SetMainFormLeft(0);  // a position of 0 centres the window next time
      w.Config().SetMainFormWidth(900);
      w.Config().SetMainFormHeight(600);
    }
    WriteBlock("demo", "demo1234");
    TfmMCMain again(Options());
    const QSize actual = QGuiApplication::primaryScreen()->size();
    QCOMPARE(again.geometry().size(), QSize(900, 600));
    QCOMPARE(again.geometry().topLeft(),
             QPoint((actual.width() - 900) / 2, (actual.height() - 600 - 30) / 2));
    QCOMPARE(SavedBounds(QRect(50, 50, 900, 994), screen).height(), 964);
    QCOMPARE(SavedBounds(QRect(50, 50, 900, 993), screen).height(), 993);
  }

  void windowBehaviour() {
    QCOMPARE(HitTestEdges(QPoint(2, 2), QSize(800, 600)), Qt::LeftEdge | Qt::TopEdge);
    QCOMPARE(HitTestEdges(QPoint(797, 300), QSize(800, 600)), Qt::Edges(Qt::RightEdge));
    QCOMPARE(HitTestEdges(QPoint(400, 300), QSize(800, 600)), Qt::Edges());
    QCOMPARE(MaximizedBounds(QRect(0, 0, 1000, 800), Qt::BottomEdge), QRect(0, 0, 1000, 798));
    WriteBlock("demo", "demo1234");
    TfmMCMain w(Options());
    QCOMPARE(w.minimumSize(), QSize(780, 570));
    QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
  }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
