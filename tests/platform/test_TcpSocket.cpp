#include "platform/TcpSocket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace vantori {
namespace {

using namespace std::chrono_literals;

std::span<const std::uint8_t> Bytes(const char* s) {
  return {reinterpret_cast<const std::uint8_t*>(s), std::strlen(s)};
}

// A connected pair over loopback.
class Loopback : public ::testing::Test {
 protected:
  void SetUp() override {
    listener.Listen("127.0.0.1", 0);
    ASSERT_NE(listener.Port(), 0);
    client.Connect("127.0.0.1", listener.Port(), 2000);
    server = listener.Accept(2000);
    ASSERT_NE(server, nullptr);
  }
  TcpListener listener;
  TcpSocket client;
  std::unique_ptr<TcpSocket> server;
};

TEST_F(Loopback, BufferedBytesCanBeInspectedAndTaken) {
  server->Write(Bytes("hello world"));
  std::string seen;
  while (client.BufferedSize() < 11) ASSERT_EQ(client.Fill(2000), TcpSocket::ReadStatus::Data);
  seen.assign(client.Buffered().begin(), client.Buffered().end());
  EXPECT_EQ(seen, "hello world");
  client.Consume(6);
  char rest[5];
  client.ReadExact(rest, 5, 1000);
  EXPECT_EQ(std::string(rest, 5), "world");
  EXPECT_EQ(client.BufferedSize(), 0u);
}

TEST_F(Loopback, ReadExactEndsOnTimeLimitOrClose) {
  char buf[4];
  server->Write(Bytes("ab"));
  EXPECT_THROW(client.ReadExact(buf, 4, 100), ESocketTimeout);
  EXPECT_EQ(client.BufferedSize(), 2u);  // a failed read loses nothing
  server->Close();
  EXPECT_THROW(client.ReadExact(buf, 4, 1000), ESocketClosed);
  client.ReadExact(buf, 2, 0);
  EXPECT_EQ(std::string(buf, 2), "ab");
  EXPECT_EQ(client.Fill(100), TcpSocket::ReadStatus::Closed);
}

TEST_F(Loopback, ShutdownWakesABlockedReader) {
  std::thread reader([&] { EXPECT_EQ(client.Fill(-1), TcpSocket::ReadStatus::Closed); });
  std::this_thread::sleep_for(50ms);
  client.Shutdown();
  reader.join();
  EXPECT_FALSE(client.Connected());
  EXPECT_THROW(client.Write(Bytes("x")), ESocketError);
}

TEST_F(Loopback, WriteToAClosedPeerRaisesInsteadOfKilling) {
  server->Close();
  std::vector<std::uint8_t> block(65536, 7);
  bool raised = false;
  for (int i = 0; i < 100 && !raised; ++i) {
    try {
      client.Write(block);
    } catch (const ESocketError& e) {
      raised = true;
      EXPECT_NE(std::string(e.what()).find("127.0.0.1:" + std::to_string(listener.Port())), std::string::npos)
          << e.what();
    }
  }
  EXPECT_TRUE(raised);
  EXPECT_EQ(client.PendingWrite(), 0u);  // the failed buffer is discarded
}

TEST_F(Loopback, BufferedWriteIsSentOnlyOnFlushAndCanBeCancelled) {
  client.BufferWrite(Bytes("dropped"));
  client.CancelWrites();
  client.BufferWrite(Bytes("kept"));
  client.Flush();
  char got[4];
  server->ReadExact(got, 4, 1000);
  EXPECT_EQ(std::string(got, 4), "kept");
  EXPECT_EQ(server->Fill(100), TcpSocket::ReadStatus::Timeout);
}

TEST_F(Loopback, AddressesInDottedForm) {
  EXPECT_EQ(client.LocalAddress(), "127.0.0.1");
  EXPECT_EQ(client.PeerAddress(), "127.0.0.1");
  EXPECT_EQ(client.PeerPort(), listener.Port());
  EXPECT_EQ(server->PeerPort(), client.LocalPort());
}

TEST(TcpSocket, ConnectFailuresNameTheAddress) {
  std::uint16_t closedPort;
  {
    TcpListener l;
    l.Listen("127.0.0.1", 0);
    closedPort = l.Port();
  }
  struct Case {
    const char* host;
    std::uint16_t port;
    const char* expected;
  } cases[] = {
      {"127.0.0.1", closedPort, "127.0.0.1:"},
      {"no-such-host.invalid", 7128, "no-such-host.invalid"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.host);
    TcpSocket s;
    try {
      s.Connect(c.host, c.port, 1000);
      ADD_FAILURE() << "connected";
    } catch (const ESocketError& e) {
      EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos) << e.what();
    }
    EXPECT_FALSE(s.Connected());
  }
}

TEST(TcpSocket, ConnectByHostName) {
  TcpListener l;
  l.Listen("localhost", 0);
  TcpSocket s;
  s.Connect("localhost", l.Port(), 2000);
  EXPECT_TRUE(s.Connected());
}

TEST(TcpListener, AcceptTimesOutAndShutdownWakesIt) {
  TcpListener l;
  l.Listen("", 0);
  EXPECT_EQ(l.Host(), "0.0.0.0");
  EXPECT_EQ(l.Accept(50), nullptr);
  std::thread stopper([&] {
    std::this_thread::sleep_for(50ms);
    l.Shutdown();
  });
  EXPECT_EQ(l.Accept(-1), nullptr);
  stopper.join();
  EXPECT_FALSE(l.Listening());
}

TEST(TcpListener, PortInUseIsAnError) {
  TcpListener a;
  a.Listen("127.0.0.1", 0);
  TcpListener b;
  EXPECT_THROW(b.Listen("127.0.0.1", a.Port()), ESocketError);
}

}  // namespace
}  // namespace vantori
