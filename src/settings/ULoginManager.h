#pragma once
// The login conversation with the login server and the login information that every start
// requests next.
//
// TLoginManager runs one conversation per Login call on a fresh connection: it sends the
// login request (T 1229) once connected and ends on the login reply (T 727) or after five
// seconds of silence. ApplyLogin stores a successful login in the configuration.
// ApplyLoginInfo checks and applies the login-information reply (T 77).

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "protocol/UClientSockCtrl.h"
#include "protocol/UParameter.h"

namespace vantori {

class TClientConfig;
class TLog;
class TMoneyInfo;

inline constexpr std::int32_t kLoginRequestType = 1229;
inline constexpr std::int32_t kLoginReplyType = 727;
inline constexpr std::int32_t kLoginInfoReplyType = 77;
inline constexpr int kLoginReadTimeout = 5000;

// "오류 발생 !" (cp949): a login-information reply that fails its checks.
extern const char kLoginInfoErrorText[];
// "로그인 서버에 접속할 수 없습니다. ..." (cp949): the login server cannot be reached.
extern const char kLoginUnreachableText[];
// " [정액모드]" (cp949), appended to the main window's title in flat-rate mode.
extern const char kFlatRateTitleSuffix[];

// The text of the server's error codes that a login can give (21001, 21002, 21018,
// 21023); "등록되어 있지 않은 오류가 발생되었습니다." for any other code.
std::string LoginCodeText(std::int32_t code);

struct TLoginResult {
  enum TStatus {
    lsSuccess,      // the server accepted: UserSeq is set
    lsRefused,      // the server refused: Code is set
    lsUnreachable,  // no connection to the login server
    lsNoReply,      // connected, but the conversation ended without a login reply
  };
  TStatus Status = lsNoReply;
  std::int32_t UserSeq = 0;
  std::int32_t Code = 0;
  std::string Error;  // what went wrong, for the log

  bool Ok() const { return Status == lsSuccess; }
  // The text to show the user for a failure ("" on success).
  std::string Text() const;
};

class TLoginManager {
 public:
  explicit TLoginManager(TLog* log = nullptr);
  TLoginManager(const TLoginManager&) = delete;
  TLoginManager& operator=(const TLoginManager&) = delete;

  // Address and port of the next conversation.
  void SetServer(const std::string& address, int port);
  const std::string& Address() const { return FAddress; }
  int Port() const { return FPort; }
  // Connect time limit (the socket's default otherwise).
  void SetWaitTime(int milliseconds) { FSock.SetWaitTime(milliseconds); }
  // How long the conversation waits for the server (kLoginReadTimeout unless set).
  void SetReadTimeout(int milliseconds) { FSock.SetReadTimeout(milliseconds); }

  // One conversation: sends the user ID as typed and the password trimmed, and returns
  // when it has ended. Never raises.
  TLoginResult Login(std::string_view userID, std::string_view password);
  // Ends a conversation in progress (from another thread).
  void Disconnect();

  std::function<void()> OnConnected;
  std::function<void()> OnDisconnected;
  std::function<void(const TDataParameter&)> OnReceived;

 private:
  TLog* FLog;
  std::string FAddress;
  int FPort = 7128;
  TClientSyncSock FSock;
  TDataParameter FRequest;
};

// Stores a successful login: "User Seq", the user ID lower-cased and trimmed as "User ID",
// the trimmed password as the run-time password.
void ApplyLogin(TClientConfig& config, const TLoginResult& result, std::string_view userID,
                std::string_view password);

// What the login-information reply did.
struct TLoginInfoOutcome {
  bool Ok = false;
  // The server refused (position 1 false): the code it sent.
  bool Refused = false;
  std::int32_t Code = 0;
  // The text to show on failure.
  std::string ErrorText;
  // Flat-rate mode: the main window's title gets kFlatRateTitleSuffix.
  bool FlatRate = false;
  // The notice ("Gongji") when it is not blank.
  std::string Notice;
};

// Checks and applies reply 77 to the configuration and the balance. nowTick is the
// millisecond tick of now, localNow the local date-time (days since 1899-12-30). On any
// failure the configuration is marked as logged out and nothing else is left half-done
// except the values stored before the failing step. The caller tells the launcher, shows
// ErrorText and ends the wait.
TLoginInfoOutcome ApplyLoginInfo(const TDataParameter& reply, TClientConfig& config, TMoneyInfo& money,
                                 std::uint32_t nowTick, double localNow);

// The local date-time now as days since 1899-12-30.
double LocalNowDays();
// A local date-time text of the form the login information uses ("yyyy-mm-dd hh:nn:ss")
// as days since 1899-12-30; false when it does not convert.
bool ParseDateTimeText(std::string_view text, double& days);

}  // namespace vantori
