#include "settings/UClientConfig.h"

#include <cstdlib>

#include "platform/UPaths.h"
#include "settings/UFunction.h"
#include "settings/ULog.h"

namespace vantori {

namespace {

constexpr const char* kSubKeys[] = {"MainForm", "DownTab",   "SearchForm", "ChatForm",
                                    "NoteForm", "BoardForm", "UploadForm", "DownLoadForm"};

std::uint16_t BasePortFromEnvironment() {
  const char* env = std::getenv("VANTORI_BASE_PORT");
  if (env == nullptr || *env == '\0') return 7128;
  char* end = nullptr;
  const long v = std::strtol(env, &end, 10);
  // The highest offset in use is + 10.
  if (end == nullptr || *end != '\0' || v < 1 || v > 65535 - 10) return 7128;
  return static_cast<std::uint16_t>(v);
}

}  // namespace

const std::vector<TConfigValueInfo>& TClientConfig::StoredValues() {
  static const std::vector<TConfigValueInfo> kValues = {
      {"", "User ID", TRegDataType::String, TReadMode::OrCreate},
      {"", "User Seq", TRegDataType::Integer, TReadMode::OrCreate},
      {"", "Save Password", TRegDataType::Boolean, TReadMode::OrCreate},
      {"", "Password", TRegDataType::Binary, TReadMode::IfPresent},
      {"", "Save Pub Folder Password", TRegDataType::Boolean, TReadMode::OrCreate},
      {"", "Download Path", TRegDataType::String, TReadMode::OrCreate},
      {"", "Down Dir Dialog", TRegDataType::Boolean, TReadMode::OrCreate},
      {"", "Friend Folder Simple", TRegDataType::Boolean, TReadMode::OrCreate},
      {"", "My Folder Simple", TRegDataType::Boolean, TReadMode::OrCreate},
      {"", "Down Slow", TRegDataType::Boolean, TReadMode::OrCreate},
      {"", "Up Slow", TRegDataType::Boolean, TReadMode::OrCreate},
      {"", "Download Speed Limit", TRegDataType::Integer, TReadMode::OrCreate},
      {"", "Upload Speed Limit", TRegDataType::Integer, TReadMode::OrCreate},
      {"", "UpType", TRegDataType::Integer, TReadMode::OrCreate},
      {"", "Down Alarm Index", TRegDataType::Integer, TReadMode::OrCreate},
      {"", "Up Alarm Index", TRegDataType::Integer, TReadMode::OrCreate},
      {"", "SearchPageCount", TRegDataType::Integer, TReadMode::OrCreate},
      {"", "PlayerFile", TRegDataType::String, TReadMode::OrCreate},
      {"", "DefaultPlayer", TRegDataType::Boolean, TReadMode::OrCreate},
      {"", "DefaultFont", TRegDataType::String, TReadMode::OrCreate},
      {"", "Note Arrived Sound", TRegDataType::Boolean, TReadMode::OrCreate},
      {"", "Upload Server Addr", TRegDataType::String, TReadMode::NeverRead},
      {"", "AdminShow", TRegDataType::Boolean, TReadMode::IfPresent},
      {"", "UpServerAddr", TRegDataType::String, TReadMode::IfPresent},
      {"", "UpAdmin", TRegDataType::Boolean, TReadMode::IfPresent},
      {"", "AdminUpload", TRegDataType::Boolean, TReadMode::IfPresent},
      {"", "AdminDown", TRegDataType::Boolean, TReadMode::IfPresent},
      {"", "SearchShow", TRegDataType::Boolean, TReadMode::IfPresent},
      {"", "ClientLockWindow", TRegDataType::Boolean, TReadMode::IfPresent},
      {"", "FixMainServer", TRegDataType::Boolean, TReadMode::IfPresent},
      {"", "MainServerAddr", TRegDataType::String, TReadMode::IfPresent},
      {"", "wjddorahem", TRegDataType::Boolean, TReadMode::IfPresent},
      {"MainForm", "MainTabBtn", TRegDataType::Integer, TReadMode::OrCreate},
      {"MainForm", "MainFormLeft", TRegDataType::Integer, TReadMode::OrCreate},
      {"MainForm", "MainFormTop", TRegDataType::Integer, TReadMode::OrCreate},
      {"MainForm", "MainFormWidth", TRegDataType::Integer, TReadMode::OrCreate},
      {"MainForm", "MainFormHeight", TRegDataType::Integer, TReadMode::OrCreate},
      {"MainForm", "FriendPanelHeight", TRegDataType::Integer, TReadMode::OrCreate},
      {"MainForm", "MyViewWidth", TRegDataType::Integer, TReadMode::OrCreate},
      {"MainForm", "FriendViewWidth", TRegDataType::Integer, TReadMode::OrCreate},
      {"DownTab", "DownFileWidth", TRegDataType::Integer, TReadMode::OrCreate},
      {"DownTab", "DownUserWidth", TRegDataType::Integer, TReadMode::OrCreate},
      {"DownTab", "DownStatusWidth", TRegDataType::Integer, TReadMode::OrCreate},
      {"DownTab", "DownSpeedWidth", TRegDataType::Integer, TReadMode::OrCreate},
      {"DownTab", "DownSizeWidth", TRegDataType::Integer, TReadMode::OrCreate},
      {"DownTab", "DownTimeWidth", TRegDataType::Integer, TReadMode::OrCreate},
      {"SearchForm", "OpenSearch", TRegDataType::Boolean, TReadMode::IfPresent},
      {"SearchForm", "AdminSearch", TRegDataType::Boolean, TReadMode::IfPresent},
      {"SearchForm", "SearchFormLeft", TRegDataType::Integer, TReadMode::OrCreate},
      {"SearchForm", "SearchFormTop", TRegDataType::Integer, TReadMode::OrCreate},
      {"SearchForm", "SearchFormWidth", TRegDataType::Integer, TReadMode::OrCreate},
      {"SearchForm", "SearchFormHeight", TRegDataType::Integer, TReadMode::OrCreate},
      {"ChatForm", "ChatFormLeft", TRegDataType::Integer, TReadMode::OrCreate},
      {"ChatForm", "ChatFormTop", TRegDataType::Integer, TReadMode::OrCreate},
      {"ChatForm", "ChatFormWidth", TRegDataType::Integer, TReadMode::OrCreate},
      {"ChatForm", "ChatFormHeight", TRegDataType::Integer, TReadMode::OrCreate},
      {"ChatForm", "ChatAlias", TRegDataType::String, TReadMode::OrCreate},
      {"ChatForm", "ChatSoundOn", TRegDataType::Boolean, TReadMode::OrCreate},
      {"ChatForm", "Chat Alarm Index", TRegDataType::Integer, TReadMode::OrCreate},
      {"ChatForm", "ChatFontSize", TRegDataType::Integer, TReadMode::OrCreate},
      {"ChatForm", "ChatTextColor", TRegDataType::Integer, TReadMode::OrCreate},
      {"ChatForm", "ChatFontName", TRegDataType::String, TReadMode::OrCreate},
      {"ChatForm", "Chat Send Sound", TRegDataType::Boolean, TReadMode::OrCreate},
      {"ChatForm", "ChatTempTimer", TRegDataType::Boolean, TReadMode::IfPresent},
      {"NoteForm", "NoteFormLeft", TRegDataType::Integer, TReadMode::OrCreate},
      {"NoteForm", "NoteFormTop", TRegDataType::Integer, TReadMode::OrCreate},
      {"NoteForm", "NoteFormWidth", TRegDataType::Integer, TReadMode::OrCreate},
      {"NoteForm", "NoteFormHeight", TRegDataType::Integer, TReadMode::OrCreate},
      {"BoardForm", "BoardFormLeft", TRegDataType::Integer, TReadMode::OrCreate},
      {"BoardForm", "BoardFormTop", TRegDataType::Integer, TReadMode::OrCreate},
      {"BoardForm", "BoardFormWidth", TRegDataType::Integer, TReadMode::OrCreate},
      {"BoardForm", "BoardFormHeight", TRegDataType::Integer, TReadMode::OrCreate},
      {"UploadForm", "Left", TRegDataType::Integer, TReadMode::OrCreate},
      {"UploadForm", "Top", TRegDataType::Integer, TReadMode::OrCreate},
      {"UploadForm", "Width", TRegDataType::Integer, TReadMode::OrCreate},
      {"UploadForm", "Height", TRegDataType::Integer, TReadMode::OrCreate},
      {"DownLoadForm", "Left", TRegDataType::Integer, TReadMode::OrCreate},
      {"DownLoadForm", "Top", TRegDataType::Integer, TReadMode::OrCreate},
      {"DownLoadForm", "Width", TRegDataType::Integer, TReadMode::OrCreate},
      {"DownLoadForm", "Height", TRegDataType::Integer, TReadMode::OrCreate},
  };
  return kValues;
}

TClientConfig::TClientConfig(TLog* log) : TClientConfig(log, TOptions{}) {}

TClientConfig::TClientConfig(TLog* log, TOptions options)
    : FLog(log),
      FOptions(std::move(options)),
      FConfigRoot(FOptions.ConfigRoot.empty() ? ConfigRoot() : FOptions.ConfigRoot),
      FDataRoot(FOptions.DataRoot.empty() ? DataRoot() : FOptions.DataRoot),
      FBasePort(BasePortFromEnvironment()) {
  if (const char* host = std::getenv("VANTORI_HOST"); host != nullptr) FHostOverride = host;
  if (!EnsureDirectory(FConfigRoot)) ReportLoadError("cannot create the folder \"" + FConfigRoot + "\"");
  FStore = std::make_unique<TRegistryStore>(FConfigRoot + "/registry.txt");
  FServerFile = std::make_unique<TIniFile>(FConfigRoot + "/" + kServerFileName);

  LoadServerFile();

  // One write of the store for everything created below.
  FStore->BeginUpdate();
  try {
    FStore->CreateKey(kConfigKey);
    for (const char* sub : kSubKeys) FStore->CreateKey(KeyOf(sub));
  } catch (const std::exception& e) {
    ReportLoadError(e.what());
  }
  Load("", "User ID", FUserID, "", TReadMode::OrCreate);
  Load("", "User Seq", FUserSeq, 0, TReadMode::OrCreate);
  Load("", "Save Password", FSavePassword, false, TReadMode::OrCreate);
  LoadSavedPassword();
  Load("", "Save Pub Folder Password", FSavePubFolderPassword, false, TReadMode::OrCreate);
  Load("", "Download Path", FDownloadPath, FDataRoot + "/DownLoad", TReadMode::OrCreate);
  Load("", "Down Dir Dialog", FDownDirDialog, false, TReadMode::OrCreate);
  Load("", "Friend Folder Simple", FFriendFolderSimple, false, TReadMode::OrCreate);
  Load("", "My Folder Simple", FMyFolderSimple, false, TReadMode::OrCreate);
  Load("", "Down Slow", FDownSlow, false, TReadMode::OrCreate);
  Load("", "Up Slow", FUpSlow, false, TReadMode::OrCreate);
  Load("", "Download Speed Limit", FDownloadSpeedLimit, -1, TReadMode::OrCreate);
  Load("", "Upload Speed Limit", FUploadSpeedLimit, -1, TReadMode::OrCreate);
  Load("", "UpType", FUpType, 6, TReadMode::OrCreate);
  Load("", "Down Alarm Index", FDownAlarmIndex, 0, TReadMode::OrCreate);
  Load("", "Up Alarm Index", FUpAlarmIndex, 0, TReadMode::OrCreate);
  Load("", "SearchPageCount", FSearchPageCount, 30, TReadMode::OrCreate);
  Load("", "PlayerFile", FPlayerFile, "", TReadMode::OrCreate);
  Load("", "DefaultPlayer", FDefaultPlayer, true, TReadMode::OrCreate);
  Load("", "DefaultFont", FDefaultFont, kGulim, TReadMode::OrCreate);
  Load("", "Note Arrived Sound", FNoteArrivedSound, true, TReadMode::OrCreate);
  Load("", "AdminShow", FAdminShow, false, TReadMode::IfPresent);
  Load("", "UpServerAddr", FUpServerAddr, "", TReadMode::IfPresent);
  Load("", "UpAdmin", FUpAdmin, false, TReadMode::IfPresent);
  Load("", "AdminUpload", FAdminUpload, false, TReadMode::IfPresent);
  Load("", "AdminDown", FAdminDown, false, TReadMode::IfPresent);
  Load("", "SearchShow", FSearchShow, false, TReadMode::IfPresent);
  Load("", "ClientLockWindow", FClientLockWindow, true, TReadMode::IfPresent);
  Load("", "FixMainServer", FFixMainServer, false, TReadMode::IfPresent);
  Load("", "MainServerAddr", FMainServerAddr, "", TReadMode::IfPresent);
  Load("", "wjddorahem", FWjddorahem, true, TReadMode::IfPresent);
  Load("MainForm", "MainTabBtn", FMainTabBtn, 0, TReadMode::OrCreate);
  Load("MainForm", "MainFormLeft", FMainFormLeft, 0, TReadMode::OrCreate);
  Load("MainForm", "MainFormTop", FMainFormTop, 0, TReadMode::OrCreate);
  Load("MainForm", "MainFormWidth", FMainFormWidth, 0, TReadMode::OrCreate);
  Load("MainForm", "MainFormHeight", FMainFormHeight, 0, TReadMode::OrCreate);
  Load("MainForm", "FriendPanelHeight", FFriendPanelHeight, 0, TReadMode::OrCreate);
  Load("MainForm", "MyViewWidth", FMyViewWidth, 0, TReadMode::OrCreate);
  Load("MainForm", "FriendViewWidth", FFriendViewWidth, 0, TReadMode::OrCreate);
  Load("DownTab", "DownFileWidth", FDownFileWidth, 200, TReadMode::OrCreate);
  Load("DownTab", "DownUserWidth", FDownUserWidth, 70, TReadMode::OrCreate);
  Load("DownTab", "DownStatusWidth", FDownStatusWidth, 60, TReadMode::OrCreate);
  Load("DownTab", "DownSpeedWidth", FDownSpeedWidth, 80, TReadMode::OrCreate);
  Load("DownTab", "DownSizeWidth", FDownSizeWidth, 140, TReadMode::OrCreate);
  Load("DownTab", "DownTimeWidth", FDownTimeWidth, 70, TReadMode::OrCreate);
  Load("SearchForm", "OpenSearch", FOpenSearch, true, TReadMode::IfPresent);
  Load("SearchForm", "AdminSearch", FAdminSearch, false, TReadMode::IfPresent);
  Load("SearchForm", "SearchFormLeft", FSearchFormLeft, 0, TReadMode::OrCreate);
  Load("SearchForm", "SearchFormTop", FSearchFormTop, 0, TReadMode::OrCreate);
  Load("SearchForm", "SearchFormWidth", FSearchFormWidth, 0, TReadMode::OrCreate);
  Load("SearchForm", "SearchFormHeight", FSearchFormHeight, 0, TReadMode::OrCreate);
  Load("ChatForm", "ChatFormLeft", FChatFormLeft, 0, TReadMode::OrCreate);
  Load("ChatForm", "ChatFormTop", FChatFormTop, 0, TReadMode::OrCreate);
  Load("ChatForm", "ChatFormWidth", FChatFormWidth, 0, TReadMode::OrCreate);
  Load("ChatForm", "ChatFormHeight", FChatFormHeight, 0, TReadMode::OrCreate);
  Load("ChatForm", "ChatAlias", FChatAlias, "", TReadMode::OrCreate);
  Load("ChatForm", "ChatSoundOn", FChatSoundOn, true, TReadMode::OrCreate);
  Load("ChatForm", "Chat Alarm Index", FChatAlarmIndex, 0, TReadMode::OrCreate);
  Load("ChatForm", "ChatFontSize", FChatFontSize, 9, TReadMode::OrCreate);
  Load("ChatForm", "ChatTextColor", FChatTextColor, 0, TReadMode::OrCreate);
  Load("ChatForm", "ChatFontName", FChatFontName, kGulim, TReadMode::OrCreate);
  Load("ChatForm", "Chat Send Sound", FChatSendSound, false, TReadMode::OrCreate);
  Load("ChatForm", "ChatTempTimer", FChatTempTimer, false, TReadMode::IfPresent);
  Load("NoteForm", "NoteFormLeft", FNoteFormLeft, 0, TReadMode::OrCreate);
  Load("NoteForm", "NoteFormTop", FNoteFormTop, 0, TReadMode::OrCreate);
  Load("NoteForm", "NoteFormWidth", FNoteFormWidth, 0, TReadMode::OrCreate);
  Load("NoteForm", "NoteFormHeight", FNoteFormHeight, 0, TReadMode::OrCreate);
  Load("BoardForm", "BoardFormLeft", FBoardFormLeft, 0, TReadMode::OrCreate);
  Load("BoardForm", "BoardFormTop", FBoardFormTop, 0, TReadMode::OrCreate);
  Load("BoardForm", "BoardFormWidth", FBoardFormWidth, 0, TReadMode::OrCreate);
  Load("BoardForm", "BoardFormHeight", FBoardFormHeight, 0, TReadMode::OrCreate);
  Load("UploadForm", "Left", FUploadFormLeft, 0, TReadMode::OrCreate);
  Load("UploadForm", "Top", FUploadFormTop, 0, TReadMode::OrCreate);
  Load("UploadForm", "Width", FUploadFormWidth, 0, TReadMode::OrCreate);
  Load("UploadForm", "Height", FUploadFormHeight, 0, TReadMode::OrCreate);
  Load("DownLoadForm", "Left", FDownLoadFormLeft, 0, TReadMode::OrCreate);
  Load("DownLoadForm", "Top", FDownLoadFormTop, 0, TReadMode::OrCreate);
  Load("DownLoadForm", "Width", FDownLoadFormWidth, 0, TReadMode::OrCreate);
  Load("DownLoadForm", "Height", FDownLoadFormHeight, 0, TReadMode::OrCreate);
  try {
    FStore->EndUpdate();
  } catch (const std::exception& e) {
    ReportLoadError(e.what());
  }
  NotFlatRate = FWjddorahem;

  // The default download folder exists whatever "Download Path" says.
  if (!EnsureDirectory(FDataRoot + "/DownLoad"))
    ReportLoadError("cannot create the folder \"" + FDataRoot + "/DownLoad\"");

  if (FOptions.FontInstalled && !FOptions.FontInstalled(FDefaultFont)) FDefaultFont = kGulim;
}

TClientConfig::~TClientConfig() = default;

void TClientConfig::ReportLoadError(const std::string& what) {
  if (FLog != nullptr) FLog->Write("ClientConfig : " + what);
}

std::string TClientConfig::KeyOf(const char* subKey) const {
  return *subKey == '\0' ? std::string(kConfigKey) : std::string(kConfigKey) + "\\" + subKey;
}

// ---- Server-address file ---------------------------------------------------------

std::string TClientConfig::DefaultLoginHost() const {
  return FHostOverride.empty() ? std::string(kDefaultLoginHost) : FHostOverride;
}

std::string TClientConfig::DefaultChatHost() const {
  return FHostOverride.empty() ? std::string(kDefaultChatHost) : FHostOverride;
}

void TClientConfig::LoadServerFile() {
  struct TEntry {
    const char* Key;
    const char* DefaultHost;
    std::string* Field;
  };
  const TEntry entries[] = {{"Server Address", kDefaultLoginHost, &FLoginServerAddress},
                            {"ChatServerAddr", kDefaultChatHost, &FChatServerAddress}};
  for (const TEntry& e : entries) {
    std::string value;
    if (FServerFile->ValueExists(kServerSection, e.Key)) {
      value = FServerFile->ReadString(kServerSection, e.Key, std::string());
    } else {
      value = ResolveHost(e.DefaultHost);
      try {
        FServerFile->WriteString(kServerSection, e.Key, value);
      } catch (const std::exception& ex) {
        ReportLoadError(ex.what());
      }
    }
    // VANTORI_HOST points this run elsewhere without changing the file.
    if (!FHostOverride.empty()) value = ResolveHost(FHostOverride);
    std::lock_guard<std::mutex> lock(FValueLock);
    *e.Field = value;
  }
}

void TClientConfig::SaveChatServerAddress() {
  FServerFile->WriteString(kServerSection, "ChatServerAddr", ChatServerAddress());
}

std::string TClientConfig::LoginServerAddress() const {
  std::lock_guard<std::mutex> lock(FValueLock);
  return FLoginServerAddress;
}

std::string TClientConfig::ChatServerAddress() const {
  std::lock_guard<std::mutex> lock(FValueLock);
  return FChatServerAddress;
}

std::string TClientConfig::MainServerAddress() const {
  std::lock_guard<std::mutex> lock(FValueLock);
  return FMainServerAddress;
}

void TClientConfig::SetLoginServerAddress(const std::string& address) {
  std::lock_guard<std::mutex> lock(FValueLock);
  FLoginServerAddress = address;
}

void TClientConfig::SetChatServerAddress(const std::string& address) {
  std::lock_guard<std::mutex> lock(FValueLock);
  FChatServerAddress = address;
}

void TClientConfig::SetMainServerAddress(const std::string& address) {
  std::lock_guard<std::mutex> lock(FValueLock);
  FMainServerAddress = address;
}

// ---- Loading ---------------------------------------------------------------------

void TClientConfig::Load(const char* subKey, const char* name, std::string& field, const std::string& def,
                         TReadMode mode) {
  const std::string key = KeyOf(subKey);
  const auto type = FStore->GetDataType(key, name);
  if (type == TRegDataType::String) {
    field = FStore->ReadString(key, name);
    return;
  }
  field = def;
  if (type.has_value())
    ReportLoadError(std::string("value \"") + name + "\" has the wrong type; its default is used");
  if (mode != TReadMode::OrCreate) return;
  try {
    FStore->WriteString(key, name, def);
  } catch (const std::exception& e) {
    ReportLoadError(e.what());
  }
}

void TClientConfig::Load(const char* subKey, const char* name, std::int32_t& field, std::int32_t def,
                         TReadMode mode) {
  const std::string key = KeyOf(subKey);
  const auto type = FStore->GetDataType(key, name);
  if (type == TRegDataType::Integer || type == TRegDataType::Boolean) {
    field = FStore->ReadInteger(key, name);
    return;
  }
  field = def;
  if (type.has_value())
    ReportLoadError(std::string("value \"") + name + "\" has the wrong type; its default is used");
  if (mode != TReadMode::OrCreate) return;
  try {
    FStore->WriteInteger(key, name, def);
  } catch (const std::exception& e) {
    ReportLoadError(e.what());
  }
}

void TClientConfig::Load(const char* subKey, const char* name, bool& field, bool def, TReadMode mode) {
  const std::string key = KeyOf(subKey);
  const auto type = FStore->GetDataType(key, name);
  if (type == TRegDataType::Integer || type == TRegDataType::Boolean) {
    field = FStore->ReadBool(key, name);
    return;
  }
  field = def;
  if (type.has_value())
    ReportLoadError(std::string("value \"") + name + "\" has the wrong type; its default is used");
  if (mode != TReadMode::OrCreate) return;
  try {
    FStore->WriteBool(key, name, def);
  } catch (const std::exception& e) {
    ReportLoadError(e.what());
  }
}

void TClientConfig::LoadSavedPassword() {
  FSavedPassword.clear();
  if (!FSavePassword) return;
  const auto type = FStore->GetDataType(kConfigKey, "Password");
  if (!type.has_value()) return;
  if (*type != TRegDataType::Binary) {
    ReportLoadError("value \"Password\" has the wrong type; no password is used");
    return;
  }
  FSavedPassword = DecodeSavedPassword(FStore->ReadBinary(kConfigKey, "Password"));
}

std::string TClientConfig::DecodeSavedPassword(const std::vector<std::uint8_t>& value) {
  std::string out;
  if (!DecodeCountedText(value.data(), value.size(), out)) out.clear();
  return out;
}

std::string TClientConfig::SavedPassword() const {
  std::lock_guard<std::mutex> lock(FValueLock);
  return FSavedPassword;
}

// ---- Setters ---------------------------------------------------------------------

void TClientConfig::WriteThrough(const char* subKey, const char* name, std::string& field,
                                 const std::string& value) {
  {
    std::lock_guard<std::mutex> lock(FValueLock);
    if (field == value) return;
    field = value;
  }
  FStore->WriteString(KeyOf(subKey), name, value);
}

void TClientConfig::WriteThrough(const char* subKey, const char* name, std::int32_t& field,
                                 std::int32_t value) {
  {
    std::lock_guard<std::mutex> lock(FValueLock);
    if (field == value) return;
    field = value;
  }
  FStore->WriteInteger(KeyOf(subKey), name, value);
}

void TClientConfig::WriteThrough(const char* subKey, const char* name, bool& field, bool value) {
  {
    std::lock_guard<std::mutex> lock(FValueLock);
    if (field == value) return;
    field = value;
  }
  FStore->WriteBool(KeyOf(subKey), name, value);
}

void TClientConfig::SetUserID(const std::string& value) {
  WriteThrough("", "User ID", FUserID, value);
}
void TClientConfig::SetUserSeq(std::int32_t value) {
  WriteThrough("", "User Seq", FUserSeq, value);
}
void TClientConfig::SetSavePubFolderPassword(bool value) {
  WriteThrough("", "Save Pub Folder Password", FSavePubFolderPassword, value);
}
void TClientConfig::SetDownloadPath(const std::string& value) {
  WriteThrough("", "Download Path", FDownloadPath, value);
}
void TClientConfig::SetDownDirDialog(bool value) {
  WriteThrough("", "Down Dir Dialog", FDownDirDialog, value);
}
void TClientConfig::SetFriendFolderSimple(bool value) {
  WriteThrough("", "Friend Folder Simple", FFriendFolderSimple, value);
}
void TClientConfig::SetMyFolderSimple(bool value) {
  WriteThrough("", "My Folder Simple", FMyFolderSimple, value);
}
void TClientConfig::SetDownSlow(bool value) {
  WriteThrough("", "Down Slow", FDownSlow, value);
}
void TClientConfig::SetUpSlow(bool value) {
  WriteThrough("", "Up Slow", FUpSlow, value);
}
void TClientConfig::SetDownloadSpeedLimit(std::int32_t value) {
  WriteThrough("", "Download Speed Limit", FDownloadSpeedLimit, value);
}
void TClientConfig::SetUploadSpeedLimit(std::int32_t value) {
  WriteThrough("", "Upload Speed Limit", FUploadSpeedLimit, value);
}
void TClientConfig::SetUpType(std::int32_t value) {
  WriteThrough("", "UpType", FUpType, value);
}
void TClientConfig::SetDownAlarmIndex(std::int32_t value) {
  WriteThrough("", "Down Alarm Index", FDownAlarmIndex, value);
}
void TClientConfig::SetUpAlarmIndex(std::int32_t value) {
  WriteThrough("", "Up Alarm Index", FUpAlarmIndex, value);
}
void TClientConfig::SetSearchPageCount(std::int32_t value) {
  WriteThrough("", "SearchPageCount", FSearchPageCount, value);
}
void TClientConfig::SetPlayerFile(const std::string& value) {
  WriteThrough("", "PlayerFile", FPlayerFile, value);
}
void TClientConfig::SetDefaultPlayer(bool value) {
  WriteThrough("", "DefaultPlayer", FDefaultPlayer, value);
}
void TClientConfig::SetDefaultFont(const std::string& value) {
  WriteThrough("", "DefaultFont", FDefaultFont, value);
}
void TClientConfig::SetNoteArrivedSound(bool value) {
  WriteThrough("", "Note Arrived Sound", FNoteArrivedSound, value);
}
void TClientConfig::SetUploadServerAddr(const std::string& value) {
  WriteThrough("", "Upload Server Addr", FUploadServerAddr, value);
}
void TClientConfig::SetMainTabBtn(std::int32_t value) {
  WriteThrough("MainForm", "MainTabBtn", FMainTabBtn, value);
}
void TClientConfig::SetMainFormLeft(std::int32_t value) {
  WriteThrough("MainForm", "MainFormLeft", FMainFormLeft, value);
}
void TClientConfig::SetMainFormTop(std::int32_t value) {
  WriteThrough("MainForm", "MainFormTop", FMainFormTop, value);
}
void TClientConfig::SetMainFormWidth(std::int32_t value) {
  WriteThrough("MainForm", "MainFormWidth", FMainFormWidth, value);
}
void TClientConfig::SetMainFormHeight(std::int32_t value) {
  WriteThrough("MainForm", "MainFormHeight", FMainFormHeight, value);
}
void TClientConfig::SetFriendPanelHeight(std::int32_t value) {
  WriteThrough("MainForm", "FriendPanelHeight", FFriendPanelHeight, value);
}
void TClientConfig::SetMyViewWidth(std::int32_t value) {
  WriteThrough("MainForm", "MyViewWidth", FMyViewWidth, value);
}
void TClientConfig::SetFriendViewWidth(std::int32_t value) {
  WriteThrough("MainForm", "FriendViewWidth", FFriendViewWidth, value);
}
void TClientConfig::SetSearchFormLeft(std::int32_t value) {
  WriteThrough("SearchForm", "SearchFormLeft", FSearchFormLeft, value);
}
void TClientConfig::SetSearchFormTop(std::int32_t value) {
  WriteThrough("SearchForm", "SearchFormTop", FSearchFormTop, value);
}
void TClientConfig::SetSearchFormWidth(std::int32_t value) {
  WriteThrough("SearchForm", "SearchFormWidth", FSearchFormWidth, value);
}
void TClientConfig::SetSearchFormHeight(std::int32_t value) {
  WriteThrough("SearchForm", "SearchFormHeight", FSearchFormHeight, value);
}
void TClientConfig::SetChatFormLeft(std::int32_t value) {
  WriteThrough("ChatForm", "ChatFormLeft", FChatFormLeft, value);
}
void TClientConfig::SetChatFormTop(std::int32_t value) {
  WriteThrough("ChatForm", "ChatFormTop", FChatFormTop, value);
}
void TClientConfig::SetChatFormWidth(std::int32_t value) {
  WriteThrough("ChatForm", "ChatFormWidth", FChatFormWidth, value);
}
void TClientConfig::SetChatFormHeight(std::int32_t value) {
  WriteThrough("ChatForm", "ChatFormHeight", FChatFormHeight, value);
}
void TClientConfig::SetChatAlias(const std::string& value) {
  WriteThrough("ChatForm", "ChatAlias", FChatAlias, value);
}
void TClientConfig::SetChatSoundOn(bool value) {
  WriteThrough("ChatForm", "ChatSoundOn", FChatSoundOn, value);
}
void TClientConfig::SetChatAlarmIndex(std::int32_t value) {
  WriteThrough("ChatForm", "Chat Alarm Index", FChatAlarmIndex, value);
}
void TClientConfig::SetChatFontSize(std::int32_t value) {
  WriteThrough("ChatForm", "ChatFontSize", FChatFontSize, value);
}
void TClientConfig::SetChatTextColor(std::int32_t value) {
  WriteThrough("ChatForm", "ChatTextColor", FChatTextColor, value);
}
void TClientConfig::SetChatFontName(const std::string& value) {
  WriteThrough("ChatForm", "ChatFontName", FChatFontName, value);
}
void TClientConfig::SetNoteFormLeft(std::int32_t value) {
  WriteThrough("NoteForm", "NoteFormLeft", FNoteFormLeft, value);
}
void TClientConfig::SetNoteFormTop(std::int32_t value) {
  WriteThrough("NoteForm", "NoteFormTop", FNoteFormTop, value);
}
void TClientConfig::SetNoteFormWidth(std::int32_t value) {
  WriteThrough("NoteForm", "NoteFormWidth", FNoteFormWidth, value);
}
void TClientConfig::SetNoteFormHeight(std::int32_t value) {
  WriteThrough("NoteForm", "NoteFormHeight", FNoteFormHeight, value);
}
void TClientConfig::SetUploadFormLeft(std::int32_t value) {
  WriteThrough("UploadForm", "Left", FUploadFormLeft, value);
}
void TClientConfig::SetUploadFormTop(std::int32_t value) {
  WriteThrough("UploadForm", "Top", FUploadFormTop, value);
}
void TClientConfig::SetUploadFormWidth(std::int32_t value) {
  WriteThrough("UploadForm", "Width", FUploadFormWidth, value);
}
void TClientConfig::SetUploadFormHeight(std::int32_t value) {
  WriteThrough("UploadForm", "Height", FUploadFormHeight, value);
}
void TClientConfig::SetDownLoadFormLeft(std::int32_t value) {
  WriteThrough("DownLoadForm", "Left", FDownLoadFormLeft, value);
}
void TClientConfig::SetDownLoadFormTop(std::int32_t value) {
  WriteThrough("DownLoadForm", "Top", FDownLoadFormTop, value);
}
void TClientConfig::SetDownLoadFormWidth(std::int32_t value) {
  WriteThrough("DownLoadForm", "Width", FDownLoadFormWidth, value);
}
void TClientConfig::SetDownLoadFormHeight(std::int32_t value) {
  WriteThrough("DownLoadForm", "Height", FDownLoadFormHeight, value);
}

// ---- Run-time values -------------------------------------------------------------

#define VANTORI_RUNTIME_VALUE(Type, Param, Name, Field) \
  Type TClientConfig::Name() const {                    \
    std::lock_guard<std::mutex> lock(FValueLock);       \
    return Field;                                       \
  }                                                     \
  void TClientConfig::Set##Name(Param value) {          \
    std::lock_guard<std::mutex> lock(FValueLock);       \
    Field = value;                                      \
  }

VANTORI_RUNTIME_VALUE(std::string, const std::string&, Password, FPassword)
VANTORI_RUNTIME_VALUE(std::string, const std::string&, UserName, FUserName)
VANTORI_RUNTIME_VALUE(std::int64_t, std::int64_t, TotalUploadSize, FTotalUploadSize)
VANTORI_RUNTIME_VALUE(double, double, ServerTime, FServerTime)
VANTORI_RUNTIME_VALUE(std::string, const std::string&, Credit, FCredit)
VANTORI_RUNTIME_VALUE(std::string, const std::string&, CdtCard, FCdtCard)
VANTORI_RUNTIME_VALUE(std::string, const std::string&, Mobile, FMobile)
VANTORI_RUNTIME_VALUE(std::string, const std::string&, MblRet, FMblRet)
VANTORI_RUNTIME_VALUE(std::string, const std::string&, Board, FBoard)
VANTORI_RUNTIME_VALUE(double, double, FlatRateTerm, FFlatRateTerm)

#undef VANTORI_RUNTIME_VALUE

std::string TClientConfig::LocalIP() const {
  std::lock_guard<std::mutex> lock(FValueLock);
  return FLocalIP;
}

std::uint32_t TClientConfig::LocalIPNumber() const {
  std::lock_guard<std::mutex> lock(FValueLock);
  return FLocalIPNumber;
}

void TClientConfig::SetLocalIP(const std::string& dotted, std::uint32_t networkOrder) {
  std::lock_guard<std::mutex> lock(FValueLock);
  FLocalIP = dotted;
  FLocalIPNumber = networkOrder;
}

std::string TClientConfig::Ssn1() const {
  std::lock_guard<std::mutex> lock(FValueLock);
  return FSsn1;
}

std::string TClientConfig::Ssn2() const {
  std::lock_guard<std::mutex> lock(FValueLock);
  return FSsn2;
}

void TClientConfig::SetSsn(const std::string& ssn1, const std::string& ssn2) {
  std::lock_guard<std::mutex> lock(FValueLock);
  FSsn1 = ssn1;
  FSsn2 = ssn2;
}

}  // namespace vantori
