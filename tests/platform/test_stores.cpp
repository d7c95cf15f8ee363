// The settings store, the ini file and the atomic writes below them.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "platform/TempHome.h"
#include "platform/UAtomicFile.h"
#include "platform/UIniFile.h"
#include "platform/UPaths.h"
#include "platform/URegistry.h"

namespace vantori {
namespace {

using testing::FailRenames;

std::string Slurp(const std::string& path) {
  std::string s;
  ReadWholeFile(path, s);
  return s;
}

class StoresTest : public testing::TempHomeTest {
 protected:
  std::string Path(const std::string& name) {
    EnsureDirectory(ConfigRoot());
    return ConfigRoot() + "/" + name;
  }
};

TEST_F(StoresTest, PathsFollowVantoriHome) {
  EXPECT_EQ(ConfigRoot(), Home + "/config");
  EXPECT_EQ(DataRoot(), Home + "/data");
  EXPECT_EQ(RuntimeRoot(), Home + "/run");
  EXPECT_TRUE(EnsureDirectory(DataRoot() + "/a/b"));
  EXPECT_TRUE(std::filesystem::is_directory(DataRoot() + "/a/b"));
}

TEST_F(StoresTest, AtomicWriteReplacesAndFailedRenameKeepsOldContent) {
  const std::string p = Path("f.txt");
  WriteFileAtomically(p, "old");
  EXPECT_EQ(Slurp(p), "old");
  struct stat st {};
  ASSERT_EQ(::stat(p.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  {
    auto guard = FailRenames();
    EXPECT_THROW(WriteFileAtomically(p, "new content"), EAtomicFileError);
  }
  EXPECT_EQ(Slurp(p), "old");
  // No temporary file is left behind.
  int files = 0;
  for (const auto& e : std::filesystem::directory_iterator(ConfigRoot())) files += e.is_regular_file();
  EXPECT_EQ(files, 1);
  WriteFileAtomically(p, "new");
  EXPECT_EQ(Slurp(p), "new");
}

TEST_F(StoresTest, RegistryTypedValuesSurviveReopening) {
  const std::string p = Path("reg.txt");
  const std::string text("a\"b\\c\nd\x01\xB1\xBC", 9);  // quote, backslash, line break, control, cp949
  {
    TRegistryStore reg(p);
    EXPECT_FALSE(reg.KeyExists("Software\\X"));
    reg.CreateKey("Software\\X\\Sub");
    reg.WriteString("Software\\X", "Name One", text);
    reg.WriteInteger("Software\\X", "Int", -7);
    reg.WriteBool("Software\\X", "Flag", true);
    reg.WriteBinary("Software\\X", "Bin", {0x00, 0xFF, 0x10});
    reg.WriteString("Software\\X", "Empty", "");
  }
  TRegistryStore reg(p);
  EXPECT_TRUE(reg.KeyExists("software\\x\\SUB"));
  EXPECT_EQ(reg.ReadString("Software\\X", "name one"), text);
  EXPECT_EQ(reg.ReadInteger("Software\\X", "Int"), -7);
  EXPECT_TRUE(reg.ReadBool("Software\\X", "Flag"));
  EXPECT_EQ(reg.ReadBinary("Software\\X", "Bin"), (std::vector<std::uint8_t>{0x00, 0xFF, 0x10}));
  EXPECT_EQ(reg.ReadString("Software\\X", "Empty"), "");
  EXPECT_EQ(reg.GetDataType("Software\\X", "Bin"), TRegDataType::Binary);
  EXPECT_FALSE(reg.ValueExists("Software\\X", "Missing"));
}

TEST_F(StoresTest, RegistryReadErrors) {
  TRegistryStore reg(Path("reg.txt"));
  reg.WriteString("K", "S", "text");
  reg.WriteBool("K", "B", false);
  EXPECT_THROW(reg.ReadInteger("K", "S"), ERegistryError);
  EXPECT_THROW(reg.ReadBinary("K", "S"), ERegistryError);
  EXPECT_THROW(reg.ReadString("K", "Missing"), ERegistryError);
  EXPECT_THROW(reg.ReadString("Nokey", "S"), ERegistryError);
  // Booleans are numbers 0 and 1.
  EXPECT_EQ(reg.ReadInteger("K", "B"), 0);
  EXPECT_TRUE(reg.DeleteValue("K", "S"));
  EXPECT_FALSE(reg.DeleteValue("K", "S"));
  EXPECT_FALSE(TRegistryStore(Path("reg.txt")).ValueExists("K", "S"));
}

TEST_F(StoresTest, RegistryIgnoresDamagedLines) {
  const std::string p = Path("reg.txt");
  std::ofstream(p) << "[K]\n\"Good\" = Integer:5\n\"Bad\" = Integer:12x\n\"Hex\" = Binary:0G\ngarbage\n"
                      "\"Open = String:\"x\n[Other]\n\"S\" = String:\"ok\"\n";
  TRegistryStore reg(p);
  EXPECT_EQ(reg.ReadInteger("K", "Good"), 5);
  EXPECT_FALSE(reg.ValueExists("K", "Bad"));
  EXPECT_FALSE(reg.ValueExists("K", "Hex"));
  EXPECT_EQ(reg.ReadString("Other", "S"), "ok");
}

TEST_F(StoresTest, RegistryFailedWriteKeepsFileAndRetriesLater) {
  const std::string p = Path("reg.txt");
  TRegistryStore reg(p);
  reg.WriteInteger("K", "A", 1);
  const std::string before = Slurp(p);
  {
    auto guard = FailRenames();
    EXPECT_THROW(reg.WriteInteger("K", "A", 2), ERegistryError);
  }
  EXPECT_EQ(Slurp(p), before);
  EXPECT_EQ(TRegistryStore(p).ReadInteger("K", "A"), 1);
  reg.WriteInteger("K", "B", 3);  // the pending change goes with the next write
  TRegistryStore again(p);
  EXPECT_EQ(again.ReadInteger("K", "A"), 2);
  EXPECT_EQ(again.ReadInteger("K", "B"), 3);
}

TEST_F(StoresTest, RegistryBatchWritesOnceAndKeepsOtherWritersChanges) {
  const std::string p = Path("reg.txt");
  TRegistryStore a(p);
  TRegistryStore b(p);
  a.BeginUpdate();
  a.WriteInteger("K", "A", 1);
  EXPECT_FALSE(TRegistryStore(p).ValueExists("K", "A"));
  b.WriteInteger("K", "B", 2);
  a.EndUpdate();
  TRegistryStore c(p);
  EXPECT_EQ(c.ReadInteger("K", "A"), 1);
  EXPECT_EQ(c.ReadInteger("K", "B"), 2);
}

TEST_F(StoresTest, IniFileSectionsKeysAndBinary) {
  const std::string p = Path("x.inf");
  std::ofstream(p) << "; note\r\n[Server Info]\r\nServer Address = 10.0.0.1 \r\nQuoted=\"a b\"\r\n"
                      "Server Address=ignored\r\n[SP]\r\nPS0=00FF\r\nPS1=XYZ\r\n";
  TIniFile ini(p);
  EXPECT_TRUE(ini.SectionExists("server info"));
  EXPECT_EQ(ini.ReadString("Server Info", "server address", "d"), "10.0.0.1");
  EXPECT_EQ(ini.ReadString("Server Info", "Quoted", "d"), "a b");
  EXPECT_EQ(ini.ReadString("Server Info", "Missing", "d"), "d");
  std::vector<std::uint8_t> bin;
  EXPECT_TRUE(ini.ReadBinary("SP", "PS0", bin));
  EXPECT_EQ(bin, (std::vector<std::uint8_t>{0x00, 0xFF}));
  EXPECT_FALSE(ini.ReadBinary("SP", "PS1", bin));
  ini.WriteString("Server Info", "ChatServerAddr", "10.0.0.2");
  ini.WriteBinary("New", "K", {0xAB});
  TIniFile again(p);
  EXPECT_EQ(again.ReadString("Server Info", "ChatServerAddr", ""), "10.0.0.2");
  EXPECT_EQ(again.ReadString("Server Info", "Server Address", ""), "10.0.0.1");
  EXPECT_EQ(again.ReadString("New", "K", ""), "AB");
  EXPECT_EQ(again.ReadSectionKeys("SP"), (std::vector<std::string>{"PS0", "PS1"}));
}

TEST_F(StoresTest, IniFileRefusesLineBreaksAndKeepsOldContentOnFailure) {
  const std::string p = Path("x.inf");
  TIniFile ini(p);
  ini.WriteString("S", "K", "one");
  EXPECT_THROW(ini.WriteString("S", "K", "two\nK2=injected"), EIniError);
  EXPECT_THROW(ini.WriteString("S", "A=B", "x"), EIniError);
  {
    auto guard = FailRenames();
    EXPECT_THROW(ini.WriteString("S", "K", "three"), EIniError);
  }
  // Neither the file nor the object took the failed values.
  EXPECT_EQ(ini.ReadString("S", "K", ""), "one");
  EXPECT_EQ(TIniFile(p).ReadString("S", "K", ""), "one");
  EXPECT_FALSE(TIniFile(p).ValueExists("S", "K2"));
}

}  // namespace
}  // namespace vantori
