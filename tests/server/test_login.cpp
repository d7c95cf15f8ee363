// Login conversation, login information, balance, sessions and logout.

#include <cstring>

#include "ServerFixture.h"

namespace vantori::server::test {
namespace {

TDataParameter LoginRequest(const std::string& id, const std::string& password) {
  TDataParameter m = Msg(1229);
  m.AddString("User", ScrambleText(id));
  m.AddString("Pass", ScrambleText(password));
  return m;
}

TEST_F(ServerTest, LoginConversationAnswersEachCase) {
  struct Case {
    const char* id;
    const char* password;
    int code;  // 0: success
  } cases[] = {
      {"ann", "ann-pass1", 0},
      {"  ANN ", "ann-pass1", 0},  // the ID as typed: blanks and capitals
      {"nobody", "ann-pass1", kErrUnknownUser},
      {"ann", "wrong", kErrWrongPassword},
      {"ann", "", kErrWrongPassword},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id + std::string("/") + c.password);
    TDataParameter reply = AskOne(LoginRequest(c.id, c.password), 727);
    ASSERT_EQ(TypeOf(reply), 727);
    if (c.code == 0) {
      EXPECT_TRUE(Ok(reply));
      EXPECT_EQ(reply.ParamByName("Seq").AsInteger(), M.Ann);
    } else {
      EXPECT_FALSE(Ok(reply));
      EXPECT_EQ(CodeOf(reply), c.code);
    }
  }
  // Texts that are not scrambled are refused, not crashed on.
  TDataParameter bad = Msg(1229);
  bad.AddString("User", "plain");
  bad.AddString("Pass", "plain");
  EXPECT_EQ(CodeOf(AskOne(bad, 727)), kErrInvalidRequest);
}

TEST_F(ServerTest, LoginInformationCarriesEveryValueInOrder) {
  auto replies = Ask(LoginInfoRequest(M.Ann, "ann", "ann-pass1"), {1212});
  ASSERT_EQ(replies.size(), 2u);
  const TDataParameter& info = replies[0];
  ASSERT_EQ(TypeOf(info), 77);
  ASSERT_TRUE(Ok(info));
  const std::vector<std::string> names = {
      "T",    "result", "1",   "M",     "S",      "R",       "Point",  "Unit",   "Term",  "UpSize", "Ssn1",
      "Ssn2", "Sys",    "AS1", "UName", "Credit", "CdtCard", "Mobile", "MblRet", "Board", "Gongji"};
  ASSERT_EQ(info.Count(), static_cast<int>(names.size()));
  for (int i = 0; i < info.Count(); ++i) EXPECT_EQ(info.Params(i).Name(), names[i]) << i;

  // Token: the request's tick, the member number, the coins, then "T".
  const std::string token = UnscrambleText(info.ParamByName("1").AsString());
  EXPECT_EQ(token, PadRightBlanks("4242", 20) + PadRightBlanks(std::to_string(M.Ann), 10) +
                       PadRightBlanks("100", 10) + "T");
  EXPECT_EQ(info.ParamByName("M").AsInteger(), 100);
  EXPECT_EQ(info.ParamByName("Point").AsInteger(), 50);
  EXPECT_GT(info.ParamByName("Unit").AsInteger(), 0);
  EXPECT_EQ(info.ParamByName("Term").AsInteger(), 30);
  EXPECT_EQ(info.ParamByName("UpSize").AsInt64(), 5 * 1024 * 1024);
  EXPECT_NE(info.ParamByName("Ssn1").AsString(), "000000");  // Ann is an adult
  EXPECT_EQ(info.ParamByName("Sys").Type(), ParamType::Real);
  EXPECT_EQ(info.ParamByName("AS1").AsString(), "127.0.0.1");
  EXPECT_EQ(info.ParamByName("UName").AsString(), "Ann");
  EXPECT_EQ(info.ParamByName("Credit").AsString(), "2000-01-01 00:00:00");

  // The pushed service settings: a 17-byte record for this member.
  const TDataParameter& settings = replies[1];
  ASSERT_EQ(TypeOf(settings), 1212);
  EXPECT_TRUE(Ok(settings));
  const TParamDef& d = settings.ParamByName("D");
  ASSERT_GE(d.DataSize(), 17u);
  std::int32_t seq = 0;
  std::memcpy(&seq, d.AsData(), 4);
  EXPECT_EQ(seq, M.Ann);

  // A kid's login information denies adult folders.
  TDataParameter kid = AskOne(LoginInfoRequest(M.Kid, "kid", "kid-pass1"), 77);
  EXPECT_EQ(kid.ParamByName("Ssn1").AsString(), "000000");
}

TEST_F(ServerTest, LoginInformationRefusesBadCredentials) {
  TDataParameter tokenOfAnother = LoginInfoRequest(M.Ann, "ann", "ann-pass1");
  tokenOfAnother.Clear();
  tokenOfAnother = Msg(76);
  tokenOfAnother.AddInteger("UserSeq", M.Ann);
  tokenOfAnother.AddString("UserID", "ann");
  tokenOfAnother.AddInteger("Serial", 1);
  tokenOfAnother.AddString("1",
                           ScrambleText(PadRightBlanks("1", 20) + PadRightBlanks(std::to_string(M.Ben), 10) +
                                        PadRightBlanks("ann", 21) + "ann-pass1"));
  struct Case {
    const char* what;
    TDataParameter request;
    int code;
  } cases[] = {
      {"wrong password", LoginInfoRequest(M.Ann, "ann", "nope"), kErrWrongPassword},
      {"unknown ID", LoginInfoRequest(M.Ann, "ghost", "x"), kErrUnknownUser},
      {"ID of another number", LoginInfoRequest(M.Ben, "ann", "ann-pass1"), kErrUnknownUser},
      {"token of another number", tokenOfAnother, kErrInvalidRequest},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.what);
    TDataParameter reply = AskOne(c.request, 77);
    EXPECT_FALSE(Ok(reply));
    EXPECT_EQ(CodeOf(reply), c.code);
  }
  // None of them opened a session.
  TDataParameter total = Msg(258);
  total.AddInteger("UserSeq", M.Ann);
  EXPECT_EQ(CodeOf(AskOne(total, 259)), kErrNoSession);
}

TEST_F(ServerTest, SessionsGateEveryRequest) {
  TDataParameter total = Msg(258);
  total.AddInteger("UserSeq", M.Ann);
  EXPECT_EQ(CodeOf(AskOne(total, 259)), kErrNoSession);

  OpenSession(M.Ann, "ann", "ann-pass1");
  TDataParameter upSize = AskOne(total, 259);
  ASSERT_TRUE(Ok(upSize));
  EXPECT_EQ(upSize.ParamByName("UpSize").AsInt64(), 5 * 1024 * 1024);

  // Ann's session does not serve Ben.
  TDataParameter asBen = Msg(258);
  asBen.AddInteger("UserSeq", M.Ben);
  EXPECT_EQ(CodeOf(AskOne(asBen, 259)), kErrNoSession);

  // A connection that acts for Ann refuses a request that names Ben as itself, even when Ben
  // has a session of his own from the same address.
  OpenSession(M.Ben, "ben", "ben-pass1");
  auto answers = Converse({{total, {259}}, {asBen, {259}}});
  ASSERT_EQ(answers[1].size(), 1u);
  EXPECT_TRUE(Ok(answers[0][0]));
  EXPECT_EQ(CodeOf(answers[1][0]), kErrNotYours);

  // Logout ends the session.
  TDataParameter logout = Msg(275);
  logout.AddInteger("UserSeq", M.Ann);
  TDataParameter ack = AskOne(logout, 276);
  EXPECT_TRUE(Ok(ack));
  EXPECT_EQ(CodeOf(AskOne(total, 259)), kErrNoSession);
}

TEST_F(ServerTest, BalanceEchoesTheRequestTick) {
  OpenSession(M.Ann, "ann", "ann-pass1");
  TDataParameter m = Msg(69);
  m.AddString("", ScrambleText(PadRightBlanks(std::to_string(M.Ann), 10) + PadRightBlanks("987654", 20)));
  TDataParameter reply = AskOne(m, 60);
  ASSERT_TRUE(Ok(reply));
  const std::vector<std::string> names = {"T", "result", "H", "M", "P", "S", "R"};
  ASSERT_EQ(reply.Count(), 7);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(reply.Params(i).Name(), names[i]);
  EXPECT_EQ(
      UnscrambleText(reply.ParamByName("H").AsString()),
      PadRightBlanks("987654", 20) + PadRightBlanks(std::to_string(M.Ann), 10) + PadRightBlanks("100", 10));
  EXPECT_EQ(reply.ParamByName("M").AsInteger(), 100);
  EXPECT_EQ(reply.ParamByName("P").AsInteger(), 50);
}

TEST_F(ServerTest, WithdrawalDeletesTheMember) {
  OpenSession(M.Kid, "kid", "kid-pass1");
  TDataParameter wrong = Msg(136);
  wrong.AddInteger("Seq", M.Kid);
  wrong.AddString("ID", "ann");
  EXPECT_EQ(CodeOf(AskOne(wrong, 137)), kErrNotYours);
  TDataParameter m = Msg(136);
  m.AddInteger("Seq", M.Kid);
  m.AddString("ID", "kid");
  EXPECT_TRUE(Ok(AskOne(m, 137)));
  EXPECT_EQ(CodeOf(AskOne(LoginRequest("kid", "kid-pass1"), 727)), kErrUnknownUser);
}

}  // namespace
}  // namespace vantori::server::test
