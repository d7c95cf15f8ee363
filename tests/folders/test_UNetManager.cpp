// TNetManager against the reference server and against a scripted peer: connecting on
// demand, the one-shot login server, the idle close, the wait discipline with its reply
// time limit, worker messages, and replies for records that are gone.

#include <gtest/gtest.h>

#include <cstring>
#include <deque>

#include "folders/NetFixture.h"
#include "folders/UHandles.h"
#include "folders/UNetManager.h"
#include "folders/UWait.h"
#include "protocol/ScriptedPeer.h"
#include "settings/UFunction.h"
#include "settings/ULoginManager.h"
#include "settings/UMoneyInfo.h"

namespace vantori::test {
namespace {

using vantori::testing::ScriptedPeer;

// The window side of waiting: records what it was asked to show; its loop pumps the
// dispatcher and lets the fake clock run on.
class TFakeWaitView : public IWaitView {
 public:
  TFakeWaitView(TQueueDispatcher& ui, std::atomic<std::uint32_t>& tick) : FUi(ui), FTick(tick) {}
  void ShowStatusText(const ByteString& text) override { Status.push_back(text); }
  void ShowWaitWindow(const ByteString& text) override { Window = text; }
  void CloseWaitWindow() override { WindowClosed = true; }
  void RunLoopUntil(const std::function<bool()>& done) override {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      FUi.PumpFor(std::chrono::milliseconds(5));
      if (EachPass) EachPass();
      FTick += Step;
    }
  }
  void ShowWaitError(const ByteString& text) override { Errors.push_back(text); }

  std::vector<ByteString> Status;
  ByteString Window;
  bool WindowClosed = false;
  std::vector<ByteString> Errors;
  std::uint32_t Step = 0;
  std::function<void()> EachPass;

 private:
  TQueueDispatcher& FUi;
  std::atomic<std::uint32_t>& FTick;
};

class NetManager : public NetFixture {
 protected:
  void SetUp() override {
    NetFixture::SetUp();
    FNet = MakeNet(*FConfig);
  }
  void TearDown() override {
    FNet.reset();
    NetFixture::TearDown();
  }

  std::unique_ptr<TNetManager> MakeNet(TClientConfig& config) {
    auto net = std::make_unique<TNetManager>(
        &config, nullptr, &FUi, [this] { return Tick(); }, 0);
    net->OnReceived = [this](TNetManager&, const TDataParameter& m) {
      FReceived.push_back(m);
      if (OnReply) OnReply(m);
    };
    net->OnDisconnect = [this](TNetManager&) { ++FDisconnects; };
    return net;
  }

  // The first message of that type that arrived, after pumping for it.
  const TDataParameter* WaitFor(int type) {
    const TDataParameter* found = nullptr;
    PumpUntil([&] {
      for (const auto& m : FReceived)
        if (m.Params(0).AsInteger() == type) found = &m;
      return found != nullptr;
    });
    return found;
  }

  void Login() {
    TLoginManager login;
    login.SetServer("127.0.0.1", FPort);
    TLoginResult r = login.Login("demo", "demo1234");
    ASSERT_TRUE(r.Ok()) << r.Error;
    ApplyLogin(*FConfig, r, "demo", "demo1234");
  }

  std::unique_ptr<TNetManager> FNet;
  std::deque<TDataParameter> FReceived;
  std::function<void(const TDataParameter&)> OnReply;
  int FDisconnects = 0;
};

TEST_F(NetManager, LoginInformationGoesToTheLoginServerOnceThenToTheMainServer) {
  Login();
  FNet->UseLoginServer = true;
  FNet->RequestLoginInfo();
  EXPECT_TRUE(FNet->Connected());
  EXPECT_EQ(FNet->Socket().Address(), "localhost");
  EXPECT_FALSE(FNet->UseLoginServer);
  const TDataParameter* info = WaitFor(77);
  ASSERT_NE(info, nullptr);
  TMoneyInfo money;
  TLoginInfoOutcome out = ApplyLoginInfo(*info, *FConfig, money, Tick(), LocalNowDays());
  EXPECT_TRUE(out.Ok) << out.ErrorText;
  EXPECT_EQ(money.Coins(), 5000);
  FNet->Disconnect();

  FConfig->SetMainServerAddress("127.0.0.1");
  FNet->QueryUploadTotal();  // not connected: connects first, to the main server
  EXPECT_EQ(FNet->Socket().Address(), "127.0.0.1");
  EXPECT_NE(WaitFor(259), nullptr);
}

TEST_F(NetManager, IdleConnectionsCloseAfterTheLimitAndRequestsReconnect) {
  Login();
  FNet->UseLoginServer = true;
  FNet->RequestLoginInfo();
  ASSERT_NE(WaitFor(77), nullptr);
  // The service settings are pushed right after the reply; they count as traffic, so
  // the idle clock starts only once they are in.
  ASSERT_NE(WaitFor(1212), nullptr);
  Advance(30000);
  EXPECT_FALSE(FNet->IdleCheck());  // exactly the limit: still open
  EXPECT_TRUE(FNet->Connected());
  Advance(1000);
  EXPECT_TRUE(FNet->IdleCheck());
  EXPECT_FALSE(FNet->Connected());
  EXPECT_FALSE(FNet->IdleCheck());  // nothing to close
  FReceived.clear();
  FNet->QueryUploadTotal();
  EXPECT_TRUE(FNet->Connected());
  EXPECT_NE(WaitFor(259), nullptr);
}

TEST_F(NetManager, TheIdleCloseSendsTheCloseMarkerAlone) {
  ScriptedPeer peer({});
  auto config = MakeConfig(peer.Port());
  auto net = MakeNet(*config);
  net->QueryUploadTotal();
  Advance(31000);
  EXPECT_TRUE(net->IdleCheck());
  ASSERT_TRUE(peer.WaitFinished(1));
  Bytes got = peer.Received();
  TDataParameter request;
  BuildQueryUploadTotal(request, net->Context());
  Bytes frame = MakeFrame(request.Encode());
  ASSERT_EQ(got.size(), frame.size() + 4);
  EXPECT_TRUE(std::equal(frame.begin(), frame.end(), got.begin()));
  const std::uint8_t marker[] = {0x0A, 0x00, 0xA0, 0x00};
  EXPECT_EQ(std::memcmp(got.data() + frame.size(), marker, 4), 0);
}

TEST_F(NetManager, ConnectFailureRaisesTheRetryText) {
  std::uint16_t closedPort = 0;
  {
    TcpListener probe;
    probe.Listen("127.0.0.1", 0);
    closedPort = probe.Port();
  }
  auto config = MakeConfig(closedPort);
  auto net = MakeNet(*config);
  try {
    net->QueryUploadTotal();
    FAIL() << "no error";
  } catch (const EKXError& e) {
    EXPECT_STREQ(e.what(), kCannotConnectText);
  }
}

TEST_F(NetManager, AWaitEndsWithItsReplyAndHoldsTheIdleCloseOff) {
  // A server that answers after a while, long past the idle limit on the fake clock.
  ScriptedPeer slow({vantori::testing::Pause(300),
                     vantori::testing::SendBytes(vantori::testing::FrameOf(vantori::testing::Msg(259)))});
  auto config = MakeConfig(slow.Port());
  auto net = MakeNet(*config);
  TFakeWaitView view(FUi, FTick);
  TWaitControl wait(view, [this] { return Tick(); });
  net->SetWaitControl(&wait);
  OnReply = [&](const TDataParameter& m) {
    if (m.Params(0).AsInteger() == 259) wait.EndWait();
  };
  int checksWhileBusy = 0;
  bool idleClosed = false;
  view.Step = 40000;  // every pass of the loop, the clock jumps past the idle limit
  view.EachPass = [&] {
    if (!wait.Busy()) return;
    ++checksWhileBusy;
    idleClosed = idleClosed || net->IdleCheck();
  };
  net->QueryUploadTotal();
  EXPECT_TRUE(wait.ShowWaitDialog("wait", 4'000'000'000u));
  EXPECT_GT(checksWhileBusy, 1);
  EXPECT_FALSE(idleClosed);
  EXPECT_TRUE(net->Connected());
  EXPECT_FALSE(wait.Busy());
  EXPECT_EQ(view.Window, "wait");
  EXPECT_TRUE(view.WindowClosed);
  EXPECT_EQ(view.Status.back(), "");
  EXPECT_TRUE(view.Errors.empty());
  // Once the wait is over the connection may idle out again.
  Advance(40000);
  EXPECT_TRUE(net->IdleCheck());
}

TEST_F(NetManager, AWaitWithoutAReplyEndsAtItsTimeLimit) {
  ScriptedPeer silent({});
  auto config = MakeConfig(silent.Port());
  auto net = MakeNet(*config);
  TFakeWaitView view(FUi, FTick);
  TWaitControl wait(view, [this] { return Tick(); });
  net->SetWaitControl(&wait);
  bool timedOut = false;
  wait.OnTimedOut = [&] { timedOut = true; };
  net->QueryUploadTotal();
  view.Step = 1000;
  EXPECT_FALSE(wait.BeginWait("busy", 5000));
  EXPECT_TRUE(timedOut);
  EXPECT_FALSE(wait.Busy());
  ASSERT_EQ(view.Errors.size(), 1u);
  EXPECT_STREQ(view.Errors[0].c_str(), kNoReplyText);
  EXPECT_EQ(view.Status.front(), "busy");
  EXPECT_EQ(view.Status.back(), "");
  wait.EndWait();  // a late reply's handler: harmless
  EXPECT_FALSE(wait.Busy());
}

TEST_F(NetManager, WorkerMessagesAreSentAsBuiltWithTheirRecordEncrypted) {
  ScriptedPeer peer({});
  auto config = MakeConfig(peer.Port());
  auto net = MakeNet(*config);
  TDataParameter worker;
  worker.AddInteger("T", 1209);
  const std::uint8_t record[54] = {1, 2, 3};
  worker.AddEncript("D", record, 4242);
  Bytes expected = MakeFrame(TDataParameter(worker).Encode());
  std::thread sender([&] { net->SendPrepared(worker); });
  sender.join();
  ASSERT_TRUE(peer.WaitReceived(expected.size()));
  Bytes got = peer.Received();
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), got.begin()));
  // The worker's own object is untouched.
  EXPECT_EQ(worker.ParamByName("D").Type(), ParamType::Encript);
}

TEST_F(NetManager, AReplyForAFreedRecordFindsNothing) {
  Login();
  FNet->UseLoginServer = true;
  FNet->RequestLoginInfo();
  ASSERT_NE(WaitFor(77), nullptr);
  auto root = std::make_unique<TFolderItem>();
  root->Kind = nkMyFoldersRoot;
  root->Seq = -1;
  root->Owner = -1;
  auto kept = std::make_unique<TFolderItem>();
  kept->Kind = nkMyFoldersRoot;
  kept->Seq = -1;
  kept->Owner = -1;
  std::int32_t freedHandle = root->Handle();
  FNet->ListMyFolder(*root);
  FNet->ListMyFolder(*kept);
  root.reset();  // the node was deleted while its listing was under way

  std::vector<TFolderItem*> found;
  PumpUntil([&] {
    int listings = 0;
    for (const auto& m : FReceived)
      if (m.Params(0).AsInteger() == 582) ++listings;
    return listings == 2;
  });
  for (const auto& m : FReceived) {
    if (m.Params(0).AsInteger() != 582) continue;
    const TParamDef* hdl = m.FindParam("Hdl");
    ASSERT_NE(hdl, nullptr);
    found.push_back(FindHandle<TFolderItem>(hdl->AsInt64()));
    if (hdl->AsInt64() == freedHandle) {
      EXPECT_EQ(found.back(), nullptr);
    }
  }
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0], nullptr);
  EXPECT_EQ(found[1], kept.get());
}

}  // namespace
}  // namespace vantori::test
