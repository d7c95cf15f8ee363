// The settings object: first start, write-through setters, damaged values, the saved
// password and the server-address file.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "platform/TempHome.h"
#include "platform/UPaths.h"
#include "protocol/ProtocolConstants.h"
#include "settings/UClientConfig.h"
#include "settings/ULog.h"

namespace vantori {
namespace {

using testing::FailRenames;

std::string RegistryPath() {
  return ConfigRoot() + "/registry.txt";
}
std::string Sub(const char* sub) {
  return *sub ? std::string(kConfigKey) + "\\" + sub : std::string(kConfigKey);
}

class ClientConfigTest : public testing::TempHomeTest {
 protected:
  void TearDown() override {
    ::unsetenv("VANTORI_HOST");
    ::unsetenv("VANTORI_BASE_PORT");
    testing::TempHomeTest::TearDown();
  }
  // Prepares the store before the configuration is created.
  TRegistryStore& Seed() {
    EnsureDirectory(ConfigRoot());
    if (!FSeed) FSeed = std::make_unique<TRegistryStore>(RegistryPath());
    return *FSeed;
  }
  std::string LogText() {
    std::string all;
    for (const auto& e : std::filesystem::directory_iterator(DataRoot() + "/Log")) {
      std::string s;
      ReadWholeFile(e.path().string(), s);
      all += s;
    }
    return all;
  }

 private:
  std::unique_ptr<TRegistryStore> FSeed;
};

TEST_F(ClientConfigTest, FirstStartOnACleanMachine) {
  TClientConfig cfg;
  TRegistryStore reg(RegistryPath());
  for (const TConfigValueInfo& v : TClientConfig::StoredValues()) {
    EXPECT_EQ(reg.ValueExists(Sub(v.SubKey), v.Name), v.Mode == TReadMode::OrCreate)
        << v.SubKey << "/" << v.Name;
    if (v.Mode == TReadMode::OrCreate) {
      EXPECT_EQ(reg.GetDataType(Sub(v.SubKey), v.Name), v.Type) << v.Name;
    }
  }
  for (const char* sub : {"MainForm", "DownTab", "SearchForm", "ChatForm", "NoteForm", "BoardForm",
                          "UploadForm", "DownLoadForm"})
    EXPECT_TRUE(reg.KeyExists(Sub(sub))) << sub;

  // Stored defaults that differ from a zero value.
  EXPECT_EQ(reg.ReadInteger(kConfigKey, "Download Speed Limit"), -1);
  EXPECT_EQ(reg.ReadInteger(kConfigKey, "UpType"), 6);
  EXPECT_EQ(reg.ReadInteger(kConfigKey, "SearchPageCount"), 30);
  EXPECT_TRUE(reg.ReadBool(kConfigKey, "DefaultPlayer"));
  EXPECT_EQ(reg.ReadString(kConfigKey, "DefaultFont"), kGulim);
  EXPECT_EQ(reg.ReadString(kConfigKey, "Download Path"), DataRoot() + "/DownLoad");
  EXPECT_EQ(reg.ReadInteger(Sub("DownTab"), "DownSizeWidth"), 140);
  EXPECT_EQ(reg.ReadInteger(Sub("ChatForm"), "ChatFontSize"), 9);
  EXPECT_EQ(reg.ReadString(Sub("ChatForm"), "ChatFontName"), kGulim);
  // Defaults of values that are only read when present.
  EXPECT_TRUE(cfg.ClientLockWindow());
  EXPECT_TRUE(cfg.OpenSearch());
  EXPECT_FALSE(cfg.AdminShow());
  EXPECT_TRUE(cfg.NotFlatRate);
  EXPECT_TRUE(cfg.LoggedIn);
  EXPECT_EQ(cfg.StorageTerm, 30);

  EXPECT_TRUE(std::filesystem::is_directory(DataRoot() + "/DownLoad"));
  TIniFile ini(ConfigRoot() + "/sakx.inf");
  EXPECT_EQ(ini.ReadString("Server Info", "Server Address", ""), "127.0.0.1");
  EXPECT_EQ(ini.ReadString("Server Info", "ChatServerAddr", ""), "127.0.0.1");
  EXPECT_EQ(cfg.LoginServerAddress(), "127.0.0.1");
  EXPECT_EQ(cfg.MainServerAddress(), "");
  EXPECT_EQ(cfg.BasePort(), proto::kDefaultBasePort);

  // A second start finds everything and writes nothing.
  auto guard = FailRenames();
  TLog log;
  TClientConfig again(&log);
  EXPECT_EQ(again.DownloadSpeedLimit(), -1);
  EXPECT_EQ(log.LastMessage(), "");
}

TEST_F(ClientConfigTest, SettersWriteOnlyOnChange) {
  TClientConfig cfg;
  {
    // With every write failing, an unchanged value must not even try.
    auto guard = FailRenames();
    cfg.SetDownloadSpeedLimit(-1);
    cfg.SetUserID("");
    cfg.SetDefaultPlayer(true);
    cfg.SetUploadFormLeft(0);
    EXPECT_THROW(cfg.SetDownloadSpeedLimit(100), ERegistryError);
  }
  EXPECT_EQ(cfg.DownloadSpeedLimit(), 100);  // kept, and written with the next change
  cfg.SetUserID("kim");
  cfg.SetDefaultPlayer(false);
  cfg.SetUploadFormLeft(17);
  cfg.SetChatAlias("\xB1\xBC");
  TClientConfig again;
  EXPECT_EQ(again.DownloadSpeedLimit(), 100);
  EXPECT_EQ(again.UserID(), "kim");
  EXPECT_FALSE(again.DefaultPlayer());
  EXPECT_EQ(again.UploadFormLeft(), 17);
  EXPECT_EQ(again.ChatAlias(), "\xB1\xBC");
  // Never read at start, written when it changes.
  again.SetUploadServerAddr("10.0.0.9");
  EXPECT_EQ(TRegistryStore(RegistryPath()).ReadString(kConfigKey, "Upload Server Addr"), "10.0.0.9");
  EXPECT_EQ(TClientConfig().UploadServerAddr(), "");
}

TEST_F(ClientConfigTest, ValuesOfTheWrongTypeFallBackToTheirDefaults) {
  Seed().WriteString(kConfigKey, "User Seq", "abc");
  Seed().WriteInteger(kConfigKey, "Download Path", 5);
  Seed().WriteString(kConfigKey, "AdminShow", "yes");
  Seed().WriteString(Sub("ChatForm"), "ChatFontSize", "big");
  TLog log;
  TClientConfig cfg(&log);
  EXPECT_EQ(cfg.UserSeq(), 0);
  EXPECT_EQ(cfg.DownloadPath(), DataRoot() + "/DownLoad");
  EXPECT_FALSE(cfg.AdminShow());
  EXPECT_EQ(cfg.ChatFontSize(), 9);
  TRegistryStore reg(RegistryPath());
  EXPECT_EQ(reg.ReadInteger(kConfigKey, "User Seq"), 0);  // replaced
  EXPECT_EQ(reg.ReadInteger(Sub("ChatForm"), "ChatFontSize"), 9);
  EXPECT_EQ(reg.GetDataType(kConfigKey, "AdminShow"), TRegDataType::String);  // read-if-present: left alone
  const std::string text = LogText();
  EXPECT_NE(text.find("\"User Seq\" has the wrong type"), std::string::npos);
  EXPECT_NE(text.find("\"AdminShow\" has the wrong type"), std::string::npos);
}

TEST_F(ClientConfigTest, ReadIfPresentValuesAreRead) {
  Seed().WriteBool(kConfigKey, "AdminShow", true);
  Seed().WriteBool(kConfigKey, "wjddorahem", false);
  Seed().WriteBool(kConfigKey, "FixMainServer", true);
  Seed().WriteString(kConfigKey, "MainServerAddr", "10.0.0.5");
  Seed().WriteBool(Sub("SearchForm"), "OpenSearch", false);
  TClientConfig cfg;
  EXPECT_TRUE(cfg.AdminShow());
  EXPECT_FALSE(cfg.NotFlatRate);
  EXPECT_TRUE(cfg.FixMainServer());
  EXPECT_EQ(cfg.MainServerAddr(), "10.0.0.5");
  EXPECT_FALSE(cfg.OpenSearch());
}

TEST_F(ClientConfigTest, FontCheckFallsBackToGulim) {
  Seed().WriteString(kConfigKey, "DefaultFont", "Nowhere Sans");
  TClientConfig::TOptions missing;
  missing.FontInstalled = [](const std::string& name) { return name == kGulim; };
  EXPECT_EQ(TClientConfig(nullptr, missing).DefaultFont(), kGulim);
  TClientConfig::TOptions present;
  present.FontInstalled = [](const std::string&) { return true; };
  EXPECT_EQ(TClientConfig(nullptr, present).DefaultFont(), "Nowhere Sans");
}

// Builds a saved password value from words.
std::vector<std::uint8_t> Words(std::initializer_list<std::uint32_t> words) {
  std::vector<std::uint8_t> out;
  for (std::uint32_t w : words)
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(w >> (8 * i)));
  return out;
}

TEST(SavedPassword, ValueFormat) {
  const std::uint32_t off = proto::kScrambleCountOffset;
  const struct {
    const char* what;
    std::vector<std::uint8_t> value;
    std::string password;
  } cases[] = {
      // 'h' = 104: b even, 8-byte entry; 'i' = 105: b odd and positive, 12-byte entry.
      {"even and odd b", Words({0, 2 + off, 10, 114, 10, 115, 7}), "hi"},
      // b odd but negative as a signed word: no extra word.
      {"odd negative b", Words({0, 2 + off, 0x80000001u - 'x', 0x80000001u, 5, 5 + 'y'}), "xy"},
      {"low 8 bits only", Words({0, 1 + off, 101, 101 + 0x141}), "A"},
      {"zero count", Words({0, off}), ""},
      {"negative count", Words({0, off - 4}), ""},
      {"entry cut short", Words({0, 2 + off, 10, 114}), ""},
      {"extra word missing", Words({0, 1 + off, 10, 115}), ""},
      {"shorter than the header", {1, 2, 3}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(TClientConfig::DecodeSavedPassword(c.value), c.password) << c.what;
}

TEST_F(ClientConfigTest, SavedPasswordIsReadOnlyWhenSaving) {
  const auto value = Words({0, 2 + proto::kScrambleCountOffset, 10, 114, 10, 115, 7});
  Seed().WriteBinary(kConfigKey, "Password", value);
  EXPECT_EQ(TClientConfig().SavedPassword(), "");
  Seed().WriteBool(kConfigKey, "Save Password", true);
  EXPECT_EQ(TClientConfig().SavedPassword(), "hi");
  Seed().WriteString(kConfigKey, "Password", "hi");
  EXPECT_EQ(TClientConfig().SavedPassword(), "");
}

TEST_F(ClientConfigTest, ServerFileEnvironmentAndChatAddress) {
  EnsureDirectory(ConfigRoot());
  std::ofstream(ConfigRoot() + "/sakx.inf") << "[Server Info]\nServer Address=10.1.1.1\n";
  {
    TClientConfig cfg;
    EXPECT_EQ(cfg.LoginServerAddress(), "10.1.1.1");
    EXPECT_EQ(cfg.ChatServerAddress(), "127.0.0.1");  // the missing key was filled in
    cfg.SetChatServerAddress("10.9.9.9");
    cfg.SaveChatServerAddress();
  }
  TIniFile ini(ConfigRoot() + "/sakx.inf");
  EXPECT_EQ(ini.ReadString("Server Info", "ChatServerAddr", ""), "10.9.9.9");
  EXPECT_EQ(ini.ReadString("Server Info", "Server Address", ""), "10.1.1.1");

  ::setenv("VANTORI_HOST", "127.0.0.2", 1);
  ::setenv("VANTORI_BASE_PORT", "20000", 1);
  TClientConfig cfg;
  EXPECT_EQ(cfg.LoginServerAddress(), "127.0.0.2");
  EXPECT_EQ(cfg.ChatServerAddress(), "127.0.0.2");
  EXPECT_EQ(cfg.DefaultChatHost(), "127.0.0.2");
  EXPECT_EQ(cfg.BasePort(), 20000);
  EXPECT_EQ(TIniFile(ConfigRoot() + "/sakx.inf").ReadString("Server Info", "Server Address", ""), "10.1.1.1");
  ::setenv("VANTORI_BASE_PORT", "70000", 1);
  EXPECT_EQ(TClientConfig().BasePort(), 7128);
}

TEST_F(ClientConfigTest, StartsWhenNothingCanBeWritten) {
  // The data root is a file: no folder can be made below it, nothing can be logged.
  std::filesystem::create_directories(Home);
  std::ofstream(Home + "/data") << "x";
  auto guard = FailRenames();
  TLog log;
  TClientConfig cfg(&log);
  EXPECT_EQ(cfg.UpType(), 6);
  EXPECT_EQ(cfg.LoginServerAddress(), "127.0.0.1");
  EXPECT_FALSE(std::filesystem::exists(RegistryPath()));
}

}  // namespace
}  // namespace vantori
