#include "WebSite.h"

#include <httplib.h>
#include <openssl/rand.h>

#include <optional>
#include <stdexcept>

#include "ServerDb.h"
#include "platform/UCodePage.h"

namespace vantori::server {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string DecodeFormValue(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out.push_back(' ');
    } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
      i += 2;
    } else {
      out.push_back(c);
    }
  }
  return out;
}

std::string Html(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out.push_back(c);
    }
  }
  return out;
}

std::string Page(std::string_view title, std::string_view body) {
  return "<!DOCTYPE html>\n<html lang=\"ko\"><head><meta charset=\"utf-8\"><title>" + Html(title) +
         "</title><style>body{font-family:sans-serif;margin:16px;color:#333}h1{font-size:18px;color:#3050a0}"
         "a{color:#3050a0}</style></head><body>" +
         std::string(body) + "</body></html>\n";
}

std::string NewToken() {
  unsigned char bytes[16];
  if (RAND_bytes(bytes, sizeof bytes) != 1) throw std::runtime_error("no random bytes for a session");
  static const char digits[] = "0123456789abcdef";
  std::string token;
  for (unsigned char b : bytes) {
    token.push_back(digits[b >> 4]);
    token.push_back(digits[b & 15]);
  }
  return token;
}

}  // namespace

std::map<std::string, std::string> ParseFormBody(std::string_view body) {
  const std::size_t nul = body.find('\0');
  if (nul != std::string_view::npos) body = body.substr(0, nul);
  std::map<std::string, std::string> fields;
  while (!body.empty()) {
    const std::size_t amp = body.find('&');
    std::string_view pair = body.substr(0, amp);
    body = amp == std::string_view::npos ? std::string_view() : body.substr(amp + 1);
    if (pair.empty()) continue;
    const std::size_t eq = pair.find('=');
    std::string key = DecodeFormValue(pair.substr(0, eq));
    std::string value = eq == std::string_view::npos ? std::string() : DecodeFormValue(pair.substr(eq + 1));
    fields.emplace(std::move(key), std::move(value));
  }
  return fields;
}

TWebSite::TWebSite(TServerDb& db, std::string host, std::uint16_t port, TLogFn log)
    : FDb(db), FHost(std::move(host)), FPort(port), FLog(std::move(log)) {}

TWebSite::~TWebSite() {
  Stop();
}

std::string TWebSite::MemberOfCookie(const std::string& cookieHeader) {
  const std::string key = "VTSESSION=";
  const std::size_t at = cookieHeader.find(key);
  if (at == std::string::npos) return std::string();
  std::string token = cookieHeader.substr(at + key.size());
  token = token.substr(0, token.find(';'));
  std::int32_t seq = 0;
  {
    std::lock_guard lock(FLock);
    auto it = FSessions.find(token);
    if (it == FSessions.end()) return std::string();
    seq = it->second;
  }
  std::optional<TMember> member;
  FDb.Run([&] { member = FDb.MemberBySeq(seq); });
  return member ? member->UserID : std::string();
}

void TWebSite::Routes() {
  FServer->Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(Page("Vantori",
                         "<h1>Vantori 웹하드</h1><p>내 폴더와 내 친구의 공유 폴더를 한 곳에서.</p>"
                         "<p><a href=\"/help\">도움말</a></p>"),
                    "text/html; charset=utf-8");
  });
  FServer->Get("/help", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(Page("Vantori 도움말",
                         "<h1>도움말</h1><ul><li>폴더를 선택하면 파일 목록이 보입니다.</li>"
                         "<li>친구의 공유 폴더는 아래쪽 트리에 있습니다.</li></ul>"
                         "<p><a href=\"/\">처음으로</a></p>"),
                    "text/html; charset=utf-8");
  });
  FServer->Post("/IFrame/Login_Client.asp", [this](const httplib::Request& req, httplib::Response& res) {
    const auto fields = ParseFormBody(req.body);
    auto field = [&fields](const char* name) {
      auto it = fields.find(name);
      return it == fields.end() ? std::string() : it->second;
    };
    std::string id = field("UserID");
    const std::string pass = field("UserPass");
    for (char& c : id)
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    std::optional<TMember> member;
    bool ok = false;
    try {
      FDb.Run([&] {
        member = FDb.MemberByID(id);
        ok = member && FDb.CheckPassword(member->Seq, pass);
      });
    } catch (const std::exception& e) {
      if (FLog) FLog(std::string("web login: ") + e.what());
    }
    if (!ok) {
      res.status = 403;
      res.set_content(Page("Vantori", "<h1>로그인 실패</h1><p>아이디와 비밀번호를 확인하시기 바랍니다.</p>"),
                      "text/html; charset=utf-8");
      return;
    }
    const std::string token = NewToken();
    {
      std::lock_guard lock(FLock);
      FSessions[token] = member->Seq;
    }
    if (FLog) FLog("web login of " + member->UserID);
    res.set_header("Set-Cookie", "VTSESSION=" + token + "; Path=/; HttpOnly");
    res.set_redirect("/member/home.asp");
  });
  FServer->Get("/member/home.asp", [this](const httplib::Request& req, httplib::Response& res) {
    const std::string id = MemberOfCookie(req.get_header_value("Cookie"));
    if (id.empty()) {
      res.set_redirect("/");
      return;
    }
    const std::string name = Cp949ToUtf8Lossy(id);
    res.set_content(Page("Vantori", "<h1>" + Html(name) +
                                        " 님의 홈</h1><p>Vantori에 오신 것을 환영합니다.</p>"
                                        "<p><a href=\"/help\">도움말</a></p>"),
                    "text/html; charset=utf-8");
  });
}

void TWebSite::Start() {
  if (FServer) return;
  FServer = std::make_unique<httplib::Server>();
  Routes();
  int port = FPort;
  if (port == 0) {
    port = FServer->bind_to_any_port(FHost);
  } else if (!FServer->bind_to_port(FHost, port)) {
    port = -1;
  }
  if (port <= 0) {
    FServer.reset();
    throw std::runtime_error("the web site cannot listen on " + FHost + ":" + std::to_string(FPort));
  }
  FPort = static_cast<std::uint16_t>(port);
  FThread = std::thread([this] { FServer->listen_after_bind(); });
  if (FLog) FLog("serving the web site on " + FHost + ":" + std::to_string(FPort));
}

void TWebSite::Stop() {
  if (!FServer) return;
  FServer->stop();
  if (FThread.joinable()) FThread.join();
  FServer.reset();
}

}  // namespace vantori::server
