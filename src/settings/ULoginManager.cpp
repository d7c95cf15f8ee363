#include "settings/ULoginManager.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "settings/UClientConfig.h"
#include "settings/UFunction.h"
#include "settings/ULog.h"
#include "settings/ULoginText.h"
#include "settings/UMoneyInfo.h"

namespace vantori {

const char kLoginInfoErrorText[] = "\xBF\xC0\xB7\xF9 \xB9\xDF\xBB\xFD !";
const char kLoginUnreachableText[] =
    "\xB7\xCE\xB1\xD7\xC0\xCE \xBC\xAD\xB9\xF6\xBF\xA1 \xC1\xA2\xBC\xD3\xC7\xD2 \xBC\xF6 "
    "\xBE\xF8\xBD\xC0\xB4\xCF\xB4\xD9.\r\r\xC0\xE1\xBD\xC3 \xC8\xC4\xBF\xA1 \xB4\xD9\xBD\xC3 "
    "\xBD\xC3\xB5\xB5\xC7\xCF\xBF\xA9 \xC1\xD6\xBD\xC3\xB1\xE2 \xB9\xD9\xB6\xF8\xB4\xCF\xB4\xD9.";
const char kFlatRateTitleSuffix[] = " [\xC1\xA4\xBE\xD7\xB8\xF0\xB5\xE5]";

std::string LoginCodeText(std::int32_t code) {
  switch (code) {
    case 21001:
      return "\xB5\xEE\xB7\xCF\xB5\xC7\xBE\xEE \xC0\xD6\xC1\xF6 \xBE\xCA\xC0\xBA "
             "\xBB\xE7\xBF\xEB\xC0\xDA\xC0\xD4\xB4\xCF\xB4\xD9.\r\r\xBB\xE7\xBF\xEB\xC0\xDA "
             "\xBE\xC6\xC0\xCC\xB5\xF0\xBF\xCD \xC6\xD0\xBD\xBA\xBF\xF6\xB5\xE5\xB8\xA6 "
             "\xC8\xAE\xC0\xCE\xC7\xCF\xBD\xC3\xB1\xE2 \xB9\xD9\xB6\xF8\xB4\xCF\xB4\xD9.";
    case 21002:
      return "\xBF\xC3\xB9\xD9\xB8\xA5 \xC6\xD0\xBD\xBA\xBF\xF6\xB5\xE5\xB0\xA1 "
             "\xBE\xC6\xB4\xD5\xB4\xCF\xB4\xD9. "
             "\xC8\xAE\xC0\xCE\xC7\xCF\xBD\xC3\xB1\xE2 \xB9\xD9\xB6\xF8\xB4\xCF\xB4\xD9.";
    case 21018:
      return "\xC0\xDF\xB8\xF8\xB5\xC8 \xB9\xF6\xC1\xAF\xC0\xC7 "
             "\xC7\xC1\xB7\xCE\xB1\xD7\xB7\xA5\xC0\xD4\xB4\xCF\xB4\xD9."
             "\r\r\xC0\xCE\xBD\xBA\xC5\xE7 \xC7\xC1\xB7\xCE\xB1\xD7\xB7\xA5\xC0\xBB \xB4\xD9\xBD\xC3 "
             "\xB4\xD9\xBF\xEE\xB7\xCE\xB5\xE5\xC7\xCF\xBD\xC3\xBE\xEE "
             "\xBC\xB3\xC4\xA1\xC7\xCF\xBD\xC3\xB1\xE2 "
             "\xB9\xD9\xB6\xF8\xB4\xCF\xB4\xD9.";
    case 21023:
      return "\xB9\xF6\xC1\xAF\xC0\xCC \xC6\xB2\xB8\xB3\xB4\xCF\xB4\xD9. "
             "\xBE\xF7\xB5\xA5\xC0\xCC\xC6\xAE\xB8\xA6 "
             "\xC7\xCF\xBD\xC3\xB1\xE2 \xB9\xD9\xB6\xF8\xB4\xCF\xB4\xD9.";
    default:
      return "\xB5\xEE\xB7\xCF\xB5\xC7\xBE\xEE \xC0\xD6\xC1\xF6 \xBE\xCA\xC0\xBA \xBF\xC0\xB7\xF9\xB0\xA1 "
             "\xB9\xDF\xBB\xFD\xB5\xC7\xBE\xFA\xBD\xC0\xB4\xCF\xB4\xD9.";
  }
}

std::string TLoginResult::Text() const {
  switch (Status) {
    case lsSuccess:
      return std::string();
    case lsRefused:
      return LoginCodeText(Code);
    case lsUnreachable:
    case lsNoReply:
      return kLoginUnreachableText;
  }
  return std::string();
}

// ---- The conversation ---------------------------------------------------------------------

TLoginManager::TLoginManager(TLog* log) : FLog(log) {
  FSock.SetReadTimeout(kLoginReadTimeout);
}

void TLoginManager::SetServer(const std::string& address, int port) {
  FAddress = address;
  FPort = port;
}

void TLoginManager::Disconnect() {
  FSock.Disconnect();
}

TLoginResult TLoginManager::Login(std::string_view userID, std::string_view password) {
  TLoginResult result;
  bool connected = false;
  bool replied = false;

  FRequest.Clear();
  FRequest.AddInteger("T", kLoginRequestType);
  FRequest.AddString("User", ScrambleText(userID));
  // The password is trimmed here, as it is kept after the login: every later request that
  // carries it then carries what the server has checked.
  FRequest.AddString("Pass", ScrambleText(TrimText(password)));

  FSock.OnConnected = [&](TClientSock&, const std::string&) {
    connected = true;
    if (OnConnected) OnConnected();
  };
  FSock.OnStartRead = [&](TClientSock& sock) { static_cast<TClientSyncSock&>(sock).Send(FRequest); };
  FSock.OnReceived = [&](TClientSock& sock, const TDataParameter& reply) {
    if (OnReceived) OnReceived(reply);
    if (reply.Count() == 0 || reply.Params(0).AsInteger() != kLoginReplyType) return;
    replied = true;
    sock.Disconnect();
    if (reply.Count() > 1 && reply.Params(1).AsBoolean()) {
      result.Status = TLoginResult::lsSuccess;
      result.UserSeq = reply.ParamByName("Seq").AsInteger();
    } else {
      result.Status = TLoginResult::lsRefused;
      const TParamDef* code = reply.FindParam("Code");
      result.Code = code != nullptr ? code->AsInteger() : 0;
    }
  };
  FSock.OnDisconnect = [&](TClientSock&) {
    if (OnDisconnected) OnDisconnected();
  };

  try {
    FSock.Disconnect();
    FSock.SetAddress(FAddress);
    FSock.SetPort(FPort);
    FSock.Connect();
    if (!replied) {
      result.Status = TLoginResult::lsNoReply;
      result.Error = "no login reply";
    }
  } catch (const std::exception& e) {
    result.Error = e.what();
    if (!replied) result.Status = connected ? TLoginResult::lsNoReply : TLoginResult::lsUnreachable;
  }
  if (!result.Ok() && FLog != nullptr) {
    FLog->Write(
        "TLoginManager.Login " + FAddress + ":" + std::to_string(FPort) + " : " +
        (result.Status == TLoginResult::lsRefused ? "code " + std::to_string(result.Code) : result.Error));
  }
  FSock.OnConnected = nullptr;
  FSock.OnStartRead = nullptr;
  FSock.OnReceived = nullptr;
  FSock.OnDisconnect = nullptr;
  return result;
}

void ApplyLogin(TClientConfig& config, const TLoginResult& result, std::string_view userID,
                std::string_view password) {
  config.SetUserSeq(result.UserSeq);
  config.SetUserID(LowerTrim(userID));
  config.SetPassword(TrimText(password));
}

// ---- Dates --------------------------------------------------------------------------------

namespace {

long DaysFromCivil(long y, long m, long d) {
  y -= m <= 2;
  long era = (y >= 0 ? y : y - 399) / 400;
  long yoe = y - era * 400;
  long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

double DayCount(int y, int mo, int d, int h, int mi, double s) {
  return static_cast<double>(DaysFromCivil(y, mo, d) - DaysFromCivil(1899, 12, 30)) +
         (h * 3600 + mi * 60 + s) / 86400.0;
}

}  // namespace

double LocalNowDays() {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm tm{};
  localtime_r(&t, &tm);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return DayCount(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                  tm.tm_sec + static_cast<double>(ms) / 1000.0);
}

bool ParseDateTimeText(std::string_view text, double& days) {
  std::string copy(TrimText(text));
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, used = 0;
  int fields = std::sscanf(copy.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%n", &y, &mo, &d, &h, &mi, &s, &used);
  if (fields != 6) {
    used = 0;
    fields = std::sscanf(copy.c_str(), "%4d-%2d-%2d%n", &y, &mo, &d, &used);
    if (fields != 3) return false;
  }
  if (static_cast<std::size_t>(used) != copy.size()) return false;
  if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0)
    return false;
  days = DayCount(y, mo, d, h, mi, s);
  return true;
}

// ---- The login information ----------------------------------------------------------------

namespace {

class ELoginInfo : public std::runtime_error {
 public:
  ELoginInfo() : std::runtime_error(kLoginInfoErrorText) {}
};

std::int64_t TokenNumber(const std::string& token, std::size_t from, std::size_t count) {
  if (token.size() < from + count) throw ELoginInfo();
  std::string piece = TrimText(std::string_view(token).substr(from, count));
  if (piece.empty()) throw ELoginInfo();
  std::size_t used = 0;
  std::int64_t value = 0;
  try {
    value = std::stoll(piece, &used);
  } catch (...) {
    throw ELoginInfo();
  }
  if (used != piece.size()) throw ELoginInfo();
  return value;
}

}  // namespace

TLoginInfoOutcome ApplyLoginInfo(const TDataParameter& reply, TClientConfig& config, TMoneyInfo& money,
                                 std::uint32_t nowTick, double localNow) {
  TLoginInfoOutcome out;
  try {
    if (reply.Count() < 2 || !reply.Params(1).AsBoolean()) {
      out.Refused = true;
      const TParamDef* code = reply.FindParam("Code");
      out.Code = code != nullptr ? code->AsInteger() : 0;
      out.ErrorText = LoginCodeText(out.Code);
      config.LoggedIn = false;
      return out;
    }

    // The reply token: tick (1-20), member number (21-30), coins (31-40), then "T".
    std::string token;
    if (!TryUnscrambleText(reply.ParamByName("1").AsString(), token)) throw ELoginInfo();
    if (token.size() < 41 || token.back() != 'T' || token.substr(40) != "T") throw ELoginInfo();
    auto tokenTick = static_cast<std::uint32_t>(TokenNumber(token, 0, 20));
    std::int64_t tokenSeq = TokenNumber(token, 20, 10);
    std::int64_t tokenCoins = TokenNumber(token, 30, 10);
    if (static_cast<std::uint32_t>(nowTick - tokenTick) > 10000) throw ELoginInfo();
    if (tokenSeq != config.UserSeq()) throw ELoginInfo();
    std::int32_t coins = reply.ParamByName("M").AsInteger();
    if (coins != tokenCoins) throw ELoginInfo();

    // Read everything before storing anything, so a missing value changes nothing.
    std::int32_t sValue = reply.ParamByName("S").AsInteger();
    std::int64_t rValue = reply.ParamByName("R").AsInt64();
    std::int32_t points = reply.ParamByName("Point").AsInteger();
    std::int32_t unit = reply.ParamByName("Unit").AsInteger();
    std::int32_t term = reply.ParamByName("Term").AsInteger();
    std::int64_t upSize = reply.ParamByName("UpSize").AsInt64();
    std::string ssn1 = reply.ParamByName("Ssn1").AsString();
    std::string ssn2 = reply.ParamByName("Ssn2").AsString();
    double sys = reply.ParamByName("Sys").AsReal();
    std::string mainServer = reply.ParamByName("AS1").AsString();
    std::string name = reply.ParamByName("UName").AsString();
    std::string credit = reply.ParamByName("Credit").AsString();
    std::string card = reply.ParamByName("CdtCard").AsString();
    std::string mobile = reply.ParamByName("Mobile").AsString();
    std::string mobileRet = reply.ParamByName("MblRet").AsString();
    std::string board = reply.ParamByName("Board").AsString();
    std::string notice = reply.ParamByName("Gongji").AsString();
    double creditEnd = 0.0;
    bool hasCredit = !TrimText(credit).empty();
    if (hasCredit && !ParseDateTimeText(credit, creditEnd)) throw ELoginInfo();

    money.SetCoins(coins);
    money.SetSValue(sValue);
    money.SetCountedBytes(rValue);
    money.SetPoints(points);
    money.SetMegaPerCoin(unit);
    config.StorageTerm = term;
    config.SetTotalUploadSize(upSize);
    config.SetSsn(ssn1, ssn2);
    config.AdultPermission = ssn1 != "000000";
    config.SetServerTime(sys);
    config.ServerTimeOffset = sys - localNow;
    config.SetMainServerAddress(config.FixMainServer() ? config.MainServerAddr() : mainServer);
    config.SetUserName(name);
    config.SetCredit(credit);
    config.SetCdtCard(card);
    config.SetMobile(mobile);
    config.SetMblRet(mobileRet);
    config.SetBoard(board);
    if (!TrimText(notice).empty()) out.Notice = notice;
    double flatTerm = hasCredit ? creditEnd - sys : 0.0;
    config.SetFlatRateTerm(flatTerm);
    config.NotFlatRate = !(flatTerm > 0);
    out.FlatRate = flatTerm > 0;
    config.LoggedIn = true;
    out.Ok = true;
  } catch (const std::exception& e) {
    config.LoggedIn = false;
    out.Ok = false;
    out.ErrorText = e.what();
  }
  return out;
}

}  // namespace vantori
