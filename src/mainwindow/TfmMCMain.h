#pragma once
// The client's main window: its construction, the start-up after it is shown (login
// information, first listings, web login, the launcher told), its behaviour as a borderless
// skinned window, and closing.

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

#include "folders/UFileList.h"
#include "folders/UFolderTree.h"
#include "folders/UReplyHandlers.h"
#include "folders/UWait.h"
#include "mainwindow/UStartup.h"
#include "protocol/USharedMemory.h"
#include "ui/USkin.h"

class QLabel;
class QLineEdit;
class QMenuBar;
class QPushButton;
class QSplitter;
class QStackedWidget;

namespace vantori {

class TClientConfig;
class TLog;
class TMoneyInfo;
class TPassData;
class TNetManager;
class TMessageHandler;
class TMessageWindow;
class TLauncherLink;
class TKivStatusBar;
class TMainFrame;
class TFolderTreeModel;
class TFileListModel;
class TFolderTreeView;
class TFileListView;
class TWebPane;
class TfmMessage;

// How the window is started and where its boxes go.
struct TMainOptions {
  // The command line without the program name (the direct start's arguments).
  QStringList Arguments;
  // The login dialog of the login-dialog mode; true when the member logged in. Without one the
  // window's own small dialog runs.
  std::function<bool(QWidget* owner, TClientConfig& config, TLog& log)> LoginDialog;
  // Every message box goes here instead of on the screen (text, kind 0 error, 1 information).
  std::function<void(const QString& text, int kind)> MessageSink;
  // The web pane is a web engine view; tests may do without it.
  bool WebEngine = true;
  // Saves a picture of the window this long after a successful start, then closes it.
  QString ScreenshotFile;
  int ScreenshotDelayMs = 1500;
  // Closing the window ends the application's event loop.
  bool QuitOnClose = false;
};

class TfmMCMain : public QWidget, public IFolderWindow, public IWaitView {
  Q_OBJECT
 public:
  explicit TfmMCMain(TMainOptions options = TMainOptions(), QWidget* parent = nullptr);
  ~TfmMCMain() override;

  // The application ends: the start was refused or failed, or the program was told to end.
  bool Terminated() const { return FTerminated; }
  TStartMode StartMode() const { return FMode; }
  bool Started() const { return FStarted; }
  // The window's handle for the launcher's messages.
  std::uint32_t MessageHandle() const;

  // ---- Parts for the commands, the transfers and the tests
  TClientConfig& Config() { return *FConfig; }
  TMoneyInfo& Money() { return *FMoney; }
  TNetManager& Net() { return *FNet; }
  TWaitControl& Wait() { return *FWait; }
  TFolderReplies& Replies() { return *FReplies; }
  TMyFolder& MyTree() { return FMyTree; }
  TFriendFolder& FriendTree() { return FFriendTree; }
  TMyListView& MyList() { return FMyList; }
  TFriendListView& FriendList() { return FFriendList; }
  TFolderTreeView* MyTreeView() const { return FMyTreeView; }
  TFolderTreeView* FriendTreeView() const { return FFriendTreeView; }
  TFileListView* MyListView() const { return FMyListView; }
  TFileListView* FriendListView() const { return FFriendListView; }
  TKivStatusBar* StatusBar() const { return FStatus; }
  QLabel* UserLabel() const { return FUserLabel; }
  QLabel* CoinLabel() const { return FCoinLabel; }
  QLabel* PointLabel() const { return FPointLabel; }
  QLabel* NoteLabel() const { return FNoteLabel; }
  QLineEdit* SearchBox() const { return FSearch; }
  QWidget* BalancePanel() const { return FBalancePanel; }
  QMenuBar* Menus() const { return FMenus; }
  QString WebLoginUrl() const;
  // The last web navigation (the web login), for the tests.
  QString LastNavigation() const { return FLastNavigation; }
  QByteArray LastPostData() const { return FLastPostData; }

  // The transfer and chat windows, while they exist, keep the window from closing.
  void SetDownloadWindow(QWidget* w) { FDownloadWindow = w; }
  void SetUploadWindow(QWidget* w) { FUploadWindow = w; }
  void SetChatWindow(QWidget* w) { FChatWindow = w; }

  // Runs the start-up at once instead of from the 300 ms timer.
  void RunStartup();
  // Saves the geometry by the closing rules (the screen size given, or the window's screen).
  void SaveGeometry(const QSize& screen = QSize());

  // ---- IFolderWindow
  void ShowError(const ByteString& text) override;
  void ShowInformation(const ByteString& text) override;
  void SetStatusText(const ByteString& text) override;
  void BalanceChanged() override;
  void UploadSizeChanged(std::int64_t size) override;
  void Terminate() override;
  void AddWaitProgress(const ByteString& line) override;
  void ShowNoticePage(bool front) override;
  void DiscardInput() override;
  bool AskFolderPassword(const ByteString& title, const ByteString& password) override;
  void CloseLauncher() override;

  // ---- IWaitView
  void ShowStatusText(const ByteString& text) override { SetStatusText(text); }
  void ShowWaitWindow(const ByteString& text) override;
  void CloseWaitWindow() override;
  void RunLoopUntil(const std::function<bool()>& done) override;
  void ShowWaitError(const ByteString& text) override { ShowError(text); }

 signals:
  void StartupFinished(bool ok);
  void TerminateRequested();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void BuildPanes();
  void BuildTitleArea();
  void BuildMenus();
  void Message(const QString& text, int kind);
  bool OwnLoginDialog();
  void WebLogin();
  void StartFailed(bool cancelled);
  void SaveScreenshot();
  void ReadLoginBlock();

  TMainOptions FOptions;
  TStartMode FMode = TStartMode::Refused;
  bool FTerminated = false;
  bool FStarted = false;
  bool FStartupRan = false;
  bool FClosing = false;

  std::unique_ptr<TLog> FLog;
  TSMCustom FHandleBlock;
  TSMCustom FLoginBlockMemory;
  TLoginBlock FLoginBlock;
  std::unique_ptr<TClientConfig> FConfig;
  std::unique_ptr<TMoneyInfo> FMoney;
  std::unique_ptr<TPassData> FPassData;
  TResourceModule FSkin;
  TResourceModule FSounds;
  std::unique_ptr<TMessageHandler> FMessages;
  std::unique_ptr<TWaitControl> FWait;
  std::unique_ptr<TNetManager> FNet;
  std::unique_ptr<TNetFolderService> FService;
  std::unique_ptr<TFolderReplies> FReplies;
  std::unique_ptr<TLauncherLink> FLauncher;
  std::unique_ptr<TMessageWindow> FWindowMessages;

  TMyFolder FMyTree;
  TFriendFolder FFriendTree;
  TMyListView FMyList;
  TFriendListView FFriendList;
  TFolderTreeModel* FMyTreeModel = nullptr;
  TFolderTreeModel* FFriendTreeModel = nullptr;
  TFileListModel* FMyListModel = nullptr;
  TFileListModel* FFriendListModel = nullptr;
  TFolderTreeView* FMyTreeView = nullptr;
  TFolderTreeView* FFriendTreeView = nullptr;
  TFileListView* FMyListView = nullptr;
  TFileListView* FFriendListView = nullptr;

  TMainFrame* FFrame = nullptr;
  QMenuBar* FMenus = nullptr;
  QLabel* FTitle = nullptr;
  QLabel* FUserLabel = nullptr;
  QLabel* FCoinLabel = nullptr;
  QLabel* FPointLabel = nullptr;
  QLabel* FNoteLabel = nullptr;
  QLineEdit* FSearch = nullptr;
  QWidget* FBalancePanel = nullptr;
  QPushButton* FUploadSizeButton = nullptr;
  QLabel* FBalanceCoins = nullptr;
  QLabel* FBalancePoints = nullptr;
  QSplitter* FVertical = nullptr;
  QSplitter* FUpper = nullptr;
  QSplitter* FLower = nullptr;
  QStackedWidget* FMyPane = nullptr;
  QStackedWidget* FLowerPane = nullptr;
  TWebPane* FWebPane = nullptr;
  TKivStatusBar* FStatus = nullptr;
  QPointer<TfmMessage> FWaitWindow;

  QTimer FStartTimer;
  QTimer FExitTimer;
  QPointer<QWidget> FDownloadWindow;
  QPointer<QWidget> FUploadWindow;
  QPointer<QWidget> FChatWindow;
  QString FLastNavigation;
  QByteArray FLastPostData;
  bool FServerErrorShown = false;
};

}  // namespace vantori
