#pragma once
// The service's small web site beside the reference servers: the web login of the client
// ("/IFrame/Login_Client.asp", a form post, then the member's home page), the home page and
// the help page. Pages are UTF-8 HTML; form values arrive as cp949 bytes, percent-encoded.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace httplib {
class Server;
}

namespace vantori::server {

class TServerDb;

// The fields of an application/x-www-form-urlencoded body ('+' and %20 are blanks; a
// trailing zero byte, as the client sends it, ends the body).
std::map<std::string, std::string> ParseFormBody(std::string_view body);

class TWebSite {
 public:
  using TLogFn = std::function<void(const std::string&)>;

  TWebSite(TServerDb& db, std::string host, std::uint16_t port, TLogFn log = {});
  ~TWebSite();
  TWebSite(const TWebSite&) = delete;
  TWebSite& operator=(const TWebSite&) = delete;

  // Binds the port (0: any free one) and serves on a thread of its own; raises
  // std::runtime_error when the port cannot be bound.
  void Start();
  void Stop();
  std::uint16_t Port() const { return FPort; }

 private:
  void Routes();
  std::string MemberOfCookie(const std::string& cookieHeader);

  TServerDb& FDb;
  std::string FHost;
  std::uint16_t FPort;
  TLogFn FLog;
  std::unique_ptr<httplib::Server> FServer;
  std::thread FThread;
  std::mutex FLock;
  std::map<std::string, std::int32_t> FSessions;  // cookie token -> member
};

}  // namespace vantori::server
