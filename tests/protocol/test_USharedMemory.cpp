// Shared-memory blocks: the object itself, the login block's bytes, over-long lengths.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "protocol/USharedMemory.h"

namespace vantori {
namespace {

class SharedMemory : public ::testing::Test {
 protected:
  void SetUp() override {
    char dir[] = "/tmp/vantori-shm-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    FHome = dir;
    if (const char* old = std::getenv("VANTORI_HOME")) FOldHome = old, FHadHome = true;
    setenv("VANTORI_HOME", dir, 1);
    FName = "TestBlock" + std::to_string(getpid());
  }
  void TearDown() override {
    TCustomSharedMemory::Unlink(FName);
    if (FHadHome)
      setenv("VANTORI_HOME", FOldHome.c_str(), 1);
    else
      unsetenv("VANTORI_HOME");
    std::string command = "rm -rf '" + FHome + "'";
    (void)!std::system(command.c_str());
  }
  std::string FHome;
  std::string FOldHome;
  bool FHadHome = false;
  std::string FName;
};

TEST_F(SharedMemory, TwoOpenersShareOneBlockPrivateToTheUser) {
  TSMCustom writer(16);
  writer.SetSMName(FName);
  ASSERT_TRUE(writer.IsOpen());
  std::uint8_t data[16];
  for (int i = 0; i < 16; ++i) data[i] = static_cast<std::uint8_t>(i + 1);
  writer.Write(data);
  writer.Write(nullptr);  // does nothing

  TCustomSharedMemory reader(16);
  reader.SetSMName(FName);
  EXPECT_EQ(std::memcmp(reader.Memory(), data, 16), 0);

  struct stat st {};
  std::string path = "/dev/shm" + TCustomSharedMemory::ObjectName(FName);
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // Setting the same name keeps the mapping; an empty name closes it.
  std::uint8_t* before = reader.Memory();
  reader.SetSMName(FName);
  EXPECT_EQ(reader.Memory(), before);
  reader.SetSMName("");
  EXPECT_FALSE(reader.IsOpen());
}

TEST_F(SharedMemory, ASmallerBlockOfASenderIsGrownWithZeros) {
  TSMCustom sender(4);
  sender.SetSMName(FName);
  const std::uint8_t four[4] = {9, 9, 9, 9};
  sender.Write(four);

  TCustomSharedMemory client(static_cast<int>(kLoginInfoSize));
  client.SetSMName(FName);
  ASSERT_TRUE(client.IsOpen());
  EXPECT_EQ(client.Memory()[3], 9);
  for (std::size_t i = 4; i < kLoginInfoSize; ++i) EXPECT_EQ(client.Memory()[i], 0) << i;
}

TEST_F(SharedMemory, FailuresCarryTheirRoutineAndErrorNumber) {
  TCustomSharedMemory block;
  try {
    block.SetSMName(std::string(300, 'x'));  // longer than any object name may be
    FAIL() << "no error";
  } catch (const ESharedMemoryError& e) {
    EXPECT_EQ(std::string(e.what()), "CreateFileMapping failed with error code " + std::to_string(e.Code()));
    EXPECT_NE(e.Code(), 0);
  }
  EXPECT_FALSE(block.IsOpen());
  TCustomSharedMemory empty(0);
  EXPECT_THROW(empty.SetSMName(FName), ESharedMemoryError);
}

TEST(LoginBlock, BytesAtTheirOffsets) {
  TLoginBlock info;
  info.MainHandle = 0x01020304u;
  info.Unused = 0xAABBCCDDu;
  info.ServerAddress = "10.0.0.1";
  info.UserSeq = -2;
  info.UserID = "demo";
  info.Password = "secret";
  info.Accepted = 1;
  info.LoginDialog = 7;
  std::vector<std::uint8_t> b(kLoginInfoSize, 0xEE);
  WriteLoginBlock(b.data(), info);

  const std::uint8_t head[] = {4, 3, 2, 1, 0xDD, 0xCC, 0xBB, 0xAA, 8};
  EXPECT_EQ(std::memcmp(b.data(), head, sizeof head), 0);
  EXPECT_EQ(std::string(b.begin() + 9, b.begin() + 17), "10.0.0.1");
  EXPECT_EQ(b[17], 0);  // the rest of a field is zero-filled
  EXPECT_EQ(b[28], 0);
  const std::uint8_t seq[] = {0xFE, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(std::memcmp(b.data() + 29, seq, 4), 0);
  EXPECT_EQ(b[33], 4);
  EXPECT_EQ(std::string(b.begin() + 34, b.begin() + 38), "demo");
  EXPECT_EQ(b[55], 6);
  EXPECT_EQ(std::string(b.begin() + 56, b.begin() + 62), "secret");
  EXPECT_EQ(b[76], 0);
  EXPECT_EQ(b[77], 1);
  EXPECT_EQ(b[78], 7);

  TLoginBlock back = ReadLoginBlock(b.data());
  EXPECT_EQ(back.MainHandle, info.MainHandle);
  EXPECT_EQ(back.ServerAddress, info.ServerAddress);
  EXPECT_EQ(back.UserSeq, -2);
  EXPECT_EQ(back.UserID, "demo");
  EXPECT_EQ(back.Password, "secret");
  EXPECT_EQ(back.Accepted, 1);
  EXPECT_EQ(back.LoginDialog, 7);
}

TEST(LoginBlock, OverLongLengthsStayInsideTheirFields) {
  // Exactly the block's size, so reading past it would be caught by the sanitizers.
  auto* b = new std::uint8_t[kLoginInfoSize];
  std::memset(b, 'A', kLoginInfoSize);
  b[8] = 255;
  b[33] = 200;
  b[55] = 255;
  TLoginBlock info = ReadLoginBlock(b);
  EXPECT_EQ(info.ServerAddress, std::string(20, 'A'));
  EXPECT_EQ(info.UserID.size(), 21u);
  EXPECT_EQ(info.Password, std::string(21, 'A'));

  TLoginBlock tooLong;
  tooLong.ServerAddress = std::string(40, 'h');
  tooLong.UserID = std::string(30, 'u');
  tooLong.Password = std::string(30, 'p');
  WriteLoginBlock(b, tooLong);
  EXPECT_EQ(b[8], 20);
  EXPECT_EQ(b[29], 0);  // the next field is untouched by the cut text
  EXPECT_EQ(b[33], 21);
  EXPECT_EQ(b[55], 21);
  EXPECT_EQ(ReadLoginBlock(b).Password, std::string(21, 'p'));
  delete[] b;
}

TEST(LoginBlock, WipingThePasswordLeavesTheRest) {
  TLoginBlock info;
  info.UserID = "demo";
  info.Password = "secret";
  info.UserSeq = 5;
  info.Accepted = 1;
  std::vector<std::uint8_t> b(kLoginInfoSize, 0);
  WriteLoginBlock(b.data(), info);
  WipeLoginPassword(b.data());
  for (std::size_t i = 55; i < 77; ++i) EXPECT_EQ(b[i], 0) << i;
  TLoginBlock back = ReadLoginBlock(b.data());
  EXPECT_EQ(back.UserID, "demo");
  EXPECT_EQ(back.UserSeq, 5);
  EXPECT_EQ(back.Accepted, 1);
  EXPECT_TRUE(back.Password.empty());
}

}  // namespace
}  // namespace vantori
