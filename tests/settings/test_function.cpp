// The shared helpers, the file list and the text scrambler.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include "platform/TempHome.h"
#include "protocol/ProtocolConstants.h"
#include "settings/UFuncItems.h"
#include "settings/UFunction.h"

namespace vantori {
namespace {

const std::string kBytes = " \xB9\xD9\xC0\xCC\xC6\xAE";  // " 바이트"

TEST(Helpers, FormatSize) {
  const struct {
    std::int64_t bytes;
    std::string text;
  } cases[] = {
      {0, "0" + kBytes},       {1023, "1023" + kBytes},
      {-5, "-5" + kBytes},     {1024, "1.0 KB"},
      {1536, "1.5 KB"},        {1048575, "1024.0 KB"},
      {1048576, "1.00 MB"},    {1073741823, "1024.00 MB"},
      {1073741824, "1.00 GB"}, {5497558138880LL, "5120.00 GB"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatSize(c.bytes), c.text) << c.bytes;
}

TEST(Helpers, FormatSeconds) {
  const struct {
    std::int64_t seconds;
    const char* text;
  } cases[] = {
      {0, "00:00:00"}, {59, "00:00:59"}, {3725, "01:02:05"}, {86399, "23:59:59"}, {360000, "100:00:00"}};
  for (const auto& c : cases) EXPECT_EQ(FormatSeconds(c.seconds), c.text) << c.seconds;
}

TEST(Helpers, BlockSizeForIndex) {
  const std::pair<int, int> cases[] = {{0, 1024},   {1, 2048},   {2, 4096},  {3, 8192},  {4, 16384},
                                       {5, 32768},  {6, 65536},  {7, 81920}, {8, 98304}, {9, 114688},
                                       {10, 65536}, {-1, 65536}, {99, 65536}};
  for (const auto& [index, size] : cases) EXPECT_EQ(BlockSizeForIndex(index), size) << index;
}

TEST(Helpers, Padding) {
  EXPECT_EQ(PadLeftZeros("12", 5), "00012");
  EXPECT_EQ(PadLeftZeros("123456", 3), "123456");
  EXPECT_EQ(PadLeftZeros("", 2), "00");
  EXPECT_EQ(IntToZeroPadded(42, 6), "000042");
  EXPECT_EQ(IntToZeroPadded(-5, 4), "00-5");
  EXPECT_EQ(IntToZeroPadded(1234567, 3), "1234567");
  EXPECT_EQ(PadLeftBlanks("ab", 4), "  ab");
  EXPECT_EQ(PadRightBlanks("ab", 4), "ab  ");
  EXPECT_EQ(PadRightBlanks("abcde", 4), "abcde");
}

TEST(Helpers, CopyToFieldNeverWritesPastItsField) {
  const struct {
    const char* text;
    const char* field;  // the first n bytes after the copy
  } cases[] = {{"", ""}, {"abc", "abc"}, {"abcde", "abcde"}, {"abcdefgh", "abcde"}};
  for (const auto& c : cases) {
    char buf[8];
    std::memset(buf, 'X', sizeof buf);
    CopyToField(buf, 5, c.text);
    EXPECT_STREQ(buf, c.field) << c.text;
    EXPECT_EQ(buf[5], '\0');                     // always ends in a zero byte
    EXPECT_EQ(buf[6], 'X') << "wrote past n+1";  // and leaves the rest alone
  }
}

TEST(Helpers, ColoursAddressesAndErrors) {
  EXPECT_EQ(ColorToHex(0x000000FF), "FF0000");
  EXPECT_EQ(ColorToHex(0x00123456), "563412");
  EXPECT_EQ(ColorToHex(0xFF00000F), "");  // a system colour reference, not a colour
  EXPECT_EQ(IPv4ToText(inet_addr("192.168.0.1")), "192.168.0.1");
  EXPECT_EQ(IPv4ToText(0), "0.0.0.0");
  EKXError e("x", kErrNotEnoughCoins);
  EXPECT_EQ(e.Code(), 25007);
  EXPECT_EQ(EKXError("y").Code(), 0);
}

TEST(Helpers, ResolveHost) {
  EXPECT_EQ(ResolveHost("127.0.0.1"), "127.0.0.1");
  EXPECT_EQ(ResolveHost("localhost"), "127.0.0.1");
  EXPECT_EQ(ResolveHost("no-such-host.invalid"), "no-such-host.invalid");
  EXPECT_EQ(ResolveHost(""), "");
}

TEST(FuncItems, OwnedListOfEntries) {
  TFuncFileItems items;
  TFuncFileItem& first = items.Add();
  EXPECT_EQ(first.Size, 0);
  first.Name = "a";
  for (int i = 0; i < 100; ++i) items.Add();
  EXPECT_EQ(&items.Items(0), &first);  // entries do not move as the list grows
  EXPECT_EQ(items.Count(), 101u);
  EXPECT_THROW(items.Items(101), std::out_of_range);
}

class FilesTest : public testing::TempHomeTest {
 protected:
  void Touch(const std::string& path, const std::string& content = "x") { std::ofstream(path) << content; }
};

TEST_F(FilesTest, FileSizeAndVersion) {
  const std::string f = Home + "/five.bin";
  Touch(f, "12345");
  EXPECT_EQ(FileSizeOf(f), 5);
  EXPECT_THROW(FileSizeOf(Home + "/missing"), EKXError);
  EXPECT_EQ(FileVersionText(Home + "/missing"), "0.0.0.0");
  EXPECT_EQ(FileVersionText(f), "0.0.0.0");
  Touch(f + ".version", "2.1.0.37\n");
  EXPECT_EQ(FileVersionText(f), "2.1.0.37");
  Touch(f + ".version", "2.1\n");
  EXPECT_EQ(FileVersionText(f), "0.0.0.0");
}

TEST_F(FilesTest, ListFilesRecursiveOrderMaskDotsAndLoops) {
  namespace fs = std::filesystem;
  const std::string root = Home + "/tree";
  fs::create_directories(root + "/sub/deeper");
  Touch(root + "/b.mp3");
  Touch(root + "/a.txt");
  Touch(root + "/.hidden");
  fs::create_directory(root + "/.git");
  Touch(root + "/.git/x.txt");
  Touch(root + "/sub/c.TXT");
  Touch(root + "/sub/deeper/d.txt");
  fs::create_directory_symlink(root, root + "/sub/loop");  // a cycle back to the top
  ::chmod((root + "/sub").c_str(), 0555);                  // read-only folder

  std::vector<std::string> all;
  ListFilesRecursive(root, "*.*", all);
  const std::vector<std::string> expectAll = {
      root + "/a.txt",     root + "/b.mp3",      root + "/sub",
      root + "/sub/c.TXT", root + "/sub/deeper", root + "/sub/deeper/d.txt",
      root + "/sub/loop",
  };
  EXPECT_EQ(all, expectAll);

  std::vector<std::string> txt;
  ListFilesRecursive(root + "/", "*.txt", txt);
  const std::vector<std::string> expectTxt = {
      root + "/a.txt",
      root + "/sub",
      root + "/sub/c.TXT",
      root + "/sub/deeper",
      root + "/sub/deeper/d.txt",
      root + "/sub/loop",
  };
  EXPECT_EQ(txt, expectTxt);

  std::vector<std::string> none;
  ListFilesRecursive(Home + "/missing", "*.*", none);
  EXPECT_TRUE(none.empty());
}

// ---- Scrambler -------------------------------------------------------------------

std::uint32_t Word(const std::string& buf, std::size_t at) {
  std::uint32_t w;
  std::memcpy(&w, buf.data() + at, 4);
  return w;
}

TEST(Scrambler, RoundTripsEveryLengthWithEveryByte) {
  std::mt19937 gen(12345);
  std::uniform_int_distribution<int> byte(1, 255);
  for (int len = 1; len <= 300; ++len) {
    std::string text(len, '\0');
    for (char& c : text) c = static_cast<char>(byte(gen));
    const std::string s = ScrambleText(text);
    ASSERT_EQ(s.find('\0'), std::string::npos) << len;
    ASSERT_EQ(UnscrambleText(s), text) << len;
  }
  EXPECT_EQ(ScrambleText(""), "");
  EXPECT_EQ(UnscrambleText(""), "");
}

TEST(Scrambler, LongTextsThatUseEveryByteValueStillGetAMarker) {
  std::mt19937 gen(7);
  std::string text(3000, '\0');
  for (char& c : text) c = static_cast<char>(gen() % 255 + 1);
  for (int i = 0; i < 3; ++i) {
    const std::string s = ScrambleText(text);
    ASSERT_EQ(s.find('\0'), std::string::npos);
    EXPECT_EQ(UnscrambleText(s), text);
  }
}

TEST(Scrambler, OneCharacterLayout) {
  // Marker, random word, count word, a, b and - when b is odd - one more word.
  bool seen17 = false, seen21 = false;
  for (int i = 0; i < 200; ++i) {
    const std::string s = ScrambleText("A");
    ASSERT_TRUE(s.size() == 17 || s.size() == 21) << s.size();
    ASSERT_EQ(s.find('\0'), std::string::npos);
    std::string buf = s.substr(1);
    for (char& c : buf)
      if (c == s[0]) c = '\0';
    const std::uint32_t r0 = Word(buf, 0), count = Word(buf, 4), a = Word(buf, 8), b = Word(buf, 12);
    EXPECT_LT(r0, 2147483547u);
    EXPECT_EQ(count, 1u + proto::kScrambleCountOffset);
    EXPECT_LT(a, 2147483347u);
    EXPECT_EQ(b, a + 'A');
    // The extra word follows exactly when a + c is odd.
    EXPECT_EQ(s.size() == 21, (b & 1u) != 0);
    if (s.size() == 21) {
      EXPECT_LT(Word(buf, 16), 2147483147u);
    }
    (s.size() == 17 ? seen17 : seen21) = true;
  }
  EXPECT_TRUE(seen17 && seen21);
  EXPECT_NE(ScrambleText("same text"), ScrambleText("same text"));
}

TEST(Scrambler, MalformedInputIsAnErrorNeverAnOverread) {
  const std::string good = ScrambleText("hello");
  auto withCount = [](std::int32_t n) {
    // Marker 0xFF, r0 = 1, count word, no entries.
    std::string s = "\xFF";
    const std::uint32_t w[2] = {1, static_cast<std::uint32_t>(n) + proto::kScrambleCountOffset};
    s.append(reinterpret_cast<const char*>(w), 8);
    return s;
  };
  const struct {
    std::string input;
    bool ok;
    std::string text;
  } cases[] = {
      {"\x01", false, ""},
      {good.substr(0, good.size() - 1), false, ""},
      {good.substr(0, 9), false, ""},
      {withCount(0), true, ""},
      {withCount(-3), true, ""},
      {withCount(1000000), false, ""},
      {good, true, "hello"},
  };
  for (const auto& c : cases) {
    std::string out = "junk";
    EXPECT_EQ(TryUnscrambleText(c.input, out), c.ok) << c.input.size();
    EXPECT_EQ(out, c.text);
    if (!c.ok) {
      EXPECT_THROW(UnscrambleText(c.input), EKXError);
    }
  }
}

}  // namespace
}  // namespace vantori
