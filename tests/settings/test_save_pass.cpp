// The remembered folder passwords in "kxsp.dat".

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "platform/TempHome.h"
#include "platform/UAtomicFile.h"
#include "platform/UIniFile.h"
#include "platform/UPaths.h"
#include "platform/UTextHelpers.h"
#include "protocol/ProtocolConstants.h"
#include "settings/USavePass.h"

namespace vantori {
namespace {

using testing::FailRenames;

class SavePassTest : public testing::TempHomeTest {
 protected:
  std::string File() { return DataRoot() + "/kxsp.dat"; }
  void WriteFile(const std::string& text) {
    EnsureDirectory(DataRoot());
    std::ofstream(File()) << text;
  }
};

TEST_F(SavePassTest, RememberedPasswordsLoadAgain) {
  const std::string korean = "\xB1\xBC\xB8\xB2\xFF\x80";
  {
    TPassData store;
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_FALSE(std::filesystem::exists(File()));  // created by the first Remember
    store.Remember("abc");
    store.Remember("abc");
    store.Remember(korean);
    EXPECT_EQ(store.Count(), 2u);
  }
  TIniFile ini(File());
  EXPECT_EQ(ini.ReadSectionKeys("SP"), (std::vector<std::string>{"PS0", "PS1"}));
  TPassData again;
  EXPECT_EQ(again.Count(), 2u);
  EXPECT_TRUE(again.Contains("abc"));
  EXPECT_TRUE(again.Contains(korean));
  EXPECT_FALSE(again.Contains("ab"));
}

TEST_F(SavePassTest, EntryFormat) {
  const auto e1 = TPassData::EncodeEntry("secret");
  const auto e2 = TPassData::EncodeEntry("secret");
  EXPECT_NE(e1, e2);
  EXPECT_EQ(TPassData::DecodeEntry(e1), "secret");
  EXPECT_EQ(TPassData::DecodeEntry(e2), "secret");
  std::uint32_t count;
  std::memcpy(&count, e1.data() + 4, 4);
  EXPECT_EQ(count, 6u + proto::kScrambleCountOffset);
  // Every byte value, including those whose b wraps past the signed range.
  std::string all;
  for (int c = 1; c < 256; ++c) all.push_back(static_cast<char>(c));
  for (int i = 0; i < 20; ++i) EXPECT_EQ(TPassData::DecodeEntry(TPassData::EncodeEntry(all)), all);
}

TEST_F(SavePassTest, LoadingStopsAtAGapAndDamagedEntriesKeepTheirPlace) {
  const auto hex = [](const std::string& pw) { return HexEncode(TPassData::EncodeEntry(pw)); };
  WriteFile("[SP]\nPS0=" + hex("zero") + "\nPS1=NOTHEX\nPS2=" + hex("two") + "\nPS4=" + hex("four") + "\n");
  TPassData store;
  ASSERT_EQ(store.Count(), 3u);
  EXPECT_EQ(store.Items(0).Password, "zero");
  EXPECT_EQ(store.Items(1).Password, "");
  EXPECT_EQ(store.Items(2).Password, "two");
  EXPECT_FALSE(store.Contains("four"));
  store.Remember("three");
  EXPECT_EQ(TIniFile(File()).ReadString("SP", "PS3", "").empty(), false);
  EXPECT_TRUE(TPassData().Contains("three"));
}

TEST_F(SavePassTest, NoEntryIsLostPastAThousand) {
  std::string text = "[SP]\n";
  const std::string hex = HexEncode(TPassData::EncodeEntry("p"));
  for (int i = 0; i < 1005; ++i) text += "PS" + std::to_string(i) + "=" + hex + "\n";
  WriteFile(text);
  TPassData store;
  EXPECT_EQ(store.Count(), 1005u);
  store.Remember("new one");
  TPassData again;
  EXPECT_EQ(again.Count(), 1006u);
  EXPECT_TRUE(again.Contains("new one"));
}

TEST_F(SavePassTest, AFailedSaveRemembersNothingAndKeepsTheFile) {
  TPassData store;
  store.Remember("kept");
  std::string before;
  ReadWholeFile(File(), before);
  {
    auto guard = FailRenames();
    EXPECT_THROW(store.Remember("lost"), EIniError);
  }
  EXPECT_FALSE(store.Contains("lost"));
  std::string after;
  ReadWholeFile(File(), after);
  EXPECT_EQ(after, before);
  // The next password takes the free place, so that it loads again.
  store.Remember("next");
  TPassData again;
  EXPECT_EQ(again.Count(), 2u);
  EXPECT_TRUE(again.Contains("next"));
}

}  // namespace
}  // namespace vantori
