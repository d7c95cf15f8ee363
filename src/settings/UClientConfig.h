#pragma once
// The client's one settings object. It loads every persistent setting when it is
// created - from the settings store (key "Software\Orvane\VTRI\Config" and its
// subkeys) and from the server-address file "sakx.inf" in the configuration root -
// keeps them in memory and writes every change back at once. It also holds the
// network values and the run-time values that the login fills in.
//
// Created and changed on the user-interface thread; other threads only read it.
// Texts are cp949 byte strings.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/UIniFile.h"
#include "platform/URegistry.h"

namespace vantori {

class TLog;

// "굴림" in cp949, the fallback user-interface font.
inline constexpr char kGulim[] = "\xB1\xBC\xB8\xB2";

// Deployment defaults of the server host names (resolved when "sakx.inf" lacks them).
inline constexpr char kDefaultLoginHost[] = "localhost";
inline constexpr char kDefaultChatHost[] = "localhost";
// The settings store key of the configuration.
inline constexpr char kConfigKey[] = "Software\\Orvane\\VTRI\\Config";
// The server-address file and its section.
inline constexpr char kServerFileName[] = "sakx.inf";
inline constexpr char kServerSection[] = "Server Info";

enum class TReadMode {
  OrCreate,   // read when present, else the default is written at once
  IfPresent,  // read when present, else the default is used and nothing is written
  NeverRead,  // only written
};

struct TConfigValueInfo {
  const char* SubKey;  // "" for the main key
  const char* Name;
  TRegDataType Type;
  TReadMode Mode;
};

class TClientConfig {
 public:
  // Answers whether a screen font of that (cp949) name is installed.
  using TFontInstalled = std::function<bool(const std::string& fontName)>;

  struct TOptions {
    std::string ConfigRoot;        // empty: ConfigRoot()
    std::string DataRoot;          // empty: DataRoot()
    TFontInstalled FontInstalled;  // empty: every font counts as installed
  };

  // Loads everything; never fails on a store that cannot be read or written (the
  // defaults are used and the log says what went wrong).
  explicit TClientConfig(TLog* log = nullptr);
  TClientConfig(TLog* log, TOptions options);
  ~TClientConfig();
  TClientConfig(const TClientConfig&) = delete;
  TClientConfig& operator=(const TClientConfig&) = delete;

  // Every value of the store that the configuration knows, in loading order.
  static const std::vector<TConfigValueInfo>& StoredValues();

  TRegistryStore& Store() { return *FStore; }
  TIniFile& ServerFile() { return *FServerFile; }
  const std::string& DataFolder() const { return FDataRoot; }

  // ---- Network values
  // 7128, or VANTORI_BASE_PORT.
  std::uint16_t BasePort() const { return FBasePort; }
  std::string LoginServerAddress() const;
  std::string ChatServerAddress() const;
  std::string MainServerAddress() const;
  // Run-time changes (command line, re-resolved chat host, login reply); not saved.
  void SetLoginServerAddress(const std::string& address);
  void SetChatServerAddress(const std::string& address);
  void SetMainServerAddress(const std::string& address);
  // The host names the addresses default to (VANTORI_HOST when set).
  std::string DefaultLoginHost() const;
  std::string DefaultChatHost() const;
  // Writes the current chat server address into "sakx.inf"; raises EIniError when
  // the file cannot be written.
  void SaveChatServerAddress();

  // The password saved in the store ("Password"), read at start when "Save Password"
  // is set; empty otherwise or when the value is damaged.
  std::string SavedPassword() const;
  // Decodes a saved password value; empty on any damage.
  static std::string DecodeSavedPassword(const std::vector<std::uint8_t>& value);

  // Setters write through to the store only when the value changes. A store that
  // cannot be written raises ERegistryError; the new value is kept in memory and
  // written with the next successful change.

  // ---- main key
  std::string UserID() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FUserID;
  }
  void SetUserID(const std::string& value);
  std::int32_t UserSeq() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FUserSeq;
  }
  void SetUserSeq(std::int32_t value);
  bool SavePassword() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FSavePassword;
  }
  bool SavePubFolderPassword() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FSavePubFolderPassword;
  }
  void SetSavePubFolderPassword(bool value);
  std::string DownloadPath() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDownloadPath;
  }
  void SetDownloadPath(const std::string& value);
  bool DownDirDialog() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDownDirDialog;
  }
  void SetDownDirDialog(bool value);
  bool FriendFolderSimple() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FFriendFolderSimple;
  }
  void SetFriendFolderSimple(bool value);
  bool MyFolderSimple() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FMyFolderSimple;
  }
  void SetMyFolderSimple(bool value);
  bool DownSlow() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDownSlow;
  }
  void SetDownSlow(bool value);
  bool UpSlow() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FUpSlow;
  }
  void SetUpSlow(bool value);
  std::int32_t DownloadSpeedLimit() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDownloadSpeedLimit;
  }
  void SetDownloadSpeedLimit(std::int32_t value);
  std::int32_t UploadSpeedLimit() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FUploadSpeedLimit;
  }
  void SetUploadSpeedLimit(std::int32_t value);
  std::int32_t UpType() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FUpType;
  }
  void SetUpType(std::int32_t value);
  std::int32_t DownAlarmIndex() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDownAlarmIndex;
  }
  void SetDownAlarmIndex(std::int32_t value);
  std::int32_t UpAlarmIndex() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FUpAlarmIndex;
  }
  void SetUpAlarmIndex(std::int32_t value);
  std::int32_t SearchPageCount() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FSearchPageCount;
  }
  void SetSearchPageCount(std::int32_t value);
  std::string PlayerFile() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FPlayerFile;
  }
  void SetPlayerFile(const std::string& value);
  bool DefaultPlayer() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDefaultPlayer;
  }
  void SetDefaultPlayer(bool value);
  std::string DefaultFont() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDefaultFont;
  }
  void SetDefaultFont(const std::string& value);
  bool NoteArrivedSound() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FNoteArrivedSound;
  }
  void SetNoteArrivedSound(bool value);
  std::string UploadServerAddr() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FUploadServerAddr;
  }
  void SetUploadServerAddr(const std::string& value);
  bool AdminShow() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FAdminShow;
  }
  std::string UpServerAddr() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FUpServerAddr;
  }
  bool UpAdmin() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FUpAdmin;
  }
  bool AdminUpload() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FAdminUpload;
  }
  bool AdminDown() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FAdminDown;
  }
  bool SearchShow() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FSearchShow;
  }
  bool ClientLockWindow() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FClientLockWindow;
  }
  bool FixMainServer() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FFixMainServer;
  }
  std::string MainServerAddr() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FMainServerAddr;
  }
  bool Wjddorahem() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FWjddorahem;
  }

  // ---- subkey "MainForm"
  std::int32_t MainTabBtn() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FMainTabBtn;
  }
  void SetMainTabBtn(std::int32_t value);
  std::int32_t MainFormLeft() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FMainFormLeft;
  }
  void SetMainFormLeft(std::int32_t value);
  std::int32_t MainFormTop() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FMainFormTop;
  }
  void SetMainFormTop(std::int32_t value);
  std::int32_t MainFormWidth() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FMainFormWidth;
  }
  void SetMainFormWidth(std::int32_t value);
  std::int32_t MainFormHeight() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FMainFormHeight;
  }
  void SetMainFormHeight(std::int32_t value);
  std::int32_t FriendPanelHeight() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FFriendPanelHeight;
  }
  void SetFriendPanelHeight(std::int32_t value);
  std::int32_t MyViewWidth() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FMyViewWidth;
  }
  void SetMyViewWidth(std::int32_t value);
  std::int32_t FriendViewWidth() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FFriendViewWidth;
  }
  void SetFriendViewWidth(std::int32_t value);

  // ---- subkey "DownTab"
  std::int32_t DownFileWidth() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDownFileWidth;
  }
  std::int32_t DownUserWidth() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDownUserWidth;
  }
  std::int32_t DownStatusWidth() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDownStatusWidth;
  }
  std::int32_t DownSpeedWidth() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDownSpeedWidth;
  }
  std::int32_t DownSizeWidth() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDownSizeWidth;
  }
  std::int32_t DownTimeWidth() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDownTimeWidth;
  }

  // ---- subkey "SearchForm"
  bool OpenSearch() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FOpenSearch;
  }
  bool AdminSearch() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FAdminSearch;
  }
  std::int32_t SearchFormLeft() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FSearchFormLeft;
  }
  void SetSearchFormLeft(std::int32_t value);
  std::int32_t SearchFormTop() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FSearchFormTop;
  }
  void SetSearchFormTop(std::int32_t value);
  std::int32_t SearchFormWidth() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FSearchFormWidth;
  }
  void SetSearchFormWidth(std::int32_t value);
  std::int32_t SearchFormHeight() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FSearchFormHeight;
  }
  void SetSearchFormHeight(std::int32_t value);

  // ---- subkey "ChatForm"
  std::int32_t ChatFormLeft() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FChatFormLeft;
  }
  void SetChatFormLeft(std::int32_t value);
  std::int32_t ChatFormTop() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FChatFormTop;
  }
  void SetChatFormTop(std::int32_t value);
  std::int32_t ChatFormWidth() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FChatFormWidth;
  }
  void SetChatFormWidth(std::int32_t value);
  std::int32_t ChatFormHeight() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FChatFormHeight;
  }
  void SetChatFormHeight(std::int32_t value);
  std::string ChatAlias() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FChatAlias;
  }
  void SetChatAlias(const std::string& value);
  bool ChatSoundOn() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FChatSoundOn;
  }
  void SetChatSoundOn(bool value);
  std::int32_t ChatAlarmIndex() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FChatAlarmIndex;
  }
  void SetChatAlarmIndex(std::int32_t value);
  std::int32_t ChatFontSize() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FChatFontSize;
  }
  void SetChatFontSize(std::int32_t value);
  std::int32_t ChatTextColor() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FChatTextColor;
  }
  void SetChatTextColor(std::int32_t value);
  std::string ChatFontName() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FChatFontName;
  }
  void SetChatFontName(const std::string& value);
  bool ChatSendSound() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FChatSendSound;
  }
  bool ChatTempTimer() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FChatTempTimer;
  }

  // ---- subkey "NoteForm"
  std::int32_t NoteFormLeft() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FNoteFormLeft;
  }
  void SetNoteFormLeft(std::int32_t value);
  std::int32_t NoteFormTop() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FNoteFormTop;
  }
  void SetNoteFormTop(std::int32_t value);
  std::int32_t NoteFormWidth() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FNoteFormWidth;
  }
  void SetNoteFormWidth(std::int32_t value);
  std::int32_t NoteFormHeight() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FNoteFormHeight;
  }
  void SetNoteFormHeight(std::int32_t value);

  // ---- subkey "BoardForm"
  std::int32_t BoardFormLeft() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FBoardFormLeft;
  }
  std::int32_t BoardFormTop() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FBoardFormTop;
  }
  std::int32_t BoardFormWidth() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FBoardFormWidth;
  }
  std::int32_t BoardFormHeight() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FBoardFormHeight;
  }

  // ---- subkey "UploadForm"
  std::int32_t UploadFormLeft() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FUploadFormLeft;
  }
  void SetUploadFormLeft(std::int32_t value);
  std::int32_t UploadFormTop() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FUploadFormTop;
  }
  void SetUploadFormTop(std::int32_t value);
  std::int32_t UploadFormWidth() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FUploadFormWidth;
  }
  void SetUploadFormWidth(std::int32_t value);
  std::int32_t UploadFormHeight() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FUploadFormHeight;
  }
  void SetUploadFormHeight(std::int32_t value);

  // ---- subkey "DownLoadForm"
  std::int32_t DownLoadFormLeft() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDownLoadFormLeft;
  }
  void SetDownLoadFormLeft(std::int32_t value);
  std::int32_t DownLoadFormTop() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDownLoadFormTop;
  }
  void SetDownLoadFormTop(std::int32_t value);
  std::int32_t DownLoadFormWidth() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDownLoadFormWidth;
  }
  void SetDownLoadFormWidth(std::int32_t value);
  std::int32_t DownLoadFormHeight() const {
    std::lock_guard<std::mutex> lock(FValueLock);
    return FDownLoadFormHeight;
  }
  void SetDownLoadFormHeight(std::int32_t value);

  // ---- Run-time values (not saved)
  std::string LocalIP() const;
  std::uint32_t LocalIPNumber() const;  // network order
  void SetLocalIP(const std::string& dotted, std::uint32_t networkOrder);
  std::string Password() const;  // typed at login
  void SetPassword(const std::string& value);
  std::string UserName() const;
  void SetUserName(const std::string& value);
  std::int64_t TotalUploadSize() const;
  void SetTotalUploadSize(std::int64_t value);
  std::string Ssn1() const;
  std::string Ssn2() const;
  void SetSsn(const std::string& ssn1, const std::string& ssn2);
  double ServerTime() const;
  void SetServerTime(double value);
  std::string Credit() const;
  void SetCredit(const std::string& value);
  std::string CdtCard() const;
  void SetCdtCard(const std::string& value);
  std::string Mobile() const;
  void SetMobile(const std::string& value);
  std::string MblRet() const;
  void SetMblRet(const std::string& value);
  std::string Board() const;
  void SetBoard(const std::string& value);
  double FlatRateTerm() const;
  void SetFlatRateTerm(double days);

  // Flags and numbers that several threads read.
  std::atomic<bool> LoggedIn{true};
  std::atomic<bool> NotFlatRate{true};
  std::atomic<bool> AdultPermission{false};
  std::atomic<std::int32_t> StorageTerm{30};
  std::atomic<bool> FreeOwnFile{false};
  std::atomic<bool> Downloading{false};
  // Server time minus local time, in days.
  std::atomic<double> ServerTimeOffset{0.0};

 private:
  void LoadServerFile();
  void Load(const char* subKey, const char* name, std::string& field, const std::string& def, TReadMode mode);
  void Load(const char* subKey, const char* name, std::int32_t& field, std::int32_t def, TReadMode mode);
  void Load(const char* subKey, const char* name, bool& field, bool def, TReadMode mode);
  void LoadSavedPassword();
  void ReportLoadError(const std::string& what);
  std::string KeyOf(const char* subKey) const;
  void WriteThrough(const char* subKey, const char* name, std::string& field, const std::string& value);
  void WriteThrough(const char* subKey, const char* name, std::int32_t& field, std::int32_t value);
  void WriteThrough(const char* subKey, const char* name, bool& field, bool value);

  TLog* FLog;
  TOptions FOptions;
  std::string FConfigRoot;
  std::string FDataRoot;
  std::unique_ptr<TRegistryStore> FStore;
  std::unique_ptr<TIniFile> FServerFile;
  std::uint16_t FBasePort = 7128;
  std::string FHostOverride;

  mutable std::mutex FValueLock;
  std::string FLoginServerAddress;
  std::string FChatServerAddress;
  std::string FMainServerAddress;
  std::string FSavedPassword;

  std::string FLocalIP;
  std::uint32_t FLocalIPNumber = 0;
  std::string FPassword;
  std::string FUserName;
  std::int64_t FTotalUploadSize = 0;
  std::string FSsn1, FSsn2;
  double FServerTime = 0.0;
  std::string FCredit, FCdtCard, FMobile, FMblRet, FBoard;
  double FFlatRateTerm = 0.0;

  // main key
  std::string FUserID;
  std::int32_t FUserSeq = 0;
  bool FSavePassword = false;
  bool FSavePubFolderPassword = false;
  std::string FDownloadPath;
  bool FDownDirDialog = false;
  bool FFriendFolderSimple = false;
  bool FMyFolderSimple = false;
  bool FDownSlow = false;
  bool FUpSlow = false;
  std::int32_t FDownloadSpeedLimit = 0;
  std::int32_t FUploadSpeedLimit = 0;
  std::int32_t FUpType = 0;
  std::int32_t FDownAlarmIndex = 0;
  std::int32_t FUpAlarmIndex = 0;
  std::int32_t FSearchPageCount = 0;
  std::string FPlayerFile;
  bool FDefaultPlayer = false;
  std::string FDefaultFont;
  bool FNoteArrivedSound = false;
  std::string FUploadServerAddr;
  bool FAdminShow = false;
  std::string FUpServerAddr;
  bool FUpAdmin = false;
  bool FAdminUpload = false;
  bool FAdminDown = false;
  bool FSearchShow = false;
  bool FClientLockWindow = false;
  bool FFixMainServer = false;
  std::string FMainServerAddr;
  bool FWjddorahem = false;
  // MainForm
  std::int32_t FMainTabBtn = 0;
  std::int32_t FMainFormLeft = 0;
  std::int32_t FMainFormTop = 0;
  std::int32_t FMainFormWidth = 0;
  std::int32_t FMainFormHeight = 0;
  std::int32_t FFriendPanelHeight = 0;
  std::int32_t FMyViewWidth = 0;
  std::int32_t FFriendViewWidth = 0;
  // DownTab
  std::int32_t FDownFileWidth = 0;
  std::int32_t FDownUserWidth = 0;
  std::int32_t FDownStatusWidth = 0;
  std::int32_t FDownSpeedWidth = 0;
  std::int32_t FDownSizeWidth = 0;
  std::int32_t FDownTimeWidth = 0;
  // SearchForm
  bool FOpenSearch = false;
  bool FAdminSearch = false;
  std::int32_t FSearchFormLeft = 0;
  std::int32_t FSearchFormTop = 0;
  std::int32_t FSearchFormWidth = 0;
  std::int32_t FSearchFormHeight = 0;
  // ChatForm
  std::int32_t FChatFormLeft = 0;
  std::int32_t FChatFormTop = 0;
  std::int32_t FChatFormWidth = 0;
  std::int32_t FChatFormHeight = 0;
  std::string FChatAlias;
  bool FChatSoundOn = false;
  std::int32_t FChatAlarmIndex = 0;
  std::int32_t FChatFontSize = 0;
  std::int32_t FChatTextColor = 0;
  std::string FChatFontName;
  bool FChatSendSound = false;
  bool FChatTempTimer = false;
  // NoteForm
  std::int32_t FNoteFormLeft = 0;
  std::int32_t FNoteFormTop = 0;
  std::int32_t FNoteFormWidth = 0;
  std::int32_t FNoteFormHeight = 0;
  // BoardForm
  std::int32_t FBoardFormLeft = 0;
  std::int32_t FBoardFormTop = 0;
  std::int32_t FBoardFormWidth = 0;
  std::int32_t FBoardFormHeight = 0;
  // UploadForm
  std::int32_t FUploadFormLeft = 0;
  std::int32_t FUploadFormTop = 0;
  std::int32_t FUploadFormWidth = 0;
  std::int32_t FUploadFormHeight = 0;
  // DownLoadForm
  std::int32_t FDownLoadFormLeft = 0;
  std::int32_t FDownLoadFormTop = 0;
  std::int32_t FDownLoadFormWidth = 0;
  std::int32_t FDownLoadFormHeight = 0;
};

}  // namespace vantori
