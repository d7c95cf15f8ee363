#include "mainwindow/TfmMCMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QWebEngineHttpRequest>
#include <QWebEngineView>
#include <QWindow>

#include "folders/UNetManager.h"
#include "mainwindow/TfmLogin.h"
#include "mainwindow/UFolderViews.h"
#include "platform/UFileLock.h"
#include "protocol/UWindowMessages.h"
#include "settings/UClientConfig.h"
#include "settings/UFunction.h"
#include "settings/ULog.h"
#include "settings/ULoginLauncher.h"
#include "settings/ULoginManager.h"
#include "settings/UMoneyInfo.h"
#include "settings/USavePass.h"
#include "ui/UClientMessage.h"
#include "ui/UKivBars.h"
#include "ui/UMainFrame.h"
#include "ui/UMessage.h"
#include "ui/UMsgHandler.h"
#include "ui/UQtDispatcher.h"
#include "ui/USkinFrame.h"
#include "ui/UUiText.h"

namespace vantori {

namespace {

constexpr QSize kDesignedSize(1000, 700);
constexpr int kMinimumPane = 205;

QString Text(const ByteString& cp949) {
  return FromAnsi(cp949);
}

}  // namespace

// The web pane: a web engine view, or a plain placeholder when the window runs without one.
class TWebPane : public QStackedWidget, public IWebNavigator {
 public:
  TWebPane(bool engine, QWidget* parent) : QStackedWidget(parent) {
    if (engine) {
      FView = new QWebEngineView(this);
      addWidget(FView);
    } else {
      auto* placeholder = new QLabel(this);
      placeholder->setAlignment(Qt::AlignCenter);
      addWidget(placeholder);
    }
  }
  void Navigate(const QString& url, const QByteArray& postData, const QString& headers, const QVariant&,
                const QString&) override {
    Url = url;
    PostData = postData;
    if (!FView) return;
    QWebEngineHttpRequest request{QUrl(url)};
    if (!postData.isEmpty()) {
      request.setMethod(QWebEngineHttpRequest::Post);
      QByteArray body = postData;
      if (body.endsWith('\0')) body.chop(1);  // the form's terminating zero is not part of it
      request.setPostData(body);
    }
    for (const QString& line : headers.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)) {
      const int colon = line.indexOf(':');
      if (colon > 0)
        request.setHeader(line.left(colon).trimmed().toLatin1(), line.mid(colon + 1).trimmed().toLatin1());
    }
    FView->load(request);
  }
  QString Url;
  QByteArray PostData;

 private:
  QWebEngineView* FView = nullptr;
};

// ---- Construction ----------------------------------------------------------------------------------

TfmMCMain::TfmMCMain(TMainOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), FOptions(std::move(options)) {
  setWindowTitle(QStringLiteral("Vantori "));
  setAttribute(Qt::WA_DeleteOnClose, false);
  setMouseTracking(true);

  // 2. the log
  FLog = std::make_unique<TLog>();
  FLog->SetFileName("ClientLog");
  const TLogSink logSink = [this](const QString& line) { FLog->Write(ToAnsi(line)); };

  // 3. the launcher's blocks and the window's handle
  auto dispatcher = TQtDispatcher::Shared();
  FLauncher = std::make_unique<TLauncherLink>();
  FWindowMessages = std::make_unique<TMessageWindow>(
      [this](std::uint32_t msg, std::uint64_t wParam, std::int64_t lParam) -> std::int64_t {
        auto answer = AnswerLauncherMessage(msg, wParam, lParam, *FLauncher, FMoney.get(),
                                            FConfig ? FConfig->UserSeq() : 0, [this] { BalanceChanged(); });
        return answer ? *answer : 0;
      },
      dispatcher.get());
  try {
    FHandleBlock.SetSize(static_cast<int>(kHandleInfoSize));
    FHandleBlock.SetSMName(kHandleInfoBlock);
    if (FHandleBlock.IsOpen()) WriteInt32(FHandleBlock.Memory(), static_cast<std::int32_t>(MessageHandle()));
    FLoginBlockMemory.SetSize(static_cast<int>(kLoginInfoSize));
    FLoginBlockMemory.SetSMName(kLoginInfoBlock);
  } catch (const std::exception& e) {
    FLog->Write(std::string("TfmMCMain SharedMemory : ") + e.what());
  }
  ReadLoginBlock();

  // 4. the start mode
  FMode = DetectStartMode(FOptions.Arguments, FLoginBlock);
  if (FMode == TStartMode::Refused) {
    Message(CannotRunAloneText(), mkInformation);
    Terminate();
    return;
  }
  FLauncher->SetReporting(FMode == TStartMode::Launcher || FMode == TStartMode::LoginDialog);
  if (FMode == TStartMode::Launcher && FLoginBlockMemory.IsOpen()) {
    // The block goes back with our handle; the password stays only in memory.
    TLoginBlock back = FLoginBlock;
    back.MainHandle = MessageHandle();
    back.Password.clear();
    WriteLoginBlock(FLoginBlockMemory.Memory(), back);
  }

  // 5. the configuration; the window is built off-screen
  FConfig = std::make_unique<TClientConfig>(FLog.get());
  FMoney = std::make_unique<TMoneyInfo>(FLog.get());
  setMinimumSize(780, 570);
  const QSize screen =
      QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->size() : QSize(1280, 1024);
  const QRect bounds = StartBounds(FConfig->MainFormLeft(), FConfig->MainFormTop(), FConfig->MainFormWidth(),
                                   FConfig->MainFormHeight(), kDesignedSize, screen);
  setGeometry(-1000, -1000, bounds.width(), bounds.height());

  // 6. the login data by mode
  try {
    if (FMode == TStartMode::Launcher) {
      FConfig->SetUserSeq(FLoginBlock.UserSeq);
      FConfig->SetUserID(FLoginBlock.UserID);
      FConfig->SetLoginServerAddress(FLoginBlock.ServerAddress);
      FConfig->SetPassword(FLoginBlock.Password);
    } else if (FMode == TStartMode::Direct) {
      FConfig->SetPassword(ToAnsi(FOptions.Arguments.value(1)));
      if (FOptions.Arguments.size() > 2 && !FOptions.Arguments[2].isEmpty())
        FConfig->SetLoginServerAddress(ToAnsi(FOptions.Arguments[2]));
    }
  } catch (const std::exception& e) {
    FLog->Write(std::string("TfmMCMain INITFORM E : ") + e.what());
  }

  // 7. font and saved passwords
  setFont(UiFont(Text(FConfig->DefaultFont())));
  try {
    FPassData = std::make_unique<TPassData>();
  } catch (const std::exception& e) {
    FLog->Write(std::string("TfmMCMain INITFORM E : ") + e.what());
  }

  // 9. the resource modules
  FSkin = TResourceModule::Load("vtri");
  FSounds = TResourceModule::Load("KXSound");

  // 10. the message handler and the window's place
  FWebPane = new TWebPane(FOptions.WebEngine, this);
  FMessages =
      std::make_unique<TMessageHandler>(FSkin, logSink, Text(FConfig->DefaultFont()), FWebPane, dispatcher);
  FMessages->SetOwnerWindow(this);

  // 11 - 13. panes, controls, the folder service
  FWait = std::make_unique<TWaitControl>(*this);
  FNet = std::make_unique<TNetManager>(FConfig.get(), FLog.get(), dispatcher.get());
  FNet->SetWaitControl(FWait.get());
  FService = std::make_unique<TNetFolderService>(*FNet);
  FMyTree.ShowClubs = false;
  FReplies = std::make_unique<TFolderReplies>(FMyTree, FFriendTree, FMyList, FFriendList, *FConfig, *FMoney,
                                              *FWait, *this, FService.get(), FLog.get());
  FReplies->WebSiteBase = WebSiteBase(*FConfig);
  FNet->OnReceived = [this](TNetManager&, const TDataParameter& reply) {
    try {
      FReplies->Dispatch(reply);
    } catch (const std::exception& e) {
      FLog->Write(std::string("DispatchReply : ") + e.what());
    }
  };
  FNet->OnDisconnect = [this](TNetManager&) { FReplies->ConnectionLost(); };

  FExitTimer.setInterval(500);
  FExitTimer.setSingleShot(true);
  connect(&FExitTimer, &QTimer::timeout, this, [this] { Terminate(); });

  BuildTitleArea();
  BuildMenus();
  BuildPanes();
  try {
    FFrame = new TMainFrame(this, FSkin, QStringLiteral("Vantori(vtri) Open Beta"), logSink);
    FTitle->setText(QString());  // the frame draws the title
  } catch (const std::exception& e) {
    FLog->Write(std::string("TfmMCMain INITFORM E : ") + e.what());
  }

  // 14. the start-up timer; the rounded shape and the saved bounds
  FStartTimer.setInterval(300);
  FStartTimer.setSingleShot(true);
  connect(&FStartTimer, &QTimer::timeout, this, [this] { RunStartup(); });
  SetRoundRegion(this);
  setGeometry(bounds);
}

TfmMCMain::~TfmMCMain() {
  FStartTimer.stop();
  if (FNet) {
    FNet->OnReceived = nullptr;
    FNet->OnDisconnect = nullptr;
    FNet->Disconnect();
  }
  // The views go before the models they show.
  delete FMyTreeView;
  delete FFriendTreeView;
  delete FMyListView;
  delete FFriendListView;
  FMyTreeView = FFriendTreeView = nullptr;
  FMyListView = FFriendListView = nullptr;
  delete FMyTreeModel;
  delete FFriendTreeModel;
  delete FMyListModel;
  delete FFriendListModel;
}

std::uint32_t TfmMCMain::MessageHandle() const {
  return FWindowMessages ? FWindowMessages->Handle() : 0;
}

void TfmMCMain::ReadLoginBlock() {
  if (!FLoginBlockMemory.IsOpen()) return;
  FLoginBlock = vantori::ReadLoginBlock(FLoginBlockMemory.Memory());
  // The password is taken; it does not stay in the shared block.
  if (!FLoginBlock.Password.empty()) WipeLoginPassword(FLoginBlockMemory.Memory());
}

void TfmMCMain::BuildTitleArea() {
  FTitle = new QLabel(QStringLiteral("Vantori(vtri) Open Beta"), this);
  FUserLabel = new QLabel(Text(FConfig->UserID()) + QStringLiteral(" 님"), this);
  FCoinLabel = new QLabel(QStringLiteral("0 코인"), this);
  FPointLabel = new QLabel(QStringLiteral("0 포인트"), this);
  FNoteLabel = new QLabel(QStringLiteral("쪽지 0 통"), this);
  FSearch = new QLineEdit(this);
  FSearch->setPlaceholderText(QStringLiteral("검색어를 입력해 주십시요."));
  FSearch->setFixedWidth(180);

  FBalancePanel = new QWidget(this);
  auto* balance = new QHBoxLayout(FBalancePanel);
  balance->setContentsMargins(0, 0, 0, 0);
  balance->addWidget(new QLabel(QStringLiteral("총업로드 사이즈"), FBalancePanel));
  FUploadSizeButton = new QPushButton(QStringLiteral("0 바이트"), FBalancePanel);
  connect(FUploadSizeButton, &QPushButton::clicked, this, [this] {
    try {
      FNet->QueryUploadTotal();
      FWait->BeginWait(ToAnsi(QStringLiteral("조회중...")));
    } catch (const std::exception& e) {
      ShowError(e.what());
    }
  });
  balance->addWidget(FUploadSizeButton);
  balance->addWidget(new QLabel(QStringLiteral("Vantori 코인"), FBalancePanel));
  FBalanceCoins = new QLabel(QStringLiteral("0"), FBalancePanel);
  balance->addWidget(FBalanceCoins);
  balance->addWidget(new QLabel(QStringLiteral("포인트"), FBalancePanel));
  FBalancePoints = new QLabel(QStringLiteral("0"), FBalancePanel);
  balance->addWidget(FBalancePoints);
  balance->addWidget(new QPushButton(QStringLiteral("코인 전환"), FBalancePanel));
  FBalancePanel->hide();
}

void TfmMCMain::BuildMenus() {
  FMenus = new QMenuBar(this);
  FMenus->setNativeMenuBar(false);
  // White menus; selection, icon background and check marks RGB(245,245,245), borders and
  // separators RGB(215,215,215).
  FMenus->setStyleSheet(
      "QMenuBar{background:#ffffff;} QMenuBar::item:selected{background:#f5f5f5;border:1px solid #d7d7d7;}"
      "QMenu{background:#ffffff;border:1px solid #d7d7d7;} QMenu::item:selected{background:#f5f5f5;"
      "border:1px solid #d7d7d7;color:#000000;} QMenu::separator{height:1px;background:#d7d7d7;}"
      "QMenu::icon{background:#f5f5f5;}");
  QMenu* file = FMenus->addMenu(QStringLiteral("파일"));
  QAction* webLink = file->addAction(QStringLiteral("웹링크 복사"));
  QAction* gift = file->addAction(QStringLiteral("포인트 선물"));
  QAction* coupon = file->addAction(QStringLiteral("업로드 쿠폰 구매"));
  webLink->setVisible(FConfig->SearchShow());
  gift->setVisible(FConfig->SearchShow());
  coupon->setVisible(false);
  file->addSeparator();
  file->addAction(QStringLiteral("종료"), this, [this] { close(); });
  QMenu* view = FMenus->addMenu(QStringLiteral("보기"));
  QAction* balance = view->addAction(QStringLiteral("잔액 보기"));
  balance->setCheckable(true);
  connect(balance, &QAction::toggled, this, [this](bool on) { FBalancePanel->setVisible(on); });
  QAction* simple = view->addAction(QStringLiteral("간단히 보기"));
  simple->setCheckable(true);
  connect(simple, &QAction::toggled, this, [this](bool on) {
    FMyListView->SetSimpleStyle(on);
    FFriendListView->SetSimpleStyle(on);
  });
}

void TfmMCMain::BuildPanes() {
  FMyList.OwnerSeq = FFriendList.OwnerSeq = FConfig->UserSeq();
  FMyTree.OwnerSeq = FFriendTree.OwnerSeq = FConfig->UserSeq();
  FMyList.LoadImages();
  FFriendList.LoadImages();
  FMyTreeModel = new TFolderTreeModel(FMyTree);
  FFriendTreeModel = new TFolderTreeModel(FFriendTree);
  FMyListModel = new TFileListModel(FMyList);
  FFriendListModel = new TFileListModel(FFriendList);
  FMyTreeModel->Icons().Load(FSkin, MyTreeImageNames());
  FFriendTreeModel->Icons().Load(FSkin, FriendTreeImageNames());
  FMyListModel->Icons().Load(FSkin, ListImageNames());
  FFriendListModel->Icons().Load(FSkin, ListImageNames());
  auto period = [this] { return FConfig->StorageTerm.load(); };
  FMyListModel->BasicPeriod = period;
  FFriendListModel->BasicPeriod = period;
  FMyTree.Build();
  FFriendTree.Build();

  FMyTreeView = new TFolderTreeView(FMyTreeModel);
  FFriendTreeView = new TFolderTreeView(FFriendTreeModel);
  FMyListView = new TFileListView(FMyListModel);
  FFriendListView = new TFileListView(FFriendListModel);
  FFriendListView->setEditTriggers(QAbstractItemView::NoEditTriggers);

  FMyPane = new QStackedWidget;
  FMyPane->addWidget(FMyListView);
  FMyPane->addWidget(FWebPane);
  FUpper = new QSplitter(Qt::Horizontal);
  FUpper->addWidget(FMyTreeView);
  FUpper->addWidget(FMyPane);
  FLower = new QSplitter(Qt::Horizontal);
  FLower->addWidget(FFriendTreeView);
  FLower->addWidget(FFriendListView);
  FLowerPane = new QStackedWidget;
  FLowerPane->addWidget(FLower);
  // The local computer's pane: its shell views come with the transfers.
  auto* local = new QLabel(QStringLiteral("내 컴퓨터"));
  local->setAlignment(Qt::AlignCenter);
  FLowerPane->addWidget(local);
  FVertical = new QSplitter(Qt::Vertical);
  FVertical->addWidget(FUpper);
  FVertical->addWidget(FLowerPane);
  for (QSplitter* s : {FUpper, FLower, FVertical}) {
    s->setChildrenCollapsible(false);
    for (int i = 0; i < s->count(); ++i)
      s->widget(i)->setMinimumSize(s == FVertical ? 0 : kMinimumPane, s == FVertical ? kMinimumPane / 2 : 0);
  }
  FUpper->setSizes({FConfig->MyViewWidth() > 0 ? FConfig->MyViewWidth() : 250, 700});
  FLower->setSizes({FConfig->FriendViewWidth() > 0 ? FConfig->FriendViewWidth() : 250, 700});
  if (FConfig->FriendPanelHeight() > 0) FVertical->setSizes({400, FConfig->FriendPanelHeight()});

  FStatus = new TKivStatusBar(this);
  FStatus->setFixedHeight(22);

  auto* top = new QHBoxLayout;
  top->addWidget(FTitle);
  top->addStretch(1);
  for (QWidget* w : std::initializer_list<QWidget*>{FUserLabel, FCoinLabel, FPointLabel, FNoteLabel, FSearch})
    top->addWidget(w);
  top->addSpacing(90);  // the title buttons
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 6, 8, 8);
  layout->setSpacing(3);
  layout->addLayout(top);
  layout->addSpacing(12);  // the frame's own title line
  layout->addWidget(FMenus);
  layout->addWidget(FBalancePanel);
  layout->addWidget(FVertical, 1);
  layout->addWidget(FStatus);
}

// ---- Start-up ----------------------------------------------------------------------------------------

void TfmMCMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!FStartupRan && !FTerminated && !FStartTimer.isActive()) FStartTimer.start();
}

bool TfmMCMain::OwnLoginDialog() {
  TfmUserLogin dialog(
      FSkin, Text(FConfig->DefaultFont()), ClientLoginAction(*FConfig, FLog.get()),
      [this](const std::string& text, int kind) { Message(Text(text), kind); },
      [this](const QString& line) { FLog->Write(ToAnsi(line)); }, this);
  return dialog.exec() == QDialog::Accepted;
}

void TfmMCMain::RunStartup() {
  if (FStartupRan || FTerminated) return;
  FStartupRan = true;
  FStartTimer.stop();
  bool cancelled = false;
  try {
    // 2. the login dialog
    if (FMode == TStartMode::LoginDialog) {
      const bool ok = FOptions.LoginDialog ? FOptions.LoginDialog(this, *FConfig, *FLog) : OwnLoginDialog();
      if (!ok) {
        cancelled = true;
        throw std::runtime_error("login dialog cancelled");
      }
      FUserLabel->setText(Text(FConfig->UserID()) + QStringLiteral(" 님"));
    }
    FMyList.OwnerSeq = FFriendList.OwnerSeq = FMyTree.OwnerSeq = FFriendTree.OwnerSeq = FConfig->UserSeq();
    // 3. the first node of both trees
    FMyTree.Select(FMyTree.First());
    FFriendTree.Select(FFriendTree.First());
    // 4. the login information
    FReplies->LoginInfoReceived = false;
    FNet->UseLoginServer = true;
    try {
      FNet->RequestLoginInfo();
      if (!FReplies->LoginInfoReceived) FWait->ShowWaitDialog(ToAnsi(QueryingBasicsText()));
    } catch (const std::exception& e) {
      FLog->Write(std::string("TfmMCMain LoginInfo : ") + e.what());
    }
    FNet->Disconnect();
    FReplies->ConnectSelectionHandlers();
    if (!FReplies->LoginInfoReceived || !FReplies->LoginInfo.Ok) {
      FServerErrorShown = FReplies->LoginInfoReceived && !FReplies->LoginInfo.ErrorText.empty();
      throw std::runtime_error("no login information");
    }
    // 5. the first listings
    FReplies->Ready = true;
    FReplies->WebSiteBase = WebSiteBase(*FConfig);
    FReplies->MyNodeSelected(FMyTree.Selected());
    FReplies->FriendNodeSelected(FFriendTree.Selected());
    FFriendTree.Root(0)->Expanded = true;
    FFriendTreeView->SyncFromCore();
  } catch (const std::exception& e) {
    FLog->Write(std::string("TfmMCMain StartUp : ") + e.what());
    StartFailed(cancelled);
    return;
  }
  // 7. the web login, the launcher told
  try {
    WebLogin();
    if (FLoginBlockMemory.IsOpen()) {
      TLoginBlock block = FLoginBlock;
      block.MainHandle = MessageHandle();
      block.UserSeq = FConfig->UserSeq();
      block.UserID = FConfig->UserID().substr(0, 21);
      block.Password.clear();
      block.Accepted = 1;
      WriteLoginBlock(FLoginBlockMemory.Memory(), block);
    }
    FLauncher->NotifyStarted();
    FLowerPane->setCurrentIndex(FConfig->MainTabBtn() == 2 ? 1 : 0);
  } catch (const std::exception& e) {
    FLog->Write(std::string("TfmMCMain StartUp : ") + e.what());
  }
  FStarted = true;
  emit StartupFinished(true);
  if (!FOptions.ScreenshotFile.isEmpty())
    QTimer::singleShot(FOptions.ScreenshotDelayMs, this, [this] { SaveScreenshot(); });
}

void TfmMCMain::StartFailed(bool cancelled) {
  FLauncher->NotifyFailed();
  FNet->Disconnect();
  if (!cancelled && !FServerErrorShown) Message(LoginFailedText(), mkError);
  emit StartupFinished(false);
  Terminate();
}

QString TfmMCMain::WebLoginUrl() const {
  return Text(FReplies->WebSiteBase) + QLatin1String(kWebLoginPath);
}

void TfmMCMain::WebLogin() {
  try {
    TNavigation nav;
    nav.Browser = FWebPane;
    nav.Url = WebLoginUrl();
    nav.PostData = WebLoginBody(FConfig->UserID(), FConfig->Password());
    nav.Headers = QString::fromLatin1(kWebLoginHeaders);
    FMessages->Navigate(nav);
    FLastNavigation = nav.Url;
    FLastPostData = nav.PostData;
  } catch (const std::exception& e) {
    Message(QString::fromLocal8Bit(e.what()), mkError);
  }
}

void TfmMCMain::SaveScreenshot() {
  // What a member sees first: my folders listed, the friends' tree open.
  if (FMyTree.RootCount() > 0 && FMyTree.Root(0)->Count() > 0) FMyTree.Select(FMyTree.Root(0)->Item(0));
  FMyTree.Root(0)->Item(0)->Expanded = true;
  FMyTreeView->SyncFromCore();
  QTimer::singleShot(300, this, [this] {
    const QPixmap shot = grab();
    const bool saved = shot.save(FOptions.ScreenshotFile, "PNG");
    FLog->Write("screenshot " + ToAnsi(FOptions.ScreenshotFile) + (saved ? "" : " failed"));
    std::fprintf(stdout, "%s %s\n", saved ? "screenshot:" : "screenshot failed:",
                 QDir(FOptions.ScreenshotFile).absolutePath().toLocal8Bit().constData());
    std::fflush(stdout);
    close();
  });
}

// ---- Messages and the window side of the handlers ---------------------------------------------------

void TfmMCMain::Message(const QString& text, int kind) {
  if (FOptions.MessageSink) {
    FOptions.MessageSink(text, kind);
    return;
  }
  if (FMessages)
    FMessages->ShowMessageBox(text, static_cast<std::uint8_t>(kind));
  else
    TMessageHandler::RunMessage(TMessageInfo{text, static_cast<std::uint8_t>(kind), FSkin, {}, QString()},
                                nullptr);
}

void TfmMCMain::ShowError(const ByteString& text) {
  Message(Text(text), mkError);
}
void TfmMCMain::ShowInformation(const ByteString& text) {
  Message(Text(text), mkInformation);
}

void TfmMCMain::SetStatusText(const ByteString& text) {
  if (FStatus) FStatus->SetStatusText(Text(text));
}

void TfmMCMain::BalanceChanged() {
  if (!FMoney || !FCoinLabel) return;
  FCoinLabel->setText(Text(FMoney->CoinsText()));
  FPointLabel->setText(Text(FMoney->PointsText()));
  FBalanceCoins->setText(Text(FormatThousands(FMoney->Coins())));
  FBalancePoints->setText(Text(FormatThousands(FMoney->Points())));
}

void TfmMCMain::UploadSizeChanged(std::int64_t size) {
  if (FUploadSizeButton) FUploadSizeButton->setText(Text(FormatSize(size)));
}

void TfmMCMain::Terminate() {
  FTerminated = true;
  emit TerminateRequested();
}

void TfmMCMain::AddWaitProgress(const ByteString& line) {
  if (FWaitWindow) FWaitWindow->SetMessage(Text(line));
}

void TfmMCMain::ShowNoticePage(bool front) {
  if (!FMyPane) return;
  FMyPane->setCurrentIndex(front ? 1 : 0);
}

void TfmMCMain::DiscardInput() {
  // Input that arrived during the wait has been delivered by the wait's own loop already.
}

bool TfmMCMain::AskFolderPassword(const ByteString& title, const ByteString& password) {
  if (FPassData && FPassData->Contains(password)) return true;
  bool ok = false;
  const QString typed = QInputDialog::getText(this, Text(title), QStringLiteral("비밀번호"),
                                              QLineEdit::Password, QString(), &ok);
  if (!ok || ToAnsi(typed) != password) return false;
  try {
    if (FPassData && FConfig->SavePubFolderPassword()) FPassData->Remember(password);
  } catch (const std::exception& e) {
    FLog->Write(std::string("AskFolderPassword : ") + e.what());
  }
  return true;
}

void TfmMCMain::CloseLauncher() {
  if (FLauncher && FLauncher->Window() != 0) {
    try {
      SendMessageTo(FLauncher->Window(), WM_USER + 114, 0, 0, 2000);
    } catch (const std::exception&) {
    }
  }
}

void TfmMCMain::ShowWaitWindow(const ByteString& text) {
  if (!FWaitWindow) {
    FWaitWindow = new TfmMessage(FSkin, Text(FConfig->DefaultFont()), {}, this);
    FWaitWindow->setAttribute(Qt::WA_DeleteOnClose);
  }
  FWaitWindow->SetMessage(Text(text));
  FWaitWindow->show();
}

void TfmMCMain::CloseWaitWindow() {
  if (FWaitWindow) FWaitWindow->close();
}

void TfmMCMain::RunLoopUntil(const std::function<bool()>& done) {
  if (done()) return;
  QEventLoop loop;
  QTimer check;
  check.setInterval(20);
  connect(&check, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  check.start();
  loop.exec();
}

// ---- Window behaviour -------------------------------------------------------------------------------------

void TfmMCMain::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  SetRoundRegion(this);
}

void TfmMCMain::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    const Qt::Edges edges = HitTestEdges(event->position().toPoint(), size());
    if (edges && windowHandle() && windowHandle()->startSystemResize(edges)) return;
    if (!edges) {
      BeginWindowDrag(this, event);
      return;
    }
  }
  QWidget::mousePressEvent(event);
}

void TfmMCMain::mouseMoveEvent(QMouseEvent* event) {
  const Qt::Edges edges = HitTestEdges(event->position().toPoint(), size());
  if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
    setCursor(Qt::SizeFDiagCursor);
  else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
    setCursor(Qt::SizeBDiagCursor);
  else if (edges & (Qt::LeftEdge | Qt::RightEdge))
    setCursor(Qt::SizeHorCursor);
  else if (edges & (Qt::TopEdge | Qt::BottomEdge))
    setCursor(Qt::SizeVerCursor);
  else
    unsetCursor();
  QWidget::mouseMoveEvent(event);
}

void TfmMCMain::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMaximized) && screen()) {
    // The work area is what the desktop leaves free; no task bar of ours hides itself.
    setGeometry(MaximizedBounds(screen()->availableGeometry(), Qt::Edges()));
  }
}

// ---- Closing --------------------------------------------------------------------------------------------

void TfmMCMain::closeEvent(QCloseEvent* event) {
  if (FClosing || FTerminated) {
    event->accept();
    return;
  }
  if (FDownloadWindow) {
    Message(QStringLiteral("파일 다운로드를 먼저 닫으시기 바랍니다"), mkInformation);
    event->ignore();
    return;
  }
  if (FUploadWindow) {
    Message(QStringLiteral("파일 업로드를 먼저 닫으시기 바랍니다."), mkInformation);
    event->ignore();
    return;
  }
  if (FChatWindow) {
    Message(QStringLiteral("채팅 화면을 먼저 닫으시기 바랍니다."), mkInformation);
    event->ignore();
    return;
  }
  FClosing = true;
  try {
    if (FStarted) {
      FNet->SetWaitTime(3000);
      ShowWaitWindow(ToAnsi(QStringLiteral("로그아웃 처리중입니다.")));
      FNet->Logout();
    }
  } catch (const std::exception& e) {
    FLog->Write(std::string("TfmMCMain Logout : ") + e.what());
  }
  CloseWaitWindow();
  try {
    hide();
    SaveGeometry();
  } catch (const std::exception& e) {
    FLog->Write(std::string("TfmMCMain Close : ") + e.what());
  }
  event->accept();
  if (FOptions.QuitOnClose) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}

void TfmMCMain::SaveGeometry(const QSize& screenSize) {
  QSize screenArea = screenSize;
  if (!screenArea.isValid()) screenArea = screen() ? screen()->size() : QSize(1280, 1024);
  const QRect bounds = SavedBounds(geometry(), screenArea);
  FConfig->SetMainFormLeft(bounds.left());
  FConfig->SetMainFormTop(bounds.top());
  FConfig->SetMainFormWidth(bounds.width());
  FConfig->SetMainFormHeight(bounds.height());
  if (FVertical && FVertical->sizes().size() > 1) FConfig->SetFriendPanelHeight(FVertical->sizes()[1]);
  if (FUpper && !FUpper->sizes().isEmpty()) FConfig->SetMyViewWidth(FUpper->sizes()[0]);
  if (FLower && !FLower->sizes().isEmpty()) FConfig->SetFriendViewWidth(FLower->sizes()[0]);
  FConfig->SetMainTabBtn(FLowerPane && FLowerPane->currentIndex() == 1 ? 2 : 0);
}

}  // namespace vantori
