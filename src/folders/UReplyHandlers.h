#pragma once
// The replies of the folder service as the main window handles them: the dispatcher that
// routes every message of the main server by its type, the handlers that rebuild the
// trees and lists, confirm or undo what commands changed, keep the cache current, feed
// the download and upload starts and update the balance, and the selection handlers of
// the two trees where the listing requests start.
//
// Everything here runs on the user-interface thread. The window side (message boxes,
// the status bar, other windows) is reached through IFolderWindow, the requests through
// IFolderService, so that tests drive the handlers without a display or a server.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "folders/UClientItems.h"
#include "folders/UFileList.h"
#include "folders/UFolderTree.h"
#include "protocol/UParameter.h"
#include "settings/ULoginManager.h"

namespace vantori {

class TClientConfig;
class TLog;
class TMoneyInfo;
class TNetManager;
class TWaitControl;

// Texts of the handlers (cp949).
extern const char kWaitMyFolderText[];
extern const char kWaitMyClubsText[];
extern const char kWaitFriendsText[];
extern const char kWaitFriendFilesText[];
extern const char kAdultRefusedText[];
extern const char kConnectionLostText[];
extern const char kFileMovedText[];
extern const char kFolderMovedText[];
extern const char kWithdrawnText[];
extern const char kUploadTotalText[];
extern const char kFolderFoundText[];
extern const char kFileFoundText[];
extern const char kArrangingDownloadText[];
extern const char kBalanceErrorText[];
extern const char kClubHomeCaption[];

// The windows that replies are passed on to.
enum class TReplyTarget {
  FolderDialog,
  FriendDialog,
  SearchWindow,
  UploadWindow,
  DownloadWindow,
  FileDialog,
  NotesWindow,
  PointChangeWindow,
  CouponWindow,
  StorageExtension,
  RemainingPeriodWindow,
  PointGiftWindow,
};

// The main window as the handlers see it.
class IFolderWindow {
 public:
  virtual ~IFolderWindow() = default;
  // Message boxes of the error and the information kind.
  virtual void ShowError(const ByteString& text) = 0;
  virtual void ShowInformation(const ByteString& text) = 0;
  virtual void SetStatusText(const ByteString& text) = 0;
  // Hands a reply to another window; false when that window is not open.
  virtual bool PassToWindow(TReplyTarget, const TDataParameter&) { return false; }
  virtual bool IsWindowOpen(TReplyTarget) const { return false; }
  // Painting of the whole screen is held while a tree or list is rebuilt.
  virtual void LockPainting(bool) {}
  // The coin and point displays; the upload-size button.
  virtual void BalanceChanged() {}
  virtual void UploadSizeChanged(std::int64_t) {}
  // Stops the transfers of the download and upload windows.
  virtual void StopTransfers() {}
  // Ends the program.
  virtual void Terminate() {}
  // Adds a line to the please-wait window when it is open.
  virtual void AddWaitProgress(const ByteString&) {}
  // The notice page of the service root: to the front, or to the back behind my list.
  virtual void ShowNoticePage(bool) {}
  // Drops pending mouse-move and key input.
  virtual void DiscardInput() {}
  // Asks for another member's folder password; true when the right one was given.
  virtual bool AskFolderPassword(const ByteString& /*title*/, const ByteString& /*password*/) {
    return false;
  }
  // Notes arrived (73 and 890 with notes), or the check for unread ones (890 without).
  virtual void NotesDelivered(const TDataParameter&) {}
  // The file dialog, the point change and the coupon windows learn of a lost connection.
  virtual void ConnectionLostElsewhere() {}
  // Asks the launcher window to close.
  virtual void CloseLauncher() {}
  // The login information reply was handled.
  virtual void LoginInfoHandled(const TLoginInfoOutcome&) {}
};

// The requests the selection handlers send.
class IFolderService {
 public:
  virtual ~IFolderService() = default;
  virtual void ListMyFolder(const TFolderItem& node) = 0;
  virtual void ListMyClubs(const TFolderItem& node) = 0;
  virtual void ListFriends(const TFolderItem& node, std::int32_t groupSeq) = 0;
  virtual void ListFriendFolder(const TFolderItem& node) = 0;
  virtual void Disconnect() = 0;
};

// IFolderService over the folder-service manager.
class TNetFolderService : public IFolderService {
 public:
  explicit TNetFolderService(TNetManager& net) : FNet(net) {}
  void ListMyFolder(const TFolderItem& node) override;
  void ListMyClubs(const TFolderItem& node) override;
  void ListFriends(const TFolderItem& node, std::int32_t groupSeq) override;
  void ListFriendFolder(const TFolderItem& node) override;
  void Disconnect() override;

 private:
  TNetManager& FNet;
};

// Reads the success flag at position 1 and the failure code.
bool ReplySucceeded(const TDataParameter& reply);
// Listing replies (582, 584, 282) fail only when they carry "result" and position 1 is false.
bool ListingFailed(const TDataParameter& reply);
// The text of a failed reply's "Code" (the unregistered-error text when it has none).
ByteString ReplyErrorText(const TDataParameter& reply);

class TFolderReplies {
 public:
  using TTickFn = std::function<std::uint32_t()>;

  TFolderReplies(TMyFolder& myTree, TFriendFolder& friendTree, TMyListView& myList,
                 TFriendListView& friendList, TClientConfig& config, TMoneyInfo& money, TWaitControl& wait,
                 IFolderWindow& window, IFolderService* service = nullptr, TLog* log = nullptr,
                 TTickFn tick = TTickFn());

  void SetService(IFolderService* service) { FService = service; }

  // The main window's handler of every message of the main server. A handler's error (a
  // missing parameter, say) is raised to the caller after the handler's wait has ended.
  void Dispatch(const TDataParameter& reply);
  // The handler of a lost connection.
  void ConnectionLost();

  // ---- Selection handlers of the trees
  void MyNodeSelected(TTreeNode* node);
  void MyNodeChanging(TTreeNode* node, bool& allow);
  void FriendNodeSelected(TTreeNode* node);
  void FriendNodeChanging(TTreeNode* node, bool& allow);
  // Wires the four handlers to the trees' selection events.
  void ConnectSelectionHandlers();

  // ---- State the commands and the start-up use
  // Set once the start-up has received the login information; the selection handlers
  // do nothing before.
  bool Ready = false;
  bool MyListingReceived = false;
  bool FriendListingReceived = false;
  bool BalanceReceived = false;
  // The first listing after login waits in the please-wait window, later ones in the status bar.
  bool FirstMyWait = true;
  bool FirstFriendWait = true;
  // The login information reply: whether it was handled, and its outcome.
  bool LoginInfoReceived = false;
  TLoginInfoOutcome LoginInfo;
  // The base address of the service's web site (club links).
  ByteString WebSiteBase;
  // Position of the last selected node of my tree (its level, for the ".." row).
  TTreeNode* LastMyNode = nullptr;

  // The cut buffers of the paste command (not owned).
  TFolderItems* CutFolders = nullptr;
  TFFItems* CutItems = nullptr;
  // The folders a move of list items takes away, remembered when it is sent; the final
  // reply deletes their nodes. Empty: the selected folder rows of my list at that time.
  std::vector<std::int32_t> MovedFolderSeqs;

  // A delete command names the node it deletes; the reply of the server removes it only
  // when the deletion succeeded.
  void ExpectDeletion(TKXFolder& tree, const TTreeNode* node);

 private:
  void Generic(const TDataParameter& m);
  void LoginInformation(const TDataParameter& m);
  void FolderCreated(const TDataParameter& m);
  void NodeDeleted(const TDataParameter& m);
  void FolderRenamed(const TDataParameter& m);
  void FolderMoved(const TDataParameter& m);
  void ItemsMoved(const TDataParameter& m);
  void FriendsOfNode(const TDataParameter& m);
  void FriendDeleted(const TDataParameter& m);
  void CopiedFromFriend(const TDataParameter& m);
  void ItemsDeleted(const TDataParameter& m);
  void FileRenamed(const TDataParameter& m);
  void Balance(const TDataParameter& m);
  void NotesDelivered(const TDataParameter& m);
  void CutItemsPasted(const TDataParameter& m);
  void SharingChanged(const TDataParameter& m);
  void Withdrawn(const TDataParameter& m);
  void UploadRegistered(const TDataParameter& m);
  void UploadTotal(const TDataParameter& m);
  void DownloadListingAll(const TDataParameter& m);
  void GroupsAndFriends(const TDataParameter& m);
  void GroupCreated(const TDataParameter& m);
  void GroupRenamed(const TDataParameter& m);
  void GroupMoved(const TDataParameter& m, bool friendMove);
  void MyClubs(const TDataParameter& m);
  void MyFolderListing(const TDataParameter& m);
  void FriendFolderListing(const TDataParameter& m);
  void DownloadFolderFound(const TDataParameter& m, bool web);
  void DownloadFileFound(const TDataParameter& m);
  void DownloadListingDone(const TDataParameter& m, bool web);
  void CouponBalance(const TDataParameter& m);
  void ServiceSettings(const TDataParameter& m);

  void Pass(TReplyTarget target, const TDataParameter& m) { FWindow.PassToWindow(target, m); }
  void ShowReplyError(const TDataParameter& m);
  void EndWait();
  void LogText(const std::string& text) const;
  bool LockEnabled() const;

  TMyFolder& FMyTree;
  TFriendFolder& FFriendTree;
  TMyListView& FMyList;
  TFriendListView& FFriendList;
  TClientConfig& FConfig;
  TMoneyInfo& FMoney;
  TWaitControl& FWait;
  IFolderWindow& FWindow;
  IFolderService* FService;
  TLog* FLog;
  TTickFn FTick;

  TKXFolder* FDeleteTree = nullptr;
  std::int32_t FDeleteHandle = 0;
};

// Builds the local paths of a download listing level by level: every sub-folder under the
// first folder of the level above whose Seq is its Owner (and, for web listings, whose
// UserSeq matches); every file takes the path of its folder. Names from the server become
// single path components (no separators, never "." or ".."); a sub-folder is placed once,
// so a cycle in the listing ends; files whose folder is not in the listing are removed.
// Returns the number of files removed.
int BuildDownloadPaths(TDownFolderItems& folders, const TDownFolderItems& subFolders, TDownFileItems& files,
                       bool matchUser);
// A name from the server as one safe component of a local path.
ByteString SafePathComponent(const ByteString& name);

}  // namespace vantori
