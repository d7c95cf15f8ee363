// Login, login information, balance, upload total, logout and membership withdrawal.

#include <chrono>
#include <cmath>
#include <cstring>
#include <ctime>

#include "ServerHandlers.h"
#include "protocol/ProtocolConstants.h"
#include "settings/UFunction.h"

namespace vantori::server {

namespace {

std::string DateTimeText(double days) {
  // The day count is local time already: format it as a plain calendar value.
  const auto seconds = static_cast<std::time_t>(std::llround((days - 25569.0) * 86400.0));
  std::tm tm{};
  gmtime_r(&seconds, &tm);
  char text[64];
  std::strftime(text, sizeof text, proto::kDateTimeTextFormat, &tm);
  return text;
}

// The end date sent for members without a flat-rate subscription: long past.
constexpr double kNoCredit = 36526.0;  // 2000-01-01

std::uint32_t Tick() {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

// The member of a user ID as typed, if the password matches. Refuses with the login codes.
TMember CheckCredentials(TRequestContext& ctx, std::string_view typedID, std::string_view typedPassword) {
  const std::string id = LowerAscii(TrimBlanks(typedID));
  auto member = ctx.Db.MemberByID(id);
  if (!member) throw ERefused(kErrUnknownUser, "unknown user " + id);
  // The client keeps the password trimmed after the login and sends it so in every later
  // request that carries it, so both checks compare the trimmed text.
  if (!ctx.Db.CheckPassword(member->Seq, TrimBlanks(typedPassword))) {
    throw ERefused(kErrWrongPassword, "wrong password for " + id);
  }
  return *member;
}

std::string Padded(std::string_view text, int n) {
  return PadRightBlanks(text, n);
}

void Login(TRequestContext& ctx) {
  std::string user, pass;
  if (!TryUnscrambleText(ctx.Str("User"), user) || !TryUnscrambleText(ctx.Str("Pass"), pass)) {
    throw ERefused(kErrInvalidRequest, "bad scrambled credentials");
  }
  const TMember m = CheckCredentials(ctx, user, pass);
  ctx.Member = m.Seq;
  ctx.Reply(727).AddInteger("Seq", m.Seq);
}

void PushServiceSettings(TRequestContext& ctx, const TMember& m) {
  std::uint8_t record[17] = {};
  const std::int32_t seq = m.Seq;
  const std::int32_t unit = m.Unit;
  const std::int32_t term = m.Term;
  const std::uint32_t tick = Tick();
  std::memcpy(record + 0, &seq, 4);
  record[4] = m.FreeDownload ? 1 : 0;
  std::memcpy(record + 5, &unit, 4);
  std::memcpy(record + 9, &term, 4);
  std::memcpy(record + 13, &tick, 4);
  TDataParameter& r = ctx.Reply(1212);
  r.AddEncript("D", record, tick);
}

void LoginInfo(TRequestContext& ctx) {
  const std::int32_t userSeq = ctx.Int("UserSeq");
  const std::string userID = ctx.Str("UserID");
  std::string token;
  if (!TryUnscrambleText(ctx.Str("1"), token) || token.size() < 51) {
    throw ERefused(kErrInvalidRequest, "bad login information token");
  }
  // tick (20), member number (10), user ID (21), password (21; a longer one stays whole).
  const std::string tick = TrimBlanks(token.substr(0, 20));
  auto tokenSeq = ParseDecimal(token.substr(20, 10));
  const std::string tokenID = TrimBlanks(token.substr(30, 21));
  const std::string password = token.substr(51);
  if (!ParseDecimal(tick) || !tokenSeq || *tokenSeq != userSeq ||
      LowerAscii(TrimBlanks(userID)) != LowerAscii(tokenID)) {
    throw ERefused(kErrInvalidRequest, "inconsistent login information request");
  }
  if (ctx.Conn.BoundMember != 0 && ctx.Conn.BoundMember != userSeq) {
    throw ERefused(kErrNotYours, "connection acts for another member");
  }
  const TMember m = CheckCredentials(ctx, tokenID, password);
  if (m.Seq != userSeq) throw ERefused(kErrUnknownUser, "member number does not match the ID");

  ctx.Sessions.Open(ctx.Db, m.Seq, ctx.Conn.PeerAddress);
  ctx.Conn.BoundMember = m.Seq;
  ctx.Conn.ProvedPassword = true;
  ctx.Conn.LoggedOut = false;
  ctx.Member = m.Seq;

  const double now = NowDays();
  TDataParameter& r = ctx.Reply(77);
  r.AddString("1", ScrambleText(Padded(tick, 20) + Padded(std::to_string(m.Seq), 10) +
                                Padded(std::to_string(m.Coins), 10) + "T"));
  r.AddInteger("M", m.Coins);
  r.AddInteger("S", m.SValue);
  r.AddInteger("R", m.RValue);
  r.AddInteger("Point", m.Points);
  r.AddInteger("Unit", m.Unit);
  r.AddInteger("Term", m.Term);
  r.AddInteger("UpSize", ctx.Db.UploadTotal(m.Seq));
  r.AddString("Ssn1", m.Adult ? "800101" : "000000");
  r.AddString("Ssn2", "*******");
  r.AddReal("Sys", now);
  r.AddString("AS1",
              ctx.Settings.AdvertisedHost.empty() ? ctx.Conn.LocalAddress : ctx.Settings.AdvertisedHost);
  r.AddString("UName", m.Name);
  r.AddString("Credit", DateTimeText(m.CreditEnd > 0 ? m.CreditEnd : kNoCredit));
  r.AddString("CdtCard", m.Card);
  r.AddString("Mobile", m.Mobile);
  r.AddString("MblRet", m.MobileRet);
  r.AddString("Board", m.Board);
  r.AddString("Gongji", m.Notice);
  PushServiceSettings(ctx, m);
}

void Balance(TRequestContext& ctx) {
  // member number (10), then the tick (20)
  const std::string text = ctx.PosUnscrambled(1);
  if (text.size() < 11) throw ERefused(kErrInvalidRequest, "short balance request");
  auto seq = ParseDecimal(text.substr(0, 10));
  const std::string tick = TrimBlanks(text.substr(10));
  if (!seq || !ParseDecimal(tick) || *seq <= 0 || *seq > INT32_MAX) {
    throw ERefused(kErrInvalidRequest, "bad balance request");
  }
  ctx.Authorize(static_cast<std::int32_t>(*seq));
  const TMember m = ctx.Me();
  TDataParameter& r = ctx.Reply(60);
  r.AddString("H", ScrambleText(Padded(tick, 20) + Padded(std::to_string(m.Seq), 10) +
                                Padded(std::to_string(m.Coins), 10)));
  r.AddInteger("M", m.Coins);
  r.AddInteger("P", m.Points);
  r.AddInteger("S", m.SValue);
  r.AddInteger("R", m.RValue);
}

void UploadTotal(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  ctx.Reply(259).AddInteger("UpSize", ctx.Db.UploadTotal(ctx.Member));
}

void Logout(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  ctx.Sessions.End(ctx.Db, ctx.Member);
  ctx.Conn.LoggedOut = true;
  ctx.Reply(276);
}

void Withdraw(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("Seq"));
  const TMember m = ctx.Me();
  if (LowerAscii(TrimBlanks(ctx.Str("ID"))) != m.UserID) throw ERefused(kErrNotYours, "ID does not match");
  ctx.Db.DeleteMember(m.Seq);
  ctx.Sessions.End(ctx.Db, m.Seq);
  ctx.Conn.LoggedOut = true;
  ctx.Reply(137);
}

}  // namespace

void RegisterLoginHandlers(THandlerRegistry& registry) {
  registry.Add({1229, 727, "login", {}, Login});
  registry.Add({76, 77, "login information", {}, LoginInfo});
  registry.Add({69, 60, "balance", {}, Balance});
  registry.Add({258, 259, "upload total", {}, UploadTotal});
  registry.Add({275, 276, "logout", {}, Logout});
  registry.Add({136, 137, "withdraw", {}, Withdraw});
}

}  // namespace vantori::server
