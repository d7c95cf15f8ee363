// The engines' connection: data messages sent from a file arrive as the file's bytes, framed
// like any other message; a file shorter than announced is reported; a peer that has gone
// fails the send instead of ending the process.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include "platform/TcpSocket.h"
#include "protocol/UFrame.h"
#include "transfers/UTransferLink.h"

namespace vantori {
namespace {

namespace fs = std::filesystem;

constexpr int kDataType = 66;

class LinkPair : public ::testing::Test {
 protected:
  void SetUp() override {
    Dir = fs::temp_directory_path() / ("vantori-link-" + std::to_string(::getpid()));
    fs::create_directories(Dir);
    listener.Listen("127.0.0.1", 0);
    std::thread accept([&] { Server.Adopt(listener.Accept(5000)); });
    Client.Connect("127.0.0.1", listener.Port(), 5000);
    accept.join();
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(Dir, ec);
  }
  // A file of `size` bytes, each its offset's low byte mixed with `seed`; returns it open.
  int File(std::size_t size, int seed, std::vector<std::uint8_t>* bytes = nullptr) {
    std::vector<std::uint8_t> content(size);
    for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<std::uint8_t>((i * 7 + seed) & 0xFF);
    const fs::path path = Dir / ("f" + std::to_string(seed));
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(size));
    if (bytes) *bytes = content;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    Fds.push_back(fd);
    return fd;
  }
  ~LinkPair() override {
    for (int fd : Fds) ::close(fd);
  }

  fs::path Dir;
  TcpListener listener;
  TTransferLink Client, Server;
  std::vector<int> Fds;
};

TEST_F(LinkPair, FileDataArrivesAsTheFilesBytesBetweenOtherMessages) {
  struct Case {
    std::size_t size, offset, length;
  };
  const Case cases[] = {{1, 0, 1}, {65536, 0, 65536}, {200000, 65536, 114688}, {70000, 69999, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE("size " + std::to_string(c.size) + " from " + std::to_string(c.offset));
    std::vector<std::uint8_t> content;
    const int fd = File(c.size, static_cast<int>(c.size % 251), &content);
    TDataParameter note;
    note.AddInteger("T", 101);
    Client.Send(note);
    ASSERT_EQ(Client.SendFileData(kDataType, fd, static_cast<std::int64_t>(c.offset), c.length), c.length);
    Client.Send(note);

    TDataParameter got;
    std::span<const std::uint8_t> data;
    ASSERT_EQ(Server.ReadData(kDataType, got, data, 5000), TTransferLink::TRead::Message);
    EXPECT_TRUE(data.empty());
    EXPECT_EQ(got.ParamByName("T").AsInteger(), 101);
    ASSERT_EQ(Server.ReadData(kDataType, got, data, 5000), TTransferLink::TRead::Message);
    ASSERT_EQ(data.size(), c.length);
    EXPECT_TRUE(
        std::equal(data.begin(), data.end(), content.begin() + static_cast<std::ptrdiff_t>(c.offset)));
    ASSERT_EQ(Server.ReadData(kDataType, got, data, 5000), TTransferLink::TRead::Message);
    EXPECT_TRUE(data.empty());
  }
}

TEST_F(LinkPair, FileDataIsTheSameMessageAsDataFromMemory) {
  std::vector<std::uint8_t> content;
  const int fd = File(3000, 9, &content);
  Client.SendFileData(kDataType, fd, 0, content.size());
  TDataParameter got;
  ASSERT_EQ(Server.Read(got, 5000), TTransferLink::TRead::Message);
  EXPECT_EQ(got.ParamByName("T").AsInteger(), kDataType);
  const auto f = got.ParamByName("F").Data();
  EXPECT_TRUE(std::equal(f.begin(), f.end(), content.begin(), content.end()));
}

TEST_F(LinkPair, AFileShorterThanAnnouncedIsReported) {
  const int fd = File(1000, 3);
  EXPECT_EQ(Client.SendFileData(kDataType, fd, 0, 4096), 1000u);
  EXPECT_EQ(Client.SendFileData(kDataType, fd, 1000, 10), 0u);
}

TEST_F(LinkPair, APeerThatGoesWhileASendWaitsFailsItWithoutASignal) {
  const int fd = File(65536, 5);
  // The server reads nothing, so the sender soon waits inside the kernel for room; then the
  // server cuts the connection, as the storage servers do.
  bool threw = false;
  std::thread sender([&] {
    try {
      for (int i = 0; i < 100000; ++i) Client.SendFileData(kDataType, fd, 0, 65536);
    } catch (const ESocketError&) {
      threw = true;
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  Server.Shutdown();
  Server.Close();
  sender.join();
  EXPECT_TRUE(threw);
}

}  // namespace
}  // namespace vantori
