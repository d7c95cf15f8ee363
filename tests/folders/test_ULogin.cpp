// The login conversation against the reference server and scripted peers, and the checks
// and effects of the login-information reply.

#include <gtest/gtest.h>

#include "folders/NetFixture.h"
#include "protocol/ScriptedPeer.h"
#include "settings/UFunction.h"
#include "settings/ULoginManager.h"
#include "settings/UMoneyInfo.h"

namespace vantori::test {
namespace {

namespace st = vantori::testing;

class Login : public NetFixture {
 protected:
  TLoginResult Try(std::string_view id, std::string_view password, std::uint16_t port = 0) {
    TLoginManager login;
    login.SetServer("127.0.0.1", port != 0 ? port : FPort);
    return login.Login(id, password);
  }
};

TEST_F(Login, ServerAnswersForEachCase) {
  struct TCase {
    const char* Id;
    const char* Password;
    TLoginResult::TStatus Status;
    std::int32_t Code;
  };
  const TCase cases[] = {
      {"demo", "demo1234", TLoginResult::lsSuccess, 0},
      {"  DeMo ", "demo1234", TLoginResult::lsSuccess, 0},
      {"demo", " demo1234 ", TLoginResult::lsSuccess, 0},
      {"demo", "wrong", TLoginResult::lsRefused, 21002},
      {"nobody", "demo1234", TLoginResult::lsRefused, 21001},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(std::string(c.Id) + "/" + c.Password);
    TLoginResult r = Try(c.Id, c.Password);
    EXPECT_EQ(r.Status, c.Status) << r.Error;
    EXPECT_EQ(r.Code, c.Code);
    if (r.Ok()) {
      EXPECT_GT(r.UserSeq, 0);
      EXPECT_TRUE(r.Text().empty());
    } else {
      EXPECT_EQ(r.Text(), LoginCodeText(c.Code));
    }
  }
}

TEST_F(Login, ASuccessfulLoginIsStoredTrimmedAndLowerCased) {
  TLoginResult r = Try(" DeMo ", " demo1234 ");
  ASSERT_TRUE(r.Ok());
  ApplyLogin(*FConfig, r, " DeMo ", " demo1234 ");
  EXPECT_EQ(FConfig->UserID(), "demo");
  EXPECT_EQ(FConfig->UserSeq(), r.UserSeq);
  EXPECT_EQ(FConfig->Password(), "demo1234");
}

TEST_F(Login, TheRequestCarriesTheIdAsTypedAndThePasswordTrimmed) {
  TDataParameter refused;
  refused.AddInteger("T", 727);
  refused.AddBoolean("", false);
  refused.AddInteger("Code", 21018);
  st::ScriptedPeer peer({st::Pause(100), st::SendBytes(st::FrameOf(refused))});
  TLoginResult r = Try(" Ann ", "  pw  ", peer.Port());
  EXPECT_EQ(r.Status, TLoginResult::lsRefused);
  EXPECT_EQ(r.Text(), LoginCodeText(21018));

  Bytes sent = peer.Received();
  ASSERT_GT(sent.size(), 4u);
  TDataParameter request;
  request.Decode(sent.data() + 4, sent.size() - 4);
  EXPECT_EQ(request.Params(0).AsInteger(), 1229);
  EXPECT_EQ(UnscrambleText(request.ParamByName("User").AsString()), " Ann ");
  EXPECT_EQ(UnscrambleText(request.ParamByName("Pass").AsString()), "pw");
}

TEST_F(Login, AnUnreachableOrSilentServerGivesAMessage) {
  std::uint16_t closedPort = 0;
  {
    TcpListener probe;
    probe.Listen("127.0.0.1", 0);
    closedPort = probe.Port();
  }
  TLoginResult unreachable = Try("demo", "demo1234", closedPort);
  EXPECT_EQ(unreachable.Status, TLoginResult::lsUnreachable);
  EXPECT_EQ(unreachable.Text(), kLoginUnreachableText);

  st::ScriptedPeer silent({st::Pause(2000)});
  TLoginManager login;
  login.SetServer("127.0.0.1", silent.Port());
  login.SetReadTimeout(200);
  TLoginResult noReply = login.Login("demo", "demo1234");
  EXPECT_EQ(noReply.Status, TLoginResult::lsNoReply);
  EXPECT_EQ(noReply.Text(), kLoginUnreachableText);
}

// ---- The login-information reply ------------------------------------------------------------

struct TInfo {
  std::uint32_t Tick = 500000;
  std::int32_t Seq = 41;
  std::int32_t TokenCoins = 900;
  std::int32_t Coins = 900;
  const char* Suffix = "T";
  const char* Ssn1 = "800101";
  double Sys = 40000.0;
  const char* Credit = "2000-01-01 00:00:00";
  bool DropBoard = false;
};

TDataParameter InfoReply(const TInfo& i) {
  TDataParameter r;
  r.AddInteger("T", 77);
  r.AddBoolean("", true);
  r.AddString("1", ScrambleText(PadRightBlanks(std::to_string(i.Tick), 20) +
                                PadRightBlanks(std::to_string(i.Seq), 10) +
                                PadRightBlanks(std::to_string(i.TokenCoins), 10) + i.Suffix));
  r.AddInteger("M", i.Coins);
  r.AddInteger("S", 3);
  r.AddInteger("R", 1234);
  r.AddInteger("Point", 70);
  r.AddInteger("Unit", 10);
  r.AddInteger("Term", 45);
  r.AddInteger("UpSize", 5'000'000'000LL);
  r.AddString("Ssn1", i.Ssn1);
  r.AddString("Ssn2", "1234567");
  r.AddReal("Sys", i.Sys);
  r.AddString("AS1", "10.1.2.3");
  r.AddString("UName", "name");
  r.AddString("Credit", i.Credit);
  r.AddString("CdtCard", "card");
  r.AddString("Mobile", "mobile");
  r.AddString("MblRet", "ret");
  if (!i.DropBoard) r.AddString("Board", "board");
  r.AddString("Gongji", "  ");
  return r;
}

class LoginInfo : public NetFixture {
 protected:
  void SetUp() override {
    FWantServer = false;
    NetFixture::SetUp();
    FConfig->SetUserSeq(41);
  }
  TLoginInfoOutcome Apply(const TInfo& info, std::uint32_t now) {
    return ApplyLoginInfo(InfoReply(info), *FConfig, FMoney, now, 39999.5);
  }
  TMoneyInfo FMoney;
};

TEST_F(LoginInfo, AFreshReplyFillsTheSettingsAndTheBalance) {
  TLoginInfoOutcome out = Apply(TInfo{}, 500000 + 10000);  // exactly ten seconds later
  ASSERT_TRUE(out.Ok) << out.ErrorText;
  EXPECT_EQ(FMoney.Coins(), 900);
  EXPECT_EQ(FMoney.SValue(), 3);
  EXPECT_EQ(FMoney.CountedBytes(), 1234);
  EXPECT_EQ(FMoney.Points(), 70);
  EXPECT_EQ(FMoney.MegaPerCoin(), 10);
  EXPECT_EQ(FConfig->StorageTerm.load(), 45);
  EXPECT_EQ(FConfig->TotalUploadSize(), 5'000'000'000LL);
  EXPECT_TRUE(FConfig->AdultPermission.load());
  EXPECT_EQ(FConfig->MainServerAddress(), "10.1.2.3");
  EXPECT_EQ(FConfig->UserName(), "name");
  EXPECT_EQ(FConfig->Board(), "board");
  EXPECT_DOUBLE_EQ(FConfig->ServerTimeOffset.load(), 0.5);
  EXPECT_TRUE(FConfig->NotFlatRate.load());  // a credit end in the past
  EXPECT_FALSE(out.FlatRate);
  EXPECT_TRUE(out.Notice.empty());  // a blank notice is no notice
  EXPECT_TRUE(FConfig->LoggedIn.load());
}

TEST_F(LoginInfo, FlatRateAndAdultPermissionFollowTheReply) {
  TInfo info;
  info.Ssn1 = "000000";
  info.Credit = "2010-07-01 12:00:00";  // after Sys
  TLoginInfoOutcome out = Apply(info, 500000);
  ASSERT_TRUE(out.Ok) << out.ErrorText;
  EXPECT_FALSE(FConfig->AdultPermission.load());
  EXPECT_TRUE(out.FlatRate);
  EXPECT_FALSE(FConfig->NotFlatRate.load());
  EXPECT_GT(FConfig->FlatRateTerm(), 0.0);
}

TEST_F(LoginInfo, StaleForeignOrDamagedRepliesFailTheStart) {
  struct TCase {
    const char* Name;
    TInfo Info;
    std::uint32_t Now;
  };
  TInfo stale, foreign, coins, suffix, credit, missing;
  foreign.Seq = 42;
  coins.Coins = 901;
  suffix.Suffix = "F";
  credit.Credit = "tomorrow";
  missing.DropBoard = true;
  const TCase cases[] = {
      {"stale", stale, 500000 + 10001},    {"foreign member", foreign, 500000},
      {"coins differ", coins, 500000},     {"no T", suffix, 500000},
      {"bad credit date", credit, 500000}, {"missing value", missing, 500000},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    FConfig->LoggedIn = true;
    FMoney.SetCoins(1);
    TLoginInfoOutcome out = Apply(c.Info, c.Now);
    EXPECT_FALSE(out.Ok);
    EXPECT_FALSE(out.Refused);
    EXPECT_FALSE(out.ErrorText.empty());
    if (std::string(c.Name) != "missing value") {
      EXPECT_EQ(out.ErrorText, kLoginInfoErrorText);
    }
    EXPECT_FALSE(FConfig->LoggedIn.load());
    EXPECT_EQ(FMoney.Coins(), 1);  // nothing was applied
  }
}

TEST_F(LoginInfo, ARefusalCarriesTheCodeText) {
  TDataParameter r;
  r.AddInteger("T", 77);
  r.AddBoolean("", false);
  r.AddInteger("Code", 21001);
  TLoginInfoOutcome out = ApplyLoginInfo(r, *FConfig, FMoney, 0, 0);
  EXPECT_FALSE(out.Ok);
  EXPECT_TRUE(out.Refused);
  EXPECT_EQ(out.Code, 21001);
  EXPECT_EQ(out.ErrorText, LoginCodeText(21001));
  EXPECT_FALSE(FConfig->LoggedIn.load());
}

TEST(LoginDates, DateTimeTextsConvertOrAreRefused) {
  double days = 0;
  ASSERT_TRUE(ParseDateTimeText("2007-01-01 00:00:00", days));
  EXPECT_DOUBLE_EQ(days, 39083.0);
  ASSERT_TRUE(ParseDateTimeText("2007-01-01 12:00:00", days));
  EXPECT_DOUBLE_EQ(days, 39083.5);
  ASSERT_TRUE(ParseDateTimeText("1899-12-30", days));
  EXPECT_DOUBLE_EQ(days, 0.0);
  for (const char* bad : {"", "2007-13-01 00:00:00", "2007-01-01 00:00:00 x", "01/01/2007"})
    EXPECT_FALSE(ParseDateTimeText(bad, days)) << bad;
}

}  // namespace
}  // namespace vantori::test
