// vantori-launcher: the login launcher. It logs the member in against the login server,
// writes the login block for the client, starts the client, registers its own window with
// it and waits until the client says that its start succeeded or failed.
//
// Exit status: 0 the client started; 1 bad arguments; 2 the login failed; 3 the client
// reported a failed start; 4 the client ended without a result; 5 no result in time;
// 6 the client could not be started or reached.

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "platform/UCodePage.h"
#include "protocol/ProtocolConstants.h"
#include "protocol/USharedMemory.h"
#include "protocol/UWindowMessages.h"
#include "settings/UFunction.h"
#include "settings/ULoginManager.h"
#include "settings/ULoginText.h"

#if VANTORI_LAUNCHER_DIALOG
#include <QApplication>
#include <QLineEdit>

#include "mainwindow/TfmLogin.h"
#include "ui/UClientMessage.h"
#include "ui/UUiText.h"
#endif

extern char** environ;

namespace {

using namespace vantori;

enum TExit { exStarted = 0, exUsage = 1, exLogin = 2, exFailed = 3, exEnded = 4, exTimeout = 5, exSpawn = 6 };

struct TOptions {
  std::string User;      // UTF-8 as typed on the command line
  std::string Password;  // UTF-8
  std::string Host;
  int BasePort = 0;
  std::string Client;
  bool Dialog = false;        // ask the launcher's own login dialog
  bool ClientDialog = false;  // let the client show its login dialog instead
  int TimeoutSeconds = 120;
  std::vector<std::string> ClientArgs;
};

std::string ProgramFolder() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  path[n] = '\0';
  return std::filesystem::path(path).parent_path().string();
}

void Say(const std::string& cp949) {
  std::cerr << "vantori-launcher: " << Cp949ToUtf8Lossy(cp949) << "\n";
}

int DefaultBasePort() {
  if (const char* env = std::getenv("VANTORI_BASE_PORT"); env != nullptr && *env != '\0')
    return std::atoi(env);
  return proto::kDefaultBasePort;
}

std::string DefaultHost() {
  if (const char* env = std::getenv("VANTORI_HOST"); env != nullptr && *env != '\0') return env;
  return "localhost";
}

// Logs in; the credentials are cp949. Returns the result and prints a failure.
TLoginResult LogIn(const TOptions& o, const std::string& user, const std::string& password) {
  TLoginManager login;
  login.SetServer(ResolveHost(o.Host), o.BasePort);
  TLoginResult result = login.Login(user, password);
  if (!result.Ok()) Say(result.Text());
  return result;
}

// Starts the client; 0 when it could not be started.
pid_t StartClient(const TOptions& o) {
  std::vector<std::string> args{o.Client};
  args.insert(args.end(), o.ClientArgs.begin(), o.ClientArgs.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::string port = std::to_string(o.BasePort);
  setenv("VANTORI_BASE_PORT", port.c_str(), 1);
  pid_t pid = 0;
  if (posix_spawn(&pid, o.Client.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return 0;
  return pid;
}

int Run(const TOptions& o, const std::string& user, const std::string& password, std::int32_t userSeq) {
  // The client's handle block starts empty, so an earlier client's handle is never taken.
  TSMCustom handleBlock(static_cast<int>(kHandleInfoSize));
  TSMCustom loginBlock(static_cast<int>(kLoginInfoSize));
  try {
    handleBlock.SetSMName(kHandleInfoBlock);
    loginBlock.SetSMName(kLoginInfoBlock);
  } catch (const std::exception& e) {
    Say(e.what());
    return exSpawn;
  }
  std::memset(handleBlock.Memory(), 0, kHandleInfoSize);
  TLoginBlock info;
  info.ServerAddress = o.Host;
  info.UserSeq = userSeq;
  info.UserID = user;
  info.Password = password;
  info.LoginDialog = o.ClientDialog ? 1 : 0;
  WriteLoginBlock(loginBlock.Memory(), info);

  std::atomic<int> outcome{-1};
  TMessageWindow window([&](std::uint32_t msg, std::uint64_t, std::int64_t) -> std::int64_t {
    if (msg == WM_STARTUP_DONE) outcome = exStarted;
    if (msg == WM_STARTUP_FAILED) outcome = exFailed;
    return 1;
  });

  pid_t client = StartClient(o);
  if (client == 0) {
    Say("cannot start " + o.Client);
    TCustomSharedMemory::Unlink(kLoginInfoBlock);
    return exSpawn;
  }

  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(o.TimeoutSeconds);
  bool registered = false;
  int status = 0;
  int result = exTimeout;
  for (;;) {
    if (outcome >= 0) {
      result = outcome;
      break;
    }
    if (waitpid(client, &status, WNOHANG) == client) {
      result = outcome >= 0 ? outcome.load() : exEnded;
      break;
    }
    if (std::chrono::steady_clock::now() > deadline) break;
    if (!registered) {
      // The client puts its window handle into both blocks when it has started.
      auto handle = static_cast<THWnd>(ReadInt32(handleBlock.Memory()));
      if (handle == 0) handle = static_cast<THWnd>(ReadInt32(loginBlock.Memory()));
      if (handle != 0) {
        try {
          registered = SendMessageTo(handle, WM_REGISTER_WINDOW, window.Handle(), 0, 5000) == kPresenceAnswer;
        } catch (const EWindowMessageError&) {
          // not listening yet: try again
        }
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  // The client has taken the login (or never will): the block's name goes.
  TCustomSharedMemory::Unlink(kLoginInfoBlock);
  if (result == exTimeout) Say("no start-up result from the client in time");
  if (result == exFailed) Say("the client reported a failed start");
  if (result == exEnded) Say("the client ended without a start-up result");
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions o;
  o.Host = DefaultHost();
  o.BasePort = DefaultBasePort();
  o.Client = ProgramFolder() + "/vantori";
  CLI::App app{"Logs in to the service and starts the Vantori client."};
  app.add_option("--user", o.User, "user ID");
  app.add_option("--password", o.Password, "password");
  app.add_option("--host", o.Host, "login server host (VANTORI_HOST, else localhost)");
  app.add_option("--base-port", o.BasePort, "BasePort of the servers (VANTORI_BASE_PORT, else 7128)")
      ->check(CLI::Range(1, 65525));
  app.add_option("--client", o.Client, "the client program (vantori beside the launcher)");
  app.add_flag("--dialog", o.Dialog, "ask for the ID and password in a login dialog");
  app.add_flag("--client-dialog", o.ClientDialog, "let the client show its own login dialog");
  app.add_option("--timeout", o.TimeoutSeconds, "seconds to wait for the client's start-up result")
      ->check(CLI::PositiveNumber);
  app.add_option("client-args", o.ClientArgs, "arguments passed on to the client");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? 0 : exUsage;
  }

  std::string user = Utf8ToCp949Lossy(o.User);
  std::string password = Utf8ToCp949Lossy(o.Password);
  std::int32_t userSeq = 0;

  if (o.ClientDialog) return Run(o, "", "", 0);

  bool ask = o.Dialog || o.User.empty() || o.Password.empty();
  if (ask) {
#if VANTORI_LAUNCHER_DIALOG
    QApplication qapp(argc, argv);
    TResourceModule skin = TResourceModule::Load("vtri");
    TfmUserLogin dialog(
        skin, QString(),
        [&](const std::string& id, const std::string& pw) {
          TLoginResult r = LogIn(o, id, pw);
          if (r.Ok()) {
            user = LowerTrim(id);
            password = TrimText(pw);
            userSeq = r.UserSeq;
          }
          return r;
        },
        [&](const std::string& text, int kind) {
          RunClientMessage(skin, QString(), {}, FromAnsi(text), kind);
        });
    dialog.UserEdit()->setText(FromAnsi(user));
    if (dialog.exec() != QDialog::Accepted) return exLogin;
#else
    std::cerr << "vantori-launcher: --user and --password are required (built without the dialog)\n";
    return exUsage;
#endif
  } else {
    TLoginResult r = LogIn(o, user, password);
    if (!r.Ok()) return exLogin;
    user = LowerTrim(user);
    password = TrimText(password);
    userSeq = r.UserSeq;
  }
  return Run(o, user, password, userSeq);
}
