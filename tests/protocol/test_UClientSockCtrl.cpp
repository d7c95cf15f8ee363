#include "protocol/UClientSockCtrl.h"

#include <gtest/gtest.h>

#include <future>

#include "protocol/ScriptedPeer.h"
#include "protocol/UDispatcher.h"

namespace vantori {
namespace {

using namespace std::chrono_literals;
using testing::CloseNow;
using testing::EventLog;
using testing::Expect;
using testing::FrameOf;
using testing::Header;
using testing::Join;
using testing::Msg;
using testing::Pause;
using testing::ScriptedPeer;
using testing::SendBytes;
using testing::Step;

std::string TypeOf(const TDataParameter& m) {
  return m.Count() == 0              ? "empty"
         : m.Params(0).Name() == "T" ? std::to_string(m.Params(0).AsInteger())
                                     : "untyped";
}

// Wires every event of a socket into a log: "connected <ip>", "msg <type>", "disconnect", ...
template <class Sock>
void Record(Sock& s, EventLog& log) {
  s.OnConnected = [&log](TClientSock&, const std::string& ip) { log.Add("connected " + ip); };
  s.OnReceived = [&log](TClientSock&, const TDataParameter& m) { log.Add("msg " + TypeOf(m)); };
  s.OnDisconnect = [&log](TClientSock&) { log.Add("disconnect"); };
  s.OnStartSend = [&log](TClientSock&) { log.Add("startsend"); };
}

std::vector<std::string> Messages(const EventLog& log) {
  std::vector<std::string> out;
  for (const auto& e : log.Events())
    if (e.rfind("msg ", 0) == 0) out.push_back(e.substr(4));
  return out;
}

// --- framing over a real connection, both socket kinds ------------------------------------

struct StreamCase {
  const char* name;
  std::vector<Step> script;
  std::vector<std::string> messages;
};

Bytes Split(const Bytes& b, std::size_t from, std::size_t to) {
  return Bytes(b.begin() + from, b.begin() + to);
}

std::vector<StreamCase> StreamCases() {
  const Bytes one = FrameOf(Msg(1, "first"));
  return {
      {"split_frames",
       {SendBytes(Split(one, 0, 2)), Pause(30), SendBytes(Split(one, 2, 6)), Pause(30),
        SendBytes(Split(one, 6, one.size())), SendBytes(FrameOf(Msg(2))), CloseNow()},
       {"1", "2"}},
      {"zero_length_frame", {SendBytes(Join({Header(0), FrameOf(Msg(5))})), CloseNow()}, {"empty", "5"}},
      {"keep_alives_between_frames",
       {SendBytes(Join({Header(0x7FFFFFFF), FrameOf(Msg(1))})), Pause(20), SendBytes(Header(0x7FFFFFFF)),
        SendBytes(FrameOf(Msg(2))), CloseNow()},
       {"1", "2"}},
      {"over_limit_closes",
       {SendBytes(Join({FrameOf(Msg(1)), Header(1048577), Bytes(64, 0)})), Pause(2000)},
       {"1"}},
      {"minus_one_length_closes", {SendBytes(Join({Header(0xFFFFFFFF), FrameOf(Msg(1))})), Pause(2000)}, {}},
      {"min_int_length_closes", {SendBytes(Join({Header(0x80000000), FrameOf(Msg(1))})), Pause(2000)}, {}},
      {"peer_closes_mid_frame",
       {SendBytes(Join({FrameOf(Msg(3)), Header(50), Bytes(10, 0)})), CloseNow()},
       {"3"}},
  };
}

class SocketStream : public ::testing::TestWithParam<StreamCase> {};

TEST_P(SocketStream, AsyncReaderDeliversThenDisconnects) {
  ScriptedPeer peer(GetParam().script);
  EventLog log;
  {
    TClientAsyncSock sock;
    Record(sock, log);
    sock.SetAddress("127.0.0.1");
    sock.SetPort(peer.Port());
    sock.Connect();
    ASSERT_TRUE(log.WaitFor("disconnect"));
    EXPECT_FALSE(sock.Active());
    EXPECT_EQ(sock.Reader(), nullptr);
  }
  EXPECT_EQ(Messages(log), GetParam().messages);
  EXPECT_EQ(log.Count("disconnect"), 1);
}

TEST_P(SocketStream, SyncConversationDeliversThenReturns) {
  ScriptedPeer peer(GetParam().script);
  EventLog log;
  TClientSyncSock sock;
  Record(sock, log);
  sock.SetAddress("localhost");
  sock.SetPort(peer.Port());
  sock.Connect();  // the whole conversation; ends without an error
  EXPECT_FALSE(sock.Active());
  EXPECT_EQ(Messages(log), GetParam().messages);
  EXPECT_EQ(log.Count("disconnect"), 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, SocketStream, ::testing::ValuesIn(StreamCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ClientSock, ExactLimitFrameIsDelivered) {
  TDataParameter big;
  Bytes filler(proto::kMaxFrameLength - 200, 0x11);
  big.AddData("D", filler.data(), filler.size());
  const std::size_t overhead = big.Encode().size() - filler.size();
  filler.resize(proto::kMaxFrameLength - overhead);
  TDataParameter exact;
  exact.AddData("D", filler.data(), filler.size());
  const Bytes frame = FrameOf(exact);
  ASSERT_EQ(frame.size(), 4 + proto::kMaxFrameLength);

  ScriptedPeer peer({SendBytes(frame), SendBytes(FrameOf(Msg(2))), CloseNow()});
  EventLog log;
  TClientSyncSock sock;
  Record(sock, log);
  sock.SetAddress("127.0.0.1");
  sock.SetPort(peer.Port());
  sock.Connect();
  EXPECT_EQ(Messages(log), (std::vector<std::string>{"untyped", "2"}));
}

// --- read time limits ----------------------------------------------------------------------

TEST(ClientSock, ReadTimeoutEndsAStalledConversationWithoutError) {
  struct Case {
    const char* name;
    std::vector<Step> script;
  } cases[] = {
      {"silent_server", {Pause(3000)}},
      {"header_then_silence", {SendBytes(Header(40)), Pause(3000)}},
      {"body_stalls", {SendBytes(Join({FrameOf(Msg(1)), Header(40), Bytes(7, 0)})), Pause(3000)}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPeer peer(c.script);
    EventLog log;
    TClientSyncSock sock;
    Record(sock, log);
    sock.SetReadTimeout(150);
    sock.SetAddress("127.0.0.1");
    sock.SetPort(peer.Port());
    EXPECT_NO_THROW(sock.Connect());
    EXPECT_EQ(log.Count("disconnect"), 1);
    EXPECT_FALSE(sock.Active());
  }
}

TEST(ClientSock, AsyncReaderHonoursItsReadTimeout) {
  ScriptedPeer peer({SendBytes(Header(40)), Pause(3000)});
  EventLog log;
  TClientAsyncSock sock;
  Record(sock, log);
  sock.SetReadTimeout(150);
  sock.SetAddress("127.0.0.1");
  sock.SetPort(peer.Port());
  sock.Connect();
  EXPECT_TRUE(log.WaitFor("disconnect"));
}

// --- conversation order and handler behaviour ----------------------------------------------

TEST(ClientSock, SyncEventOrderAndHandlerEndsConversation) {
  ScriptedPeer peer({Expect(static_cast<int>(FrameOf(Msg(10)).size())), SendBytes(FrameOf(Msg(11))),
                     SendBytes(FrameOf(Msg(12))), Pause(3000)});
  EventLog log;
  TClientSyncSock sock;
  Record(sock, log);
  sock.OnStartRead = [&](TClientSock& s) {
    log.Add("startread");
    TDataParameter req = Msg(10);
    s.Send(req);
  };
  sock.OnReceived = [&](TClientSock& s, const TDataParameter& m) {
    log.Add("msg " + TypeOf(m));
    s.Disconnect();  // ends the conversation after the first reply
  };
  sock.SetAddress("127.0.0.1");
  sock.SetPort(peer.Port());
  sock.Connect();
  EXPECT_EQ(log.Events(), (std::vector<std::string>{"connected 127.0.0.1", "startread", "startsend", "msg 11",
                                                    "disconnect"}));
  EXPECT_EQ(peer.Received(), FrameOf(Msg(10)));
}

TEST(ClientSock, SyncDecodeOrHandlerErrorPropagatesAndCloses) {
  struct Case {
    const char* name;
    Bytes stream;
    bool handlerThrows;
  } cases[] = {
      {"decode_error", Join({Header(3), Bytes{0xEE, 0xEE, 0xEE}}), false},
      {"handler_error", FrameOf(Msg(1)), true},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedPeer peer({SendBytes(c.stream), Pause(3000)});
    EventLog log;
    int cursorResets = 0;
    TClientSock::SetCursorResetHook([&] { ++cursorResets; });
    TClientSyncSock sock;
    Record(sock, log);
    if (c.handlerThrows)
      sock.OnReceived = [](TClientSock&, const TDataParameter&) { throw EParamError("boom"); };
    sock.SetAddress("127.0.0.1");
    sock.SetPort(peer.Port());
    EXPECT_THROW(sock.Connect(), EParamError);
    EXPECT_FALSE(sock.Active());
    EXPECT_EQ(log.Count("disconnect"), 1);
    EXPECT_EQ(cursorResets, 1);
    TClientSock::SetCursorResetHook(nullptr);
  }
}

TEST(ClientSock, AsyncHandlerErrorClosesQuietly) {
  ScriptedPeer peer({SendBytes(Join({FrameOf(Msg(1)), FrameOf(Msg(2))})), Pause(3000)});
  EventLog log;
  TClientAsyncSock sock;
  Record(sock, log);
  sock.OnReceived = [&](TClientSock&, const TDataParameter& m) {
    log.Add("msg " + TypeOf(m));
    throw std::runtime_error("handler failed");
  };
  sock.SetAddress("127.0.0.1");
  sock.SetPort(peer.Port());
  sock.Connect();
  ASSERT_TRUE(log.WaitFor("disconnect"));
  EXPECT_EQ(Messages(log), std::vector<std::string>{"1"});
}

TEST(ClientSock, AsyncConnectedFiresBeforeFirstMessage) {
  ScriptedPeer peer({SendBytes(FrameOf(Msg(1))), Pause(3000)});
  EventLog log;
  TClientAsyncSock sock;
  Record(sock, log);
  sock.OnConnected = [&](TClientSock&, const std::string& ip) {
    std::this_thread::sleep_for(100ms);  // the reply is already waiting on the socket
    log.Add("connected " + ip);
  };
  sock.SetAddress("127.0.0.1");
  sock.SetPort(peer.Port());
  sock.Connect();
  ASSERT_TRUE(log.WaitFor("msg 1"));
  EXPECT_EQ(log.Events().front(), "connected 127.0.0.1");
  sock.Disconnect();
}

TEST(ClientSock, AsyncDisconnectFromOwnHandlerDoesNotJoinItself) {
  ScriptedPeer peer({SendBytes(Join({FrameOf(Msg(1)), FrameOf(Msg(2))})), Pause(3000)});
  EventLog log;
  TClientAsyncSock sock;
  Record(sock, log);
  sock.OnReceived = [&](TClientSock& s, const TDataParameter& m) {
    log.Add("msg " + TypeOf(m));
    s.Disconnect();
    log.Add("returned");
  };
  sock.SetAddress("127.0.0.1");
  sock.SetPort(peer.Port());
  sock.Connect();
  ASSERT_TRUE(log.WaitFor("returned"));
  EXPECT_FALSE(sock.Active());
  EXPECT_EQ(Messages(log), std::vector<std::string>{"1"});
  EXPECT_EQ(log.Count("disconnect"), 1);
  // The socket can connect again; the ended reader is joined on the way.
  sock.OnReceived = [&](TClientSock&, const TDataParameter& m) { log.Add("again " + TypeOf(m)); };
  ScriptedPeer second({SendBytes(FrameOf(Msg(3))), Pause(3000)});
  sock.SetPort(second.Port());
  sock.Connect();
  EXPECT_TRUE(log.WaitFor("again 3"));
}

TEST(ClientSock, AsyncSocketDestroyedFromItsOwnHandler) {
  ScriptedPeer peer({SendBytes(FrameOf(Msg(1))), Pause(3000)});
  EventLog log;
  auto* sock = new TClientAsyncSock;
  sock->OnReceived = [&](TClientSock& s, const TDataParameter&) {
    EventLog* events = &log;  // the closure goes with the socket
    delete &s;
    events->Add("deleted");
  };
  sock->SetAddress("127.0.0.1");
  sock->SetPort(peer.Port());
  sock->Connect();
  EXPECT_TRUE(log.WaitFor("deleted"));
  EXPECT_TRUE(peer.WaitFinished(1));  // the connection was closed
}

// --- stopping the reader from another thread -----------------------------------------------

TEST(ClientSock, DestroyingAsyncSocketWakesBlockedReader) {
  ScriptedPeer peer({Pause(5000)});
  EventLog log;
  {
    TClientAsyncSock sock;
    Record(sock, log);
    sock.SetAddress("127.0.0.1");
    sock.SetPort(peer.Port());
    sock.Connect();
    ASSERT_NE(sock.Reader(), nullptr);
    std::this_thread::sleep_for(50ms);    // let the reader block in its read
  }                                       // must not hang
  EXPECT_EQ(log.Count("disconnect"), 0);  // destruction closes without events
  EXPECT_TRUE(peer.WaitFinished(1));
}

TEST(ClientSock, DisconnectWhileHandlerWaitsForTheDisconnectingThread) {
  // The reader hands a message to the "user-interface" thread and waits; that thread, instead of
  // pumping, disconnects. Neither may wait for the other forever.
  ScriptedPeer peer({SendBytes(FrameOf(Msg(1, "payload"))), Pause(5000)});
  TQueueDispatcher ui;
  EventLog log;
  TClientAsyncSock sock;
  sock.Dispatch = [&ui](std::function<void()> w) { ui.Post(std::move(w)); };
  std::promise<bool> handedOver;
  sock.OnReceived = [&](TClientSock&, const TDataParameter& m) {
    log.Add("waiting");
    handedOver.set_value(sock.HandOverAndWait(
        m, [&log](TDataParameter& copy) { log.Add("ran " + copy.ParamByName("S").AsString()); }));
  };
  sock.SetAddress("127.0.0.1");
  sock.SetPort(peer.Port());
  sock.Connect();
  ASSERT_TRUE(log.WaitFor("waiting"));
  sock.Disconnect();  // joins the reader, which gives up its wait
  auto result = handedOver.get_future();
  EXPECT_FALSE(result.get());
  // The work still runs later on its own copy of the message.
  ui.Pump();
  EXPECT_EQ(log.Count("ran payload"), 1);
}

TEST(ClientSock, HandOverCopiesTheReusedMessage) {
  ScriptedPeer peer(
      {SendBytes(Join({FrameOf(Msg(1, "a")), FrameOf(Msg(2, "b")), FrameOf(Msg(3, "c"))})), Pause(3000)});
  TQueueDispatcher ui;
  EventLog log;
  TClientAsyncSock sock;
  sock.Dispatch = [&ui](std::function<void()> w) { ui.Post(std::move(w)); };
  sock.OnReceived = [&](TClientSock&, const TDataParameter& m) {
    sock.PostCopy(m, [&log](TDataParameter& copy) { log.Add(copy.ParamByName("S").AsString()); });
    log.Add("posted");
  };
  sock.SetAddress("127.0.0.1");
  sock.SetPort(peer.Port());
  sock.Connect();
  ASSERT_TRUE(log.WaitFor("posted", 3));
  ui.Pump();  // runs after the reader has reused its object twice
  auto events = log.Events();
  EXPECT_EQ(std::vector<std::string>(events.end() - 3, events.end()),
            (std::vector<std::string>{"a", "b", "c"}));
  sock.Disconnect();
}

// --- properties while connected ------------------------------------------------------------

TEST(ClientSock, SameValueKeepsConnectionNewValueReconnects) {
  ScriptedPeer first({Pause(5000)});
  ScriptedPeer second({Pause(5000)});
  EventLog log;
  TClientAsyncSock sock;
  Record(sock, log);
  sock.SetAddress("127.0.0.1");
  sock.SetPort(first.Port());
  sock.Connect();
  auto transport = sock.CSock();

  sock.SetPort(first.Port());
  sock.SetAddress("127.0.0.1");
  EXPECT_EQ(sock.CSock(), transport);
  EXPECT_EQ(log.Count("connected 127.0.0.1"), 1);

  sock.SetPort(second.Port());
  EXPECT_TRUE(sock.Active());
  EXPECT_NE(sock.CSock(), transport);
  EXPECT_EQ(log.Count("disconnect"), 1);
  EXPECT_EQ(log.Count("connected 127.0.0.1"), 2);
  EXPECT_TRUE(first.WaitFinished(1));
  EXPECT_TRUE(second.WaitAccepted(1));

  sock.SetAddress("localhost");  // another address: reconnects again (to the same server)
  EXPECT_TRUE(sock.Active());
  EXPECT_EQ(log.Count("connected 127.0.0.1"), 3);
  sock.Disconnect();
  EXPECT_EQ(log.Count("disconnect"), 3);

  sock.SetPort(first.Port());  // disconnected: only stored
  EXPECT_FALSE(sock.Active());
  EXPECT_EQ(sock.Port(), first.Port());
}

// --- sending -------------------------------------------------------------------------------

TEST(ClientSock, SendWritesFramesAndCloseMarker) {
  const Bytes frame = FrameOf(Msg(76, "hello"));
  ScriptedPeer peer({Expect(static_cast<int>(frame.size()) + 4), Pause(3000)});
  TClientAsyncSock sock;
  sock.SetReceiveData(false);
  sock.SetAddress("127.0.0.1");
  sock.SetPort(peer.Port());
  sock.Connect();
  EXPECT_EQ(sock.Reader(), nullptr);
  TDataParameter m = Msg(76, "hello");
  sock.Send(m);
  sock.SendCloseMarker();
  ASSERT_TRUE(peer.WaitReceived(frame.size() + 4));
  EXPECT_EQ(peer.Received(), Join({frame, Bytes{0x0A, 0x00, 0xA0, 0x00}}));
}

TEST(ClientSock, SendFailureClosesAndRaises) {
  ScriptedPeer peer({CloseNow()});
  EventLog log;
  TClientAsyncSock sock;
  Record(sock, log);
  sock.SetReceiveData(false);  // nothing notices the close but the writes
  sock.SetAddress("127.0.0.1");
  sock.SetPort(peer.Port());
  sock.Connect();
  ASSERT_TRUE(peer.WaitFinished(1));
  Bytes filler(4096, 1);
  TDataParameter m;
  m.AddData("D", filler.data(), filler.size());
  bool raised = false;
  for (int i = 0; i < 200 && !raised; ++i) {
    try {
      sock.Send(m);
      std::this_thread::sleep_for(5ms);
    } catch (const ESocketError&) {
      raised = true;
    }
  }
  EXPECT_TRUE(raised);
  EXPECT_FALSE(sock.Active());
  EXPECT_EQ(log.Count("disconnect"), 1);
  EXPECT_THROW(sock.Send(m), ESocketError);  // Send never connects
  EXPECT_THROW(sock.SendCloseMarker(), ESocketError);
}

TEST(ClientSock, ConnectFailureRaisesAndResetsCursor) {
  int port;
  {
    TcpListener l;
    l.Listen("127.0.0.1", 0);
    port = l.Port();
  }  // now closed: nobody listens there
  int cursorResets = 0;
  TClientSock::SetCursorResetHook([&] { ++cursorResets; });
  EventLog log;
  TClientSyncSock sync;
  TClientAsyncSock async;
  for (TClientSock* s : {static_cast<TClientSock*>(&sync), static_cast<TClientSock*>(&async)}) {
    Record(*s, log);
    s->SetAddress("127.0.0.1");
    s->SetPort(port);
    try {
      s->Connect();
      ADD_FAILURE() << "connected to a closed port";
    } catch (const ESocketError& e) {
      EXPECT_NE(std::string(e.what()).find("127.0.0.1:" + std::to_string(port)), std::string::npos)
          << e.what();
    }
    EXPECT_FALSE(s->Active());
  }
  EXPECT_EQ(cursorResets, 2);
  EXPECT_TRUE(log.Events().empty());
  TClientSock::SetCursorResetHook(nullptr);
}

}  // namespace
}  // namespace vantori
