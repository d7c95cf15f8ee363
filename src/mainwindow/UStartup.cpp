#include "mainwindow/UStartup.h"

#include <chrono>

#include "platform/UFileLock.h"
#include "platform/UPaths.h"
#include "protocol/ProtocolConstants.h"
#include "settings/UClientConfig.h"

namespace vantori {

QString AlreadyRunningText() {
  return QStringLiteral("Vantori 프로그램이 이미 동작중입니다. 확인하시기 바랍니다.");
}

QString CannotRunAloneText() {
  return QStringLiteral(
      "단독 실행이 불가능한 프로그램입니다. \r\r로그인 프로그램을 통하여 로그인을 먼저 하시기를 바랍니다.");
}

QString LoginFailedText() {
  return QStringLiteral(
      "서버로의 로그인 접속에 실패하였습니다.\r\r인터넷 라인을 점검해보시기 바랍니다.\r\r인터넷 라인에 "
      "문제가 없다면 "
      "일시적인 통신상의 접속오류일 수 있으니\r\r로그인 과정을 다시 한번 진행하시기 바랍니다.\r\r현재의 "
      "프로그램은 "
      "자동으로 종료됩니다.");
}

QString QueryingBasicsText() {
  return QStringLiteral("기초정보 조회중...");
}

TStartMode DetectStartMode(const QStringList& args, const TLoginBlock& block) {
  if (args.size() >= 2 && args[0] == QLatin1String(kDirectStartKey) && !args[1].isEmpty())
    return TStartMode::Direct;
  if (block.LoginDialog != 0) return TStartMode::LoginDialog;
  if (!block.ServerAddress.empty() && !block.UserID.empty() && !block.Password.empty())
    return TStartMode::Launcher;
  return TStartMode::Refused;
}

std::unique_ptr<TFileLock> AcquireSingleInstance() {
  const std::string dir = RuntimeRoot();
  EnsureDirectory(dir);
  auto lock =
      std::make_unique<TFileLock>(dir + "/" + kInstanceMutexName + ".lock", std::chrono::milliseconds(0));
  if (!lock->Locked()) return nullptr;
  return lock;
}

namespace {

QByteArray FormEncode(const std::string& value) {
  QByteArray out;
  static const char hex[] = "0123456789ABCDEF";
  for (unsigned char c : value) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
        c == '.' || c == '*') {
      out.append(static_cast<char>(c));
    } else {
      out.append('%');
      out.append(hex[c >> 4]);
      out.append(hex[c & 15]);
    }
  }
  return out;
}

}  // namespace

QByteArray WebLoginBody(const std::string& userID, const std::string& password) {
  QByteArray body = "UserID=" + FormEncode(userID) + "&UserPass=" + FormEncode(password);
  body.append('\0');
  return body;
}

std::string WebSiteBase(TClientConfig& config) {
  try {
    if (config.ServerFile().ValueExists(kServerSection, "WebSite")) {
      std::string base = config.ServerFile().ReadString(kServerSection, "WebSite", std::string());
      while (!base.empty() && base.back() == '/') base.pop_back();
      if (!base.empty()) return base;
    }
  } catch (...) {
  }
  std::string host = config.LoginServerAddress();
  if (host.empty()) host = "127.0.0.1";
  return "http://" + host + ":" + std::to_string(config.BasePort() + proto::kWebSitePortOffset);
}

QRect SavedBounds(const QRect& w, const QSize& screen) {
  const int left = w.left() > 10 ? w.left() : 20;
  const int top = w.top() > 10 ? w.top() : 20;
  const int width = w.width() < screen.width() - 10 ? w.width() : screen.width() - 40;
  const int height = w.height() < screen.height() - 30 ? w.height() : screen.height() - 60;
  return QRect(left, top, width, height);
}

QRect StartBounds(int left, int top, int width, int height, const QSize& designed, const QSize& screen) {
  if (width <= 0 || height <= 0) {
    width = designed.width();
    height = designed.height();
  }
  if (left == 0 || top == 0) {
    left = (screen.width() - width) / 2;
    top = (screen.height() - height - 30) / 2;
  }
  return QRect(left, top, width, height);
}

Qt::Edges HitTestEdges(const QPoint& p, const QSize& size, int border) {
  Qt::Edges edges;
  if (p.x() < border) edges |= Qt::LeftEdge;
  if (p.x() >= size.width() - border) edges |= Qt::RightEdge;
  if (p.y() < border) edges |= Qt::TopEdge;
  if (p.y() >= size.height() - border) edges |= Qt::BottomEdge;
  return edges;
}

QRect MaximizedBounds(const QRect& workArea, Qt::Edges bars) {
  QRect r = workArea;
  if (bars & Qt::LeftEdge) r.setLeft(r.left() + 2);
  if (bars & Qt::TopEdge) r.setTop(r.top() + 2);
  if (bars & Qt::RightEdge) r.setRight(r.right() - 2);
  if (bars & Qt::BottomEdge) r.setBottom(r.bottom() - 2);
  return r;
}

}  // namespace vantori
