// vantori-cli: list, download and upload from the command line, for scripts.
//
//   vantori-cli [--host H] [--base-port N] --user ID [--password P] [--limit KBPS] [--json]
//               ls [MEMBER:]/path | get [MEMBER:]/path LOCALDIR | put LOCALPATH /path
//
// Exit codes: 0 success, 1 failure, 2 usage, 3 refused by the server, 4 not enough coins.

#include <sys/stat.h>
#include <unistd.h>
#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "folders/UErrorCodes.h"
#include "platform/UCodePage.h"
#include "protocol/ProtocolConstants.h"
#include "settings/UFunction.h"
#include "transfers/UDownThread.h"
#include "transfers/UTransferRecords.h"
#include "transfers/UTransferSession.h"
#include "transfers/UTransferTexts.h"
#include "transfers/UUpThread.h"

namespace fs = std::filesystem;
using namespace vantori;

namespace {

enum TExit { kOk = 0, kFailed = 1, kUsage = 2, kRefused = 3, kNoCoins = 4 };

constexpr std::int32_t kTop = -1;

struct TRemoteFolder {
  std::int32_t Seq = kTop;
  ByteString Name;
};

struct TRemoteListing {
  std::vector<TRemoteFolder> Folders;
  std::vector<TDownSource> Files;
};

// The place a remote path names.
struct TRemote {
  bool Friend = false;
  std::int32_t OwnerSeq = 0;
  std::int32_t FriendSeq = 0;
  std::vector<ByteString> Parts;  // cp949
};

class ECliError : public std::runtime_error {
 public:
  ECliError(TExit code, const std::string& what) : std::runtime_error(what), Code(code) {}
  TExit Code;
};

std::string Utf8(const ByteString& cp949) {
  return Cp949ToUtf8Lossy(cp949);
}

ByteString Ansi(const std::string& utf8) {
  auto converted = Utf8ToCp949(utf8);
  if (!converted) throw ECliError(kUsage, "the name cannot be written in the service's code page: " + utf8);
  return *converted;
}

bool IsFailure(const TDataParameter& reply) {
  return reply.Count() > 1 && reply.Params(1).Type() == ParamType::Boolean && !reply.Params(1).AsBoolean();
}

[[noreturn]] void Refused(const TDataParameter& reply) {
  const TParamDef* code = reply.FindParam("Code");
  const std::int32_t c = code ? code->AsInteger() : 0;
  throw ECliError(c == 21022 ? kNoCoins : kRefused,
                  "refused by the server (" + std::to_string(c) + "): " + Utf8(ErrorCodeText(c)));
}

TDownSource FileRow(const TDataParameter& r, int& i, std::int32_t owner) {
  TDownSource f;
  f.FileSeq = r.Params(i++).AsInteger();
  f.FileName = r.Params(i++).AsString();
  f.Size = r.Params(i++).AsInt64();
  f.CurSize = r.Params(i++).AsInt64();
  f.FolderSeq = r.Params(i++).AsInteger();
  f.FileText1 = r.Params(i++).AsString();
  f.FileText2 = r.Params(i++).AsString();
  i++;  // remaining days
  i++;  // comment
  i++;  // upload date
  f.UploaderSeq = r.Params(i++).AsInteger();
  f.FileText3 = r.Params(i++).AsString();
  f.StoredFileSeq = r.Params(i++).AsInteger();
  f.UserSeq = owner;
  return f;
}

TRemoteListing List(TTransferSession& s, const TRemote& where, std::int32_t seq) {
  TDataParameter req;
  req.AddInteger("T", where.Friend ? 583 : 581);
  if (where.Friend) {
    req.AddInteger("Seq", seq);
    req.AddInteger("UserSeq", where.OwnerSeq);
    req.AddInteger("FriendSeq", where.FriendSeq);
    req.AddInteger("Hdl", 0);
  } else {
    req.AddInteger("UserSeq", s.UserSeq());
    req.AddInteger("Owner", s.UserSeq());
    req.AddInteger("Seq", seq);
    req.AddInteger("Hdl", 0);
  }
  const auto replies = s.Request(req, {where.Friend ? 584 : 582});
  const TDataParameter& r = replies.back();
  if (IsFailure(r)) Refused(r);
  TRemoteListing out;
  int i = 2;
  while (i < r.Count()) {
    const std::int32_t kind = r.Params(i++).AsInteger();
    if (kind == 0) {
      if (where.Friend) i++;  // owner
      TRemoteFolder f;
      f.Seq = r.Params(i++).AsInteger();
      f.Name = r.Params(i++).AsString();
      i += 5;  // parent, sharing, extra, comment, password
      out.Folders.push_back(f);
    } else {
      std::int32_t owner = s.UserSeq();
      if (where.Friend) owner = r.Params(i++).AsInteger();
      out.Files.push_back(FileRow(r, i, owner));
    }
  }
  return out;
}

// Finds a friend by user ID through the groups of the friends list.
void FindFriend(TTransferSession& s, const std::string& id, TRemote& where) {
  std::vector<std::int32_t> groups = {kTop};
  std::string wanted = id;
  for (char& c : wanted) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  while (!groups.empty()) {
    const std::int32_t group = groups.back();
    groups.pop_back();
    TDataParameter req;
    req.AddInteger("T", 281);
    req.AddInteger("UserSeq", s.UserSeq());
    req.AddInteger("GroupSeq", group);
    req.AddInteger("Hdl", 0);
    const auto replies = s.Request(req, {282});
    const TDataParameter& r = replies.back();
    if (IsFailure(r)) Refused(r);
    int i = 2;
    while (i < r.Count()) {
      const std::int32_t kind = r.Params(i++).AsInteger();
      if (kind == 3) {
        i += 2;
        groups.push_back(r.Params(i++).AsInteger());
        i++;
      } else {
        const std::int32_t entry = r.Params(i++).AsInteger();
        std::string friendID = r.Params(i++).AsString();
        const std::int32_t userSeq = r.Params(i++).AsInteger();
        i += 2;
        for (char& c : friendID) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (friendID == wanted) {
          where.Friend = true;
          where.FriendSeq = entry;
          where.OwnerSeq = userSeq;
          return;
        }
      }
    }
  }
  throw ECliError(kRefused, id + " is not on your friends list");
}

TRemote ParseRemote(TTransferSession& s, const std::string& text) {
  TRemote where;
  std::string path = text;
  const std::size_t colon = text.find(':');
  if (colon != std::string::npos && colon > 0 && text.find('/') > colon) {
    FindFriend(s, text.substr(0, colon), where);
    path = text.substr(colon + 1);
  }
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t slash = path.find('/', start);
    const std::string part =
        path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    if (!part.empty() && part != ".") where.Parts.push_back(Ansi(part));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return where;
}

// Walks to the folder of the path; a last part that is a file comes back in `file`.
std::int32_t Resolve(TTransferSession& s, const TRemote& where, std::optional<TDownSource>* file = nullptr) {
  std::int32_t seq = kTop;
  for (std::size_t k = 0; k < where.Parts.size(); ++k) {
    const TRemoteListing listing = List(s, where, seq);
    bool found = false;
    for (const auto& f : listing.Folders)
      if (f.Name == where.Parts[k]) {
        seq = f.Seq;
        found = true;
        break;
      }
    if (found) continue;
    if (file && k + 1 == where.Parts.size())
      for (const auto& f : listing.Files)
        if (f.FileName == where.Parts[k]) {
          *file = f;
          return seq;
        }
    throw ECliError(kRefused, "no such folder or file: " + Utf8(where.Parts[k]));
  }
  return seq;
}

struct TOutput {
  bool Json = false;
  void Event(const nlohmann::json& j) const {
    if (Json) std::cout << j.dump() << std::endl;
  }
};

std::string Bar(double fraction, int width) {
  if (fraction < 0) fraction = 0;
  if (fraction > 1) fraction = 1;
  const int full = static_cast<int>(fraction * width);
  return std::string(static_cast<std::size_t>(full), '#') +
         std::string(static_cast<std::size_t>(width - full), '-');
}

std::string Eta(std::int64_t left, double bytesPerSecond) {
  if (bytesPerSecond <= 1) return "--:--:--";
  return FormatSeconds(static_cast<std::int64_t>(left / bytesPerSecond));
}

// One progress line for the current file and one for the whole queue, redrawn in place.
class TProgress {
 public:
  explicit TProgress(const TOutput& out) : FOut(out), FStart(std::chrono::steady_clock::now()) {}
  void Show(const std::string& name, std::int64_t done, std::int64_t size, std::int64_t totalDone,
            std::int64_t total, int index, int count) {
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - FStart).count();
    const double rate = secs > 0.2 ? (totalDone - FFirstDone) / secs : 0;
    if (FFirstDone < 0) FFirstDone = totalDone;
    if (FOut.Json) {
      const auto now = std::chrono::steady_clock::now();
      if (now - FLastJson < std::chrono::seconds(1)) return;
      FLastJson = now;
      FOut.Event({{"event", "progress"},
                  {"file", name},
                  {"bytes", done},
                  {"size", size},
                  {"total_bytes", totalDone},
                  {"total_size", total},
                  {"bytes_per_second", rate}});
      return;
    }
    if (!::isatty(2)) return;
    char line[512];
    std::snprintf(line, sizeof line, "\r%-24.24s %s %3d%%  [%d/%d] %s %3d%% %8.2f MB/s ETA %s ", name.c_str(),
                  Bar(size > 0 ? static_cast<double>(done) / size : 1, 20).c_str(),
                  size > 0 ? static_cast<int>(done * 100 / size) : 100, index, count,
                  Bar(total > 0 ? static_cast<double>(totalDone) / total : 1, 20).c_str(),
                  total > 0 ? static_cast<int>(totalDone * 100 / total) : 100, rate / 1048576.0,
                  Eta(total - totalDone, rate).c_str());
    std::cerr << line << std::flush;
    FDrawn = true;
  }
  void Done() {
    if (FDrawn) std::cerr << "\n";
    FDrawn = false;
  }

 private:
  const TOutput& FOut;
  std::chrono::steady_clock::time_point FStart;
  std::chrono::steady_clock::time_point FLastJson{};
  std::int64_t FFirstDone = -1;
  bool FDrawn = false;
};

TExit Summarise(const TOutput& out,
                const std::vector<std::tuple<std::string, TTransferStatus, ByteString>>& results) {
  TExit code = kOk;
  int done = 0;
  for (const auto& [name, status, message] : results) {
    const bool ok = status == TTransferStatus::Done;
    if (ok) ++done;
    if (!ok) {
      if (message == texts::kMsgNoCoins)
        code = kNoCoins;
      else if (code == kOk)
        code = kFailed;
    }
    out.Event({{"event", ok ? "done" : "failed"}, {"file", name}, {"message", Utf8(message)}});
    if (!out.Json && !ok) std::cerr << name << ": " << Utf8(message) << "\n";
  }
  out.Event({{"event", "summary"}, {"done", done}, {"failed", static_cast<int>(results.size()) - done}});
  if (!out.Json) std::cerr << done << " of " << results.size() << " files transferred\n";
  return code;
}

TTransferSettings EngineSettings(TTransferSession& s, int limit, bool overwrite) {
  TTransferSettings t;
  t.UserSeq = s.UserSeq();
  t.UserId = s.UserID();
  t.BasePort = s.BasePort();
  t.Overwrite = overwrite;
  if (limit > 0) {
    t.DownSlow = t.UpSlow = true;
    t.DownLimit = t.UpLimit = limit;
  }
  return t;
}

void CollectFolder(TTransferSession& s, const TRemote& where, std::int32_t seq, std::vector<ByteString> path,
                   std::vector<std::pair<TDownSource, std::vector<ByteString>>>& out) {
  const TRemoteListing listing = List(s, where, seq);
  for (const auto& f : listing.Files) out.push_back({f, path});
  for (const auto& folder : listing.Folders) {
    auto sub = path;
    sub.push_back(folder.Name);
    CollectFolder(s, where, folder.Seq, sub, out);
  }
}

TExit CmdLs(TTransferSession& s, const TOutput& out, const std::string& remote) {
  const TRemote where = ParseRemote(s, remote);
  const TRemoteListing listing = List(s, where, Resolve(s, where));
  nlohmann::json rows = nlohmann::json::array();
  for (const auto& f : listing.Folders) {
    if (out.Json)
      rows.push_back({{"kind", "folder"}, {"name", Utf8(f.Name)}});
    else
      std::cout << "d " << std::setw(14) << ""
                << "  " << Utf8(f.Name) << "/\n";
  }
  for (const auto& f : listing.Files) {
    if (out.Json)
      rows.push_back({{"kind", "file"},
                      {"name", Utf8(f.FileName)},
                      {"size", f.Size},
                      {"complete", f.Size == f.CurSize}});
    else
      std::cout << (f.Size == f.CurSize ? "- " : "? ") << std::setw(14) << f.Size << "  " << Utf8(f.FileName)
                << "\n";
  }
  if (out.Json) std::cout << rows.dump() << std::endl;
  return kOk;
}

TExit CmdGet(TTransferSession& s, const TOutput& out, const std::string& remote, const std::string& localDir,
             int limit, bool overwrite) {
  const TRemote where = ParseRemote(s, remote);
  std::optional<TDownSource> file;
  const std::int32_t seq = Resolve(s, where, &file);
  std::vector<std::pair<TDownSource, std::vector<ByteString>>> sources;
  if (file) {
    sources.push_back({*file, {}});
  } else {
    std::vector<ByteString> base;
    if (!where.Parts.empty()) base.push_back(where.Parts.back());
    CollectFolder(s, where, seq, base, sources);
  }
  std::error_code ec;
  fs::create_directories(localDir, ec);
  const std::string root = fs::absolute(localDir).lexically_normal().string();
  TDownItems items;
  for (const auto& [src, folders] : sources) {
    const auto result = items.AddFile(src, root, folders);
    if (result == TDownItems::TAddResult::Incomplete)
      std::cerr << Utf8(src.FileName) << ": incomplete on the server, skipped\n";
    else if (result == TDownItems::TAddResult::NameTooLong)
      std::cerr << Utf8(src.FileName) << ": name too long, skipped\n";
  }
  TDownEngineDeps deps;
  deps.MainServer = &s;
  deps.Money = &s.Money();
  deps.ErrorText = [](std::int32_t code) { return ErrorCodeText(code); };
  TDownThread engine(&items, deps, nullptr);
  engine.SetSettings(EngineSettings(s, limit, overwrite));
  s.AttachDown(&engine);
  engine.Start();
  TProgress progress(out);
  const std::uint16_t busy = StatusSet({TTransferStatus::Waiting, TTransferStatus::Running,
                                        TTransferStatus::Retrying, TTransferStatus::Stopped});
  std::vector<std::tuple<std::string, TTransferStatus, ByteString>> results;
  for (;;) {
    {
      std::lock_guard<std::recursive_mutex> lock(DownloadLock());
      const int index = items.CurrentIndex;
      if (const TDownItem* item = items.Items(index < 0 ? 0 : index))
        progress.Show(fs::path(item->LocalPath).filename().string(), item->Received, item->TotalSize,
                      items.TotalReceived, items.TotalSize, index + 1, items.Count());
      if (items.CountInSet(busy) == 0) {
        for (int i = 0; i < items.Count(); ++i) {
          const TDownItem* item = items.Items(i);
          results.emplace_back(item->LocalPath, item->Status(), item->StatusMessage());
        }
        break;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  progress.Done();
  engine.Detach();
  s.AttachDown(nullptr);
  return Summarise(out, results);
}

// Registers the local folder tree below `target`; returns the folder number of each local folder.
std::map<std::string, std::int32_t> RegisterFolders(TTransferSession& s, const fs::path& local,
                                                    std::int32_t target) {
  std::map<std::string, std::int32_t> seqOf;
  std::vector<fs::path> folders = {local};
  for (const auto& e : fs::recursive_directory_iterator(local))
    if (e.is_directory()) folders.push_back(e.path());
  TDataParameter req;
  req.AddInteger("T", msg::kRegisterFolder);
  req.AddInteger("UserSeq", s.UserSeq());
  req.AddInteger("Hdl", 0);
  req.AddInteger("Root", target);
  std::map<std::string, std::int32_t> indexOf;
  std::int32_t next = 1;
  for (const fs::path& f : folders) {
    const std::int32_t index = next++;
    indexOf[f.string()] = index;
    const std::int32_t parent = f == local ? target : indexOf.at(f.parent_path().string());
    req.AddString("", Ansi(f.filename().string()));
    req.AddInteger("", index);
    req.AddInteger("", parent);
    req.AddString("", "F");
    req.AddString("", "");
    req.AddString("", "");
  }
  const auto replies = s.Request(req, {msg::kRegisterFolderReply});
  const TDataParameter& r = replies.back();
  if (IsFailure(r)) Refused(r);
  std::map<std::int32_t, std::int32_t> seqOfIndex;
  for (int i = 3; i + 3 < r.Count(); i += 4)
    seqOfIndex[r.Params(i).AsInteger()] = r.Params(i + 2).AsInteger();
  for (const auto& [path, index] : indexOf) seqOf[path] = seqOfIndex.at(index);
  return seqOf;
}

TExit CmdPut(TTransferSession& s, const TOutput& out, const std::string& localPath, const std::string& remote,
             int limit) {
  if (remote.find(':') != std::string::npos) throw ECliError(kUsage, "uploads go into your own folders only");
  const TRemote where = ParseRemote(s, remote);
  const std::int32_t target = Resolve(s, where);
  const fs::path local = fs::absolute(localPath).lexically_normal();
  TUpItems items;
  if (fs::is_directory(local)) {
    const auto seqOf = RegisterFolders(s, local, target);
    for (const auto& e : fs::recursive_directory_iterator(local))
      if (e.is_regular_file())
        items.AddUpFile(seqOf.at(e.path().parent_path().string()),
                        Ansi(e.path().parent_path().filename().string()), e.path().string());
  } else if (fs::is_regular_file(local)) {
    items.AddUpFile(target, where.Parts.empty() ? ByteString() : where.Parts.back(), local.string(),
                    Ansi(local.filename().string()));
  } else {
    throw ECliError(kUsage, "no such local file or folder: " + localPath);
  }
  TUpEngineDeps deps;
  deps.MainServer = &s;
  deps.ErrorText = [](std::int32_t code) { return ErrorCodeText(code); };
  TUpThread engine(&items, deps, nullptr);
  engine.SetSettings(EngineSettings(s, limit, false));
  s.AttachUp(&engine);
  engine.Start();
  TProgress progress(out);
  const std::uint16_t busy = StatusSet(
      {TTransferStatus::Waiting, TTransferStatus::Running, TTransferStatus::Retrying,
       TTransferStatus::Stopped, TTransferStatus::Held, TTransferStatus::Querying, TTransferStatus::Ready});
  std::vector<std::tuple<std::string, TTransferStatus, ByteString>> results;
  for (;;) {
    {
      std::lock_guard<std::recursive_mutex> lock(UploadLock());
      const int index = items.CurrentIndex;
      if (const TUpItem* item = items.Items(index < 0 ? 0 : index))
        progress.Show(fs::path(item->LocalPath).filename().string(), item->Sent, item->Size, items.TotalSent,
                      items.TotalSize, index + 1, items.Count());
      if (items.CountInSet(busy) == 0) {
        for (int i = 0; i < items.Count(); ++i) {
          const TUpItem* item = items.Items(i);
          results.emplace_back(item->LocalPath, item->Status(), item->StatusMessage());
        }
        break;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
  progress.Done();
  engine.Detach();
  s.AttachUp(nullptr);
  return Summarise(out, results);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Lists, downloads and uploads the files of your webhard folders"};
  std::string host = "127.0.0.1";
  int basePort = proto::kDefaultBasePort;
  if (const char* env = std::getenv("VANTORI_BASE_PORT")) basePort = std::atoi(env);
  std::string user, password;
  int limit = 0;
  bool json = false, overwrite = false;
  app.add_option("--host", host, "server address")->capture_default_str();
  app.add_option("--base-port", basePort, "BasePort of the service")->capture_default_str();
  app.add_option("--user", user, "your user ID")->required();
  app.add_option("--password", password, "your password (or the VANTORI_PASSWORD variable)");
  app.add_option("--limit", limit, "speed limit in KB/s (0: none)");
  app.add_flag("--json", json, "machine-readable output, one JSON object per line");
  app.add_flag("--overwrite", overwrite, "get: overwrite local files instead of resuming them");
  app.require_subcommand(1);
  std::string remote, localDir, localPath;
  auto* ls = app.add_subcommand("ls", "list [MEMBER:]/path (your folders, or a friend's)");
  ls->add_option("path", remote, "[MEMBER:]/path")->default_val("/");
  auto* get = app.add_subcommand("get", "download [MEMBER:]/path (a file or a whole folder) into LOCALDIR");
  get->add_option("path", remote, "[MEMBER:]/path")->required();
  get->add_option("localdir", localDir, "local folder")->required();
  auto* put = app.add_subcommand("put", "upload LOCALPATH (a file or a folder) into /path of your folders");
  put->add_option("localpath", localPath, "local file or folder")->required();
  put->add_option("path", remote, "/path")->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int rc = app.exit(e);
    return rc == 0 ? kOk : kUsage;
  }
  if (password.empty())
    if (const char* env = std::getenv("VANTORI_PASSWORD")) password = env;
  if (password.empty()) {
    std::cerr << "no password: give --password or set VANTORI_PASSWORD\n";
    return kUsage;
  }
  const TOutput out{json};
  try {
    TTransferSession session(host, static_cast<std::uint16_t>(basePort));
    session.Login(user, password);
    if (ls->parsed()) return CmdLs(session, out, remote);
    if (get->parsed()) return CmdGet(session, out, remote, localDir, limit, overwrite);
    return CmdPut(session, out, localPath, remote, limit);
  } catch (const ECliError& e) {
    out.Event({{"event", "error"}, {"message", e.what()}});
    if (!json) std::cerr << "vantori-cli: " << e.what() << "\n";
    return e.Code;
  } catch (const ESessionRefused& e) {
    out.Event({{"event", "error"}, {"code", e.Code()}, {"message", Cp949ToUtf8Lossy(e.what())}});
    if (!json) std::cerr << "vantori-cli: " << Cp949ToUtf8Lossy(e.what()) << "\n";
    return kRefused;
  } catch (const std::exception& e) {
    out.Event({{"event", "error"}, {"message", Cp949ToUtf8Lossy(e.what())}});
    if (!json) std::cerr << "vantori-cli: " << Cp949ToUtf8Lossy(e.what()) << "\n";
    return kFailed;
  }
}
