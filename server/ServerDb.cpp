#include "ServerDb.h"

#include <sqlite3.h>

#include <chrono>
#include <ctime>
#include <system_error>

#include "PasswordHash.h"

namespace vantori::server {

namespace {

constexpr const char* kSchema = R"SQL(
CREATE TABLE IF NOT EXISTS members (
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  user_id TEXT NOT NULL UNIQUE,
  salt BLOB NOT NULL,
  pw_hash BLOB NOT NULL,
  iterations INTEGER NOT NULL,
  name TEXT NOT NULL DEFAULT '',
  coins INTEGER NOT NULL DEFAULT 0,
  points INTEGER NOT NULL DEFAULT 0,
  s_value INTEGER NOT NULL DEFAULT 0,
  r_value INTEGER NOT NULL DEFAULT 0,
  unit INTEGER NOT NULL DEFAULT 10,
  term INTEGER NOT NULL DEFAULT 30,
  adult INTEGER NOT NULL DEFAULT 0,
  upload_limit INTEGER NOT NULL DEFAULT 0,
  credit_end REAL NOT NULL DEFAULT 0,
  card TEXT NOT NULL DEFAULT '',
  mobile TEXT NOT NULL DEFAULT '',
  mobile_ret TEXT NOT NULL DEFAULT '',
  board TEXT NOT NULL DEFAULT '',
  notice TEXT NOT NULL DEFAULT '',
  free_download INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE IF NOT EXISTS folders (
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  user_seq INTEGER NOT NULL,
  parent INTEGER NOT NULL,
  name TEXT NOT NULL,
  pub TEXT NOT NULL,
  extra TEXT NOT NULL DEFAULT '',
  comment TEXT NOT NULL DEFAULT '',
  pass TEXT NOT NULL DEFAULT ''
);
CREATE INDEX IF NOT EXISTS folders_by_parent ON folders(user_seq, parent);
CREATE INDEX IF NOT EXISTS folders_by_parent_only ON folders(parent);
CREATE TABLE IF NOT EXISTS stored_files (
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  size INTEGER NOT NULL,
  cur_size INTEGER NOT NULL,
  uploader_seq INTEGER NOT NULL,
  down_bytes INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE IF NOT EXISTS files (
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  user_seq INTEGER NOT NULL,
  folder_seq INTEGER NOT NULL,
  stored_seq INTEGER NOT NULL REFERENCES stored_files(seq),
  uploader_seq INTEGER NOT NULL,
  name TEXT NOT NULL,
  comment TEXT NOT NULL DEFAULT '',
  up_date REAL NOT NULL,
  expire REAL NOT NULL
);
CREATE INDEX IF NOT EXISTS files_by_folder ON files(user_seq, folder_seq);
CREATE INDEX IF NOT EXISTS files_by_stored ON files(stored_seq);
CREATE TABLE IF NOT EXISTS friend_groups (
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  user_seq INTEGER NOT NULL,
  parent INTEGER NOT NULL,
  name TEXT NOT NULL
);
CREATE INDEX IF NOT EXISTS groups_by_parent ON friend_groups(user_seq, parent);
CREATE TABLE IF NOT EXISTS friends (
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  user_seq INTEGER NOT NULL,
  friend_user_seq INTEGER NOT NULL,
  group_seq INTEGER NOT NULL,
  name TEXT NOT NULL,
  UNIQUE (user_seq, friend_user_seq)
);
CREATE TABLE IF NOT EXISTS clubs (
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  name TEXT NOT NULL,
  club_id TEXT NOT NULL,
  value1 INTEGER NOT NULL DEFAULT 0,
  text TEXT NOT NULL DEFAULT '',
  value2 INTEGER NOT NULL DEFAULT 0,
  flag1 INTEGER NOT NULL DEFAULT 1,
  flag2 INTEGER NOT NULL DEFAULT 0,
  flag3 INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE IF NOT EXISTS club_members (
  club_seq INTEGER NOT NULL,
  user_seq INTEGER NOT NULL,
  PRIMARY KEY (club_seq, user_seq)
);
CREATE TABLE IF NOT EXISTS sessions (
  user_seq INTEGER PRIMARY KEY,
  address TEXT NOT NULL,
  last_seen REAL NOT NULL
);
CREATE TABLE IF NOT EXISTS ledger (
  seq INTEGER PRIMARY KEY AUTOINCREMENT,
  user_seq INTEGER NOT NULL,
  coins INTEGER NOT NULL,
  points INTEGER NOT NULL,
  reason TEXT NOT NULL,
  at REAL NOT NULL
);
)SQL";

// Member numbers, folder numbers and the others start well above zero so that they never
// collide with the -1/-2 markers of the client's roots.
constexpr const char* kSeedSequences = R"SQL(
INSERT INTO sqlite_sequence(name, seq) SELECT 'members', 1000 WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name='members');
INSERT INTO sqlite_sequence(name, seq) SELECT 'folders', 10000 WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name='folders');
INSERT INTO sqlite_sequence(name, seq) SELECT 'files', 100000 WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name='files');
INSERT INTO sqlite_sequence(name, seq) SELECT 'stored_files', 500000 WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name='stored_files');
INSERT INTO sqlite_sequence(name, seq) SELECT 'friend_groups', 2000 WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name='friend_groups');
INSERT INTO sqlite_sequence(name, seq) SELECT 'friends', 3000 WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name='friends');
INSERT INTO sqlite_sequence(name, seq) SELECT 'clubs', 100 WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name='clubs');
)SQL";

const char* kMemberColumns =
    "seq, user_id, name, coins, points, s_value, r_value, unit, term, adult, upload_limit, credit_end, card, "
    "mobile, mobile_ret, board, notice, free_download";

TMember ReadMember(TServerDb::TStmt& st) {
  TMember m;
  m.Seq = static_cast<std::int32_t>(st.Int(0));
  m.UserID = st.Text(1);
  m.Name = st.Text(2);
  m.Coins = st.Int(3);
  m.Points = st.Int(4);
  m.SValue = st.Int(5);
  m.RValue = st.Int(6);
  m.Unit = static_cast<std::int32_t>(st.Int(7));
  m.Term = static_cast<std::int32_t>(st.Int(8));
  m.Adult = st.Int(9) != 0;
  m.UploadLimit = st.Int(10);
  m.CreditEnd = st.Real(11);
  m.Card = st.Text(12);
  m.Mobile = st.Text(13);
  m.MobileRet = st.Text(14);
  m.Board = st.Text(15);
  m.Notice = st.Text(16);
  m.FreeDownload = st.Int(17) != 0;
  return m;
}

TFolder ReadFolder(TServerDb::TStmt& st) {
  TFolder f;
  f.Seq = static_cast<std::int32_t>(st.Int(0));
  f.UserSeq = static_cast<std::int32_t>(st.Int(1));
  f.Parent = static_cast<std::int32_t>(st.Int(2));
  f.Name = st.Text(3);
  f.Pub = st.Text(4);
  f.Extra = st.Text(5);
  f.Comment = st.Text(6);
  f.Pass = st.Text(7);
  return f;
}
constexpr const char* kFolderSelect =
    "SELECT seq, user_seq, parent, name, pub, extra, comment, pass FROM folders ";

TFileEntry ReadFile(TServerDb::TStmt& st) {
  TFileEntry f;
  f.Seq = static_cast<std::int32_t>(st.Int(0));
  f.UserSeq = static_cast<std::int32_t>(st.Int(1));
  f.FolderSeq = static_cast<std::int32_t>(st.Int(2));
  f.StoredSeq = static_cast<std::int32_t>(st.Int(3));
  f.UploaderSeq = static_cast<std::int32_t>(st.Int(4));
  f.Name = st.Text(5);
  f.Comment = st.Text(6);
  f.UpDate = st.Real(7);
  f.Expire = st.Real(8);
  f.Size = st.Int(9);
  f.CurSize = st.Int(10);
  return f;
}
constexpr const char* kFileSelect =
    "SELECT f.seq, f.user_seq, f.folder_seq, f.stored_seq, f.uploader_seq, f.name, f.comment, f.up_date, "
    "f.expire, s.size, s.cur_size FROM files f JOIN stored_files s ON s.seq = f.stored_seq ";

TFriend ReadFriend(TServerDb::TStmt& st) {
  TFriend f;
  f.Seq = static_cast<std::int32_t>(st.Int(0));
  f.UserSeq = static_cast<std::int32_t>(st.Int(1));
  f.FriendUserSeq = static_cast<std::int32_t>(st.Int(2));
  f.GroupSeq = static_cast<std::int32_t>(st.Int(3));
  f.Name = st.Text(4);
  f.FriendID = st.Text(5);
  return f;
}
constexpr const char* kFriendSelect =
    "SELECT f.seq, f.user_seq, f.friend_user_seq, f.group_seq, f.name, m.user_id FROM friends f "
    "JOIN members m ON m.seq = f.friend_user_seq ";

}  // namespace

double NowDays() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  const double seconds = static_cast<double>(micros) / 1e6 + static_cast<double>(local.tm_gmtoff);
  return seconds / 86400.0 + 25569.0;
}

// --- statements ------------------------------------------------------------------------------

TServerDb::TStmt::TStmt(sqlite3* db, const char* sql) : FDb(db) {
  if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &FStmt, nullptr) != SQLITE_OK) {
    throw EDbError(std::string("prepare failed: ") + sqlite3_errmsg(db) + " in " + sql);
  }
}
TServerDb::TStmt::~TStmt() {
  sqlite3_finalize(FStmt);
}

TServerDb::TStmt& TServerDb::TStmt::Bind(int index, std::int64_t value) {
  sqlite3_bind_int64(FStmt, index, value);
  return *this;
}
TServerDb::TStmt& TServerDb::TStmt::Bind(int index, double value) {
  sqlite3_bind_double(FStmt, index, value);
  return *this;
}
TServerDb::TStmt& TServerDb::TStmt::Bind(int index, std::string_view text) {
  sqlite3_bind_text(FStmt, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  return *this;
}
TServerDb::TStmt& TServerDb::TStmt::BindBlob(int index, const void* data, int size) {
  sqlite3_bind_blob(FStmt, index, data, size, SQLITE_TRANSIENT);
  return *this;
}
bool TServerDb::TStmt::Step() {
  const int rc = sqlite3_step(FStmt);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  const std::string message = sqlite3_errmsg(FDb);
  Reset();
  throw EDbError("step failed: " + message);
}
void TServerDb::TStmt::Done() {
  while (Step()) {
  }
  Reset();
}
std::int64_t TServerDb::TStmt::Int(int column) {
  return sqlite3_column_int64(FStmt, column);
}
double TServerDb::TStmt::Real(int column) {
  return sqlite3_column_double(FStmt, column);
}
std::string TServerDb::TStmt::Text(int column) {
  const auto* bytes = static_cast<const char*>(sqlite3_column_blob(FStmt, column));
  const int size = sqlite3_column_bytes(FStmt, column);
  return bytes ? std::string(bytes, static_cast<std::size_t>(size)) : std::string();
}
void TServerDb::TStmt::Reset() {
  sqlite3_reset(FStmt);
  sqlite3_clear_bindings(FStmt);
}

// --- database --------------------------------------------------------------------------------

TServerDb::TServerDb(const std::filesystem::path& dataDir) : FDataDir(dataDir) {
  std::error_code ec;
  std::filesystem::create_directories(FDataDir / "blobs", ec);
  if (ec) throw EDbError("cannot create the data folder " + FDataDir.string() + ": " + ec.message());
  const std::string path = (FDataDir / "vantori.db").string();
  if (sqlite3_open_v2(path.c_str(), &FDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                      nullptr) != SQLITE_OK) {
    const std::string message = FDb ? sqlite3_errmsg(FDb) : "out of memory";
    sqlite3_close(FDb);
    FDb = nullptr;
    throw EDbError("cannot open " + path + ": " + message);
  }
  sqlite3_busy_timeout(FDb, 5000);
  // WAL with synchronous=FULL: every commit is synced before Run returns, so nothing that
  // was answered as done is lost when the process or the machine dies.
  Exec("PRAGMA journal_mode=WAL");
  Exec("PRAGMA synchronous=FULL");
  Exec("PRAGMA foreign_keys=ON");
  CreateSchema();
}

TServerDb::~TServerDb() {
  for (auto& [sql, st] : FStatements) delete st;
  FStatements.clear();
  sqlite3_close(FDb);
}

std::filesystem::path TServerDb::BlobPath(std::int32_t storedSeq) const {
  return FDataDir / "blobs" / std::to_string(storedSeq);
}

void TServerDb::Exec(const char* sql) {
  char* error = nullptr;
  if (sqlite3_exec(FDb, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error ? error : "unknown error";
    sqlite3_free(error);
    throw EDbError("sql failed: " + message);
  }
}

void TServerDb::CreateSchema() {
  Exec("BEGIN IMMEDIATE");
  try {
    Exec(kSchema);
    Exec(kSeedSequences);
    Exec("COMMIT");
  } catch (...) {
    sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

TServerDb::TStmt& TServerDb::Prepare(const char* sql) {
  auto it = FStatements.find(sql);
  if (it != FStatements.end()) {
    it->second->Reset();
    return *it->second;
  }
  auto* st = new TStmt(FDb, sql);
  FStatements.emplace(sql, st);
  return *st;
}

void TServerDb::Run(const std::function<void()>& body) {
  std::lock_guard lock(FLock);
  if (FInTransaction) {  // nested use joins the running transaction
    body();
    return;
  }
  Exec("BEGIN IMMEDIATE");
  FInTransaction = true;
  FBlobsToRemove.clear();
  try {
    body();
    Exec("COMMIT");
  } catch (...) {
    FInTransaction = false;
    FBlobsToRemove.clear();
    sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
    for (auto& [sql, st] : FStatements) st->Reset();
    throw;
  }
  FInTransaction = false;
  for (std::int32_t seq : FBlobsToRemove) {
    std::error_code ec;
    std::filesystem::remove(BlobPath(seq), ec);
  }
  FBlobsToRemove.clear();
}

// --- members ---------------------------------------------------------------------------------

bool TServerDb::HasMembers() {
  auto& st = Prepare("SELECT 1 FROM members LIMIT 1");
  const bool any = st.Step();
  st.Reset();
  return any;
}

std::int32_t TServerDb::AddMember(const TMember& m, std::string_view password) {
  const TPasswordHash hash = HashPassword(password);
  auto& st = Prepare(
      "INSERT INTO members (seq, user_id, salt, pw_hash, iterations, name, coins, points, s_value, r_value, "
      "unit, term, adult, upload_limit, credit_end, card, mobile, mobile_ret, board, notice, free_download) "
      "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, ?15, ?16, ?17, ?18, ?19, ?20, "
      "?21)");
  if (m.Seq > 0) {
    st.Bind(1, m.Seq);
  }
  st.Bind(2, std::string_view(m.UserID));
  st.BindBlob(3, hash.Salt.data(), static_cast<int>(hash.Salt.size()));
  st.BindBlob(4, hash.Hash.data(), static_cast<int>(hash.Hash.size()));
  st.Bind(5, hash.Iterations);
  st.Bind(6, std::string_view(m.Name));
  st.Bind(7, m.Coins).Bind(8, m.Points).Bind(9, m.SValue).Bind(10, m.RValue);
  st.Bind(11, m.Unit).Bind(12, m.Term).Bind(13, m.Adult).Bind(14, m.UploadLimit).Bind(15, m.CreditEnd);
  st.Bind(16, std::string_view(m.Card)).Bind(17, std::string_view(m.Mobile));
  st.Bind(18, std::string_view(m.MobileRet)).Bind(19, std::string_view(m.Board));
  st.Bind(20, std::string_view(m.Notice)).Bind(21, m.FreeDownload);
  st.Done();
  return static_cast<std::int32_t>(sqlite3_last_insert_rowid(FDb));
}

std::optional<TMember> TServerDb::MemberBySeq(std::int32_t seq) {
  static const std::string sql = std::string("SELECT ") + kMemberColumns + " FROM members WHERE seq = ?1";
  auto& st = Prepare(sql.c_str());
  st.Bind(1, seq);
  std::optional<TMember> result;
  if (st.Step()) result = ReadMember(st);
  st.Reset();
  return result;
}

std::optional<TMember> TServerDb::MemberByID(std::string_view userID) {
  static const std::string sql = std::string("SELECT ") + kMemberColumns + " FROM members WHERE user_id = ?1";
  auto& st = Prepare(sql.c_str());
  st.Bind(1, userID);
  std::optional<TMember> result;
  if (st.Step()) result = ReadMember(st);
  st.Reset();
  return result;
}

bool TServerDb::CheckPassword(std::int32_t seq, std::string_view password) {
  auto& st = Prepare("SELECT salt, pw_hash, iterations FROM members WHERE seq = ?1");
  st.Bind(1, seq);
  if (!st.Step()) {
    st.Reset();
    return false;
  }
  TPasswordHash stored;
  stored.Salt = st.Text(0);
  stored.Hash = st.Text(1);
  stored.Iterations = static_cast<int>(st.Int(2));
  st.Reset();
  return VerifyPassword(password, stored);
}

void TServerDb::SetBalance(std::int32_t seq, std::int64_t coins, std::int64_t points) {
  Prepare("UPDATE members SET coins = ?2, points = ?3 WHERE seq = ?1")
      .Bind(1, seq)
      .Bind(2, coins)
      .Bind(3, points)
      .Done();
}

void TServerDb::DeleteMember(std::int32_t seq) {
  std::vector<std::int32_t> tops;
  for (const TFolder& f : ChildFolders(seq, kTopSeq)) tops.push_back(f.Seq);
  for (std::int32_t f : tops) DeleteFolderTree(f);
  for (const TFileEntry& f : FilesIn(seq, kTopSeq)) DeleteFileEntry(f.Seq);
  Prepare("DELETE FROM friends WHERE user_seq = ?1 OR friend_user_seq = ?1").Bind(1, seq).Done();
  Prepare("DELETE FROM friend_groups WHERE user_seq = ?1").Bind(1, seq).Done();
  Prepare("DELETE FROM club_members WHERE user_seq = ?1").Bind(1, seq).Done();
  Prepare("DELETE FROM sessions WHERE user_seq = ?1").Bind(1, seq).Done();
  Prepare("DELETE FROM members WHERE seq = ?1").Bind(1, seq).Done();
}

std::int64_t TServerDb::UploadTotal(std::int32_t seq) {
  auto& st = Prepare(
      "SELECT COALESCE(SUM(s.size), 0) FROM files f JOIN stored_files s ON s.seq = f.stored_seq "
      "WHERE f.user_seq = ?1 AND f.uploader_seq = ?1");
  st.Bind(1, seq);
  std::int64_t total = st.Step() ? st.Int(0) : 0;
  st.Reset();
  return total;
}

void TServerDb::AddLedger(std::int32_t seq, std::int64_t coins, std::int64_t points,
                          std::string_view reason) {
  Prepare("INSERT INTO ledger (user_seq, coins, points, reason, at) VALUES (?1, ?2, ?3, ?4, ?5)")
      .Bind(1, seq)
      .Bind(2, coins)
      .Bind(3, points)
      .Bind(4, reason)
      .Bind(5, NowDays())
      .Done();
}

// --- folders ---------------------------------------------------------------------------------

std::optional<TFolder> TServerDb::Folder(std::int32_t seq) {
  static const std::string sql = std::string(kFolderSelect) + "WHERE seq = ?1";
  auto& st = Prepare(sql.c_str());
  st.Bind(1, seq);
  std::optional<TFolder> result;
  if (st.Step()) result = ReadFolder(st);
  st.Reset();
  return result;
}

std::vector<TFolder> TServerDb::ChildFolders(std::int32_t userSeq, std::int32_t parent) {
  static const std::string sql =
      std::string(kFolderSelect) + "WHERE user_seq = ?1 AND parent = ?2 ORDER BY seq";
  auto& st = Prepare(sql.c_str());
  st.Bind(1, userSeq).Bind(2, parent);
  std::vector<TFolder> result;
  while (st.Step()) result.push_back(ReadFolder(st));
  st.Reset();
  return result;
}

int TServerDb::FolderCount(std::int32_t userSeq) {
  auto& st = Prepare("SELECT COUNT(*) FROM folders WHERE user_seq = ?1");
  st.Bind(1, userSeq);
  const int count = st.Step() ? static_cast<int>(st.Int(0)) : 0;
  st.Reset();
  return count;
}

std::vector<TFolder> TServerDb::Subtree(std::int32_t seq) {
  std::vector<TFolder> result;
  auto top = Folder(seq);
  if (!top) return result;
  result.push_back(*top);
  for (std::size_t i = 0; i < result.size(); ++i) {
    for (TFolder& child : ChildFolders(result[i].UserSeq, result[i].Seq)) result.push_back(std::move(child));
  }
  return result;
}

bool TServerDb::IsInside(std::int32_t seq, std::int32_t ancestor) {
  // Walks up from seq; the depth bound guards against a corrupted cycle.
  for (int depth = 0; seq > 0 && depth < 100000; ++depth) {
    if (seq == ancestor) return true;
    auto folder = Folder(seq);
    if (!folder) return false;
    seq = folder->Parent;
  }
  return false;
}

std::int32_t TServerDb::AddFolder(const TFolder& f) {
  Prepare(
      "INSERT INTO folders (user_seq, parent, name, pub, extra, comment, pass) VALUES (?1, ?2, ?3, ?4, ?5, "
      "?6, ?7)")
      .Bind(1, f.UserSeq)
      .Bind(2, f.Parent)
      .Bind(3, std::string_view(f.Name))
      .Bind(4, std::string_view(f.Pub))
      .Bind(5, std::string_view(f.Extra))
      .Bind(6, std::string_view(f.Comment))
      .Bind(7, std::string_view(f.Pass))
      .Done();
  return static_cast<std::int32_t>(sqlite3_last_insert_rowid(FDb));
}

void TServerDb::UpdateFolder(const TFolder& f) {
  Prepare(
      "UPDATE folders SET user_seq = ?2, parent = ?3, name = ?4, pub = ?5, extra = ?6, comment = ?7, pass = "
      "?8 "
      "WHERE seq = ?1")
      .Bind(1, f.Seq)
      .Bind(2, f.UserSeq)
      .Bind(3, f.Parent)
      .Bind(4, std::string_view(f.Name))
      .Bind(5, std::string_view(f.Pub))
      .Bind(6, std::string_view(f.Extra))
      .Bind(7, std::string_view(f.Comment))
      .Bind(8, std::string_view(f.Pass))
      .Done();
}

void TServerDb::DeleteFolderTree(std::int32_t seq) {
  const std::vector<TFolder> tree = Subtree(seq);
  for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
    for (const TFileEntry& file : FilesIn(it->UserSeq, it->Seq)) DeleteFileEntry(file.Seq);
    Prepare("DELETE FROM folders WHERE seq = ?1").Bind(1, it->Seq).Done();
  }
}

bool TServerDb::FolderNameTaken(std::int32_t userSeq, std::int32_t parent, std::string_view name,
                                std::int32_t except) {
  auto& st = Prepare(
      "SELECT 1 FROM folders WHERE user_seq = ?1 AND parent = ?2 AND name = ?3 AND seq <> ?4 LIMIT 1");
  st.Bind(1, userSeq).Bind(2, parent).Bind(3, name).Bind(4, except);
  const bool taken = st.Step();
  st.Reset();
  return taken;
}

// --- files -----------------------------------------------------------------------------------

std::optional<TFileEntry> TServerDb::File(std::int32_t seq) {
  static const std::string sql = std::string(kFileSelect) + "WHERE f.seq = ?1";
  auto& st = Prepare(sql.c_str());
  st.Bind(1, seq);
  std::optional<TFileEntry> result;
  if (st.Step()) result = ReadFile(st);
  st.Reset();
  return result;
}

std::vector<TFileEntry> TServerDb::FilesIn(std::int32_t userSeq, std::int32_t folderSeq) {
  static const std::string sql =
      std::string(kFileSelect) + "WHERE f.user_seq = ?1 AND f.folder_seq = ?2 ORDER BY f.seq";
  auto& st = Prepare(sql.c_str());
  st.Bind(1, userSeq).Bind(2, folderSeq);
  std::vector<TFileEntry> result;
  while (st.Step()) result.push_back(ReadFile(st));
  st.Reset();
  return result;
}

bool TServerDb::FileNameTaken(std::int32_t userSeq, std::int32_t folderSeq, std::string_view name,
                              std::int32_t except) {
  auto& st = Prepare(
      "SELECT 1 FROM files WHERE user_seq = ?1 AND folder_seq = ?2 AND name = ?3 AND seq <> ?4 LIMIT 1");
  st.Bind(1, userSeq).Bind(2, folderSeq).Bind(3, name).Bind(4, except);
  const bool taken = st.Step();
  st.Reset();
  return taken;
}

std::int32_t TServerDb::AddStoredFile(std::int64_t size, std::int64_t curSize, std::int32_t uploaderSeq) {
  Prepare("INSERT INTO stored_files (size, cur_size, uploader_seq) VALUES (?1, ?2, ?3)")
      .Bind(1, size)
      .Bind(2, curSize)
      .Bind(3, uploaderSeq)
      .Done();
  return static_cast<std::int32_t>(sqlite3_last_insert_rowid(FDb));
}

std::int32_t TServerDb::AddFileEntry(const TFileEntry& f) {
  Prepare(
      "INSERT INTO files (user_seq, folder_seq, stored_seq, uploader_seq, name, comment, up_date, expire) "
      "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)")
      .Bind(1, f.UserSeq)
      .Bind(2, f.FolderSeq)
      .Bind(3, f.StoredSeq)
      .Bind(4, f.UploaderSeq)
      .Bind(5, std::string_view(f.Name))
      .Bind(6, std::string_view(f.Comment))
      .Bind(7, f.UpDate)
      .Bind(8, f.Expire)
      .Done();
  return static_cast<std::int32_t>(sqlite3_last_insert_rowid(FDb));
}

void TServerDb::UpdateFileEntry(const TFileEntry& f) {
  Prepare(
      "UPDATE files SET user_seq = ?2, folder_seq = ?3, name = ?4, comment = ?5, up_date = ?6, expire = ?7 "
      "WHERE seq = ?1")
      .Bind(1, f.Seq)
      .Bind(2, f.UserSeq)
      .Bind(3, f.FolderSeq)
      .Bind(4, std::string_view(f.Name))
      .Bind(5, std::string_view(f.Comment))
      .Bind(6, f.UpDate)
      .Bind(7, f.Expire)
      .Done();
}

void TServerDb::DeleteFileEntry(std::int32_t seq) {
  auto entry = File(seq);
  if (!entry) return;
  Prepare("DELETE FROM files WHERE seq = ?1").Bind(1, seq).Done();
  ReleaseStoredIfUnused(entry->StoredSeq);
}

void TServerDb::ReleaseStoredIfUnused(std::int32_t storedSeq) {
  auto& st = Prepare("SELECT 1 FROM files WHERE stored_seq = ?1 LIMIT 1");
  st.Bind(1, storedSeq);
  const bool used = st.Step();
  st.Reset();
  if (used) return;
  Prepare("DELETE FROM stored_files WHERE seq = ?1").Bind(1, storedSeq).Done();
  RemoveBlobLater(storedSeq);
}

std::int64_t TServerDb::StoredDownBytes(std::int32_t storedSeq) {
  auto& st = Prepare("SELECT down_bytes FROM stored_files WHERE seq = ?1");
  st.Bind(1, storedSeq);
  const std::int64_t bytes = st.Step() ? st.Int(0) : -1;
  st.Reset();
  return bytes;
}

std::optional<std::int32_t> TServerDb::StoredUploader(std::int32_t storedSeq) {
  auto& st = Prepare("SELECT uploader_seq FROM stored_files WHERE seq = ?1");
  st.Bind(1, storedSeq);
  std::optional<std::int32_t> result;
  if (st.Step()) result = static_cast<std::int32_t>(st.Int(0));
  st.Reset();
  return result;
}

// --- friend groups ---------------------------------------------------------------------------

std::vector<TFriendGroup> TServerDb::ChildGroups(std::int32_t userSeq, std::int32_t parent) {
  auto& st = Prepare(
      "SELECT seq, user_seq, parent, name FROM friend_groups WHERE user_seq = ?1 AND parent = ?2 ORDER BY "
      "seq");
  st.Bind(1, userSeq).Bind(2, parent);
  std::vector<TFriendGroup> result;
  while (st.Step()) {
    result.push_back({static_cast<std::int32_t>(st.Int(0)), static_cast<std::int32_t>(st.Int(1)),
                      static_cast<std::int32_t>(st.Int(2)), st.Text(3)});
  }
  st.Reset();
  return result;
}

std::optional<TFriendGroup> TServerDb::Group(std::int32_t seq) {
  auto& st = Prepare("SELECT seq, user_seq, parent, name FROM friend_groups WHERE seq = ?1");
  st.Bind(1, seq);
  std::optional<TFriendGroup> result;
  if (st.Step()) {
    result = TFriendGroup{static_cast<std::int32_t>(st.Int(0)), static_cast<std::int32_t>(st.Int(1)),
                          static_cast<std::int32_t>(st.Int(2)), st.Text(3)};
  }
  st.Reset();
  return result;
}

int TServerDb::GroupCount(std::int32_t userSeq) {
  auto& st = Prepare("SELECT COUNT(*) FROM friend_groups WHERE user_seq = ?1");
  st.Bind(1, userSeq);
  const int count = st.Step() ? static_cast<int>(st.Int(0)) : 0;
  st.Reset();
  return count;
}

std::int32_t TServerDb::AddGroup(const TFriendGroup& g) {
  Prepare("INSERT INTO friend_groups (user_seq, parent, name) VALUES (?1, ?2, ?3)")
      .Bind(1, g.UserSeq)
      .Bind(2, g.Parent)
      .Bind(3, std::string_view(g.Name))
      .Done();
  return static_cast<std::int32_t>(sqlite3_last_insert_rowid(FDb));
}

void TServerDb::UpdateGroup(const TFriendGroup& g) {
  Prepare("UPDATE friend_groups SET parent = ?2, name = ?3 WHERE seq = ?1")
      .Bind(1, g.Seq)
      .Bind(2, g.Parent)
      .Bind(3, std::string_view(g.Name))
      .Done();
}

void TServerDb::DeleteGroupTree(std::int32_t seq) {
  auto group = Group(seq);
  if (!group) return;
  std::vector<TFriendGroup> tree{*group};
  for (std::size_t i = 0; i < tree.size(); ++i) {
    for (TFriendGroup& child : ChildGroups(group->UserSeq, tree[i].Seq)) tree.push_back(std::move(child));
  }
  for (const TFriendGroup& g : tree) {
    Prepare("DELETE FROM friends WHERE user_seq = ?1 AND group_seq = ?2")
        .Bind(1, g.UserSeq)
        .Bind(2, g.Seq)
        .Done();
    Prepare("DELETE FROM friend_groups WHERE seq = ?1").Bind(1, g.Seq).Done();
  }
}

bool TServerDb::GroupNameTaken(std::int32_t userSeq, std::int32_t parent, std::string_view name,
                               std::int32_t except) {
  auto& st = Prepare(
      "SELECT 1 FROM friend_groups WHERE user_seq = ?1 AND parent = ?2 AND name = ?3 AND seq <> ?4 LIMIT 1");
  st.Bind(1, userSeq).Bind(2, parent).Bind(3, name).Bind(4, except);
  const bool taken = st.Step();
  st.Reset();
  return taken;
}

bool TServerDb::GroupInside(std::int32_t seq, std::int32_t ancestor) {
  for (int depth = 0; seq > 0 && depth < 100000; ++depth) {
    if (seq == ancestor) return true;
    auto group = Group(seq);
    if (!group) return false;
    seq = group->Parent;
  }
  return false;
}

// --- friends ---------------------------------------------------------------------------------

std::vector<TFriend> TServerDb::FriendsIn(std::int32_t userSeq, std::int32_t groupSeq) {
  static const std::string sql =
      std::string(kFriendSelect) + "WHERE f.user_seq = ?1 AND f.group_seq = ?2 ORDER BY f.seq";
  auto& st = Prepare(sql.c_str());
  st.Bind(1, userSeq).Bind(2, groupSeq);
  std::vector<TFriend> result;
  while (st.Step()) result.push_back(ReadFriend(st));
  st.Reset();
  return result;
}

std::optional<TFriend> TServerDb::Friend(std::int32_t seq) {
  static const std::string sql = std::string(kFriendSelect) + "WHERE f.seq = ?1";
  auto& st = Prepare(sql.c_str());
  st.Bind(1, seq);
  std::optional<TFriend> result;
  if (st.Step()) result = ReadFriend(st);
  st.Reset();
  return result;
}

std::optional<TFriend> TServerDb::FriendEntry(std::int32_t userSeq, std::int32_t friendUserSeq) {
  static const std::string sql =
      std::string(kFriendSelect) + "WHERE f.user_seq = ?1 AND f.friend_user_seq = ?2";
  auto& st = Prepare(sql.c_str());
  st.Bind(1, userSeq).Bind(2, friendUserSeq);
  std::optional<TFriend> result;
  if (st.Step()) result = ReadFriend(st);
  st.Reset();
  return result;
}

int TServerDb::FriendCount(std::int32_t userSeq) {
  auto& st = Prepare("SELECT COUNT(*) FROM friends WHERE user_seq = ?1");
  st.Bind(1, userSeq);
  const int count = st.Step() ? static_cast<int>(st.Int(0)) : 0;
  st.Reset();
  return count;
}

std::int32_t TServerDb::AddFriend(const TFriend& f) {
  Prepare("INSERT INTO friends (user_seq, friend_user_seq, group_seq, name) VALUES (?1, ?2, ?3, ?4)")
      .Bind(1, f.UserSeq)
      .Bind(2, f.FriendUserSeq)
      .Bind(3, f.GroupSeq)
      .Bind(4, std::string_view(f.Name))
      .Done();
  return static_cast<std::int32_t>(sqlite3_last_insert_rowid(FDb));
}

void TServerDb::UpdateFriend(const TFriend& f) {
  Prepare("UPDATE friends SET group_seq = ?2, name = ?3 WHERE seq = ?1")
      .Bind(1, f.Seq)
      .Bind(2, f.GroupSeq)
      .Bind(3, std::string_view(f.Name))
      .Done();
}

void TServerDb::DeleteFriend(std::int32_t seq) {
  Prepare("DELETE FROM friends WHERE seq = ?1").Bind(1, seq).Done();
}

// --- clubs -----------------------------------------------------------------------------------

std::int32_t TServerDb::AddClub(const TClub& c) {
  Prepare(
      "INSERT INTO clubs (name, club_id, value1, text, value2, flag1, flag2, flag3) "
      "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)")
      .Bind(1, std::string_view(c.Name))
      .Bind(2, std::string_view(c.ClubID))
      .Bind(3, c.Value1)
      .Bind(4, std::string_view(c.Text))
      .Bind(5, c.Value2)
      .Bind(6, c.Flag1)
      .Bind(7, c.Flag2)
      .Bind(8, c.Flag3)
      .Done();
  return static_cast<std::int32_t>(sqlite3_last_insert_rowid(FDb));
}

void TServerDb::JoinClub(std::int32_t clubSeq, std::int32_t userSeq) {
  Prepare("INSERT OR IGNORE INTO club_members (club_seq, user_seq) VALUES (?1, ?2)")
      .Bind(1, clubSeq)
      .Bind(2, userSeq)
      .Done();
}

std::vector<TClub> TServerDb::ClubsOf(std::int32_t userSeq) {
  auto& st = Prepare(
      "SELECT c.seq, c.name, c.club_id, c.value1, c.text, c.value2, c.flag1, c.flag2, c.flag3 FROM clubs c "
      "JOIN club_members m ON m.club_seq = c.seq WHERE m.user_seq = ?1 ORDER BY c.seq");
  st.Bind(1, userSeq);
  std::vector<TClub> result;
  while (st.Step()) {
    TClub c;
    c.Seq = static_cast<std::int32_t>(st.Int(0));
    c.Name = st.Text(1);
    c.ClubID = st.Text(2);
    c.Value1 = static_cast<std::int32_t>(st.Int(3));
    c.Text = st.Text(4);
    c.Value2 = static_cast<std::int32_t>(st.Int(5));
    c.Flag1 = st.Int(6) != 0;
    c.Flag2 = st.Int(7) != 0;
    c.Flag3 = st.Int(8) != 0;
    result.push_back(std::move(c));
  }
  st.Reset();
  return result;
}

// --- sessions --------------------------------------------------------------------------------

void TServerDb::PutSession(const TSession& s) {
  Prepare("INSERT OR REPLACE INTO sessions (user_seq, address, last_seen) VALUES (?1, ?2, ?3)")
      .Bind(1, s.UserSeq)
      .Bind(2, std::string_view(s.Address))
      .Bind(3, s.LastSeen)
      .Done();
}

std::optional<TSession> TServerDb::Session(std::int32_t userSeq) {
  auto& st = Prepare("SELECT user_seq, address, last_seen FROM sessions WHERE user_seq = ?1");
  st.Bind(1, userSeq);
  std::optional<TSession> result;
  if (st.Step()) result = TSession{static_cast<std::int32_t>(st.Int(0)), st.Text(1), st.Real(2)};
  st.Reset();
  return result;
}

void TServerDb::EndSession(std::int32_t userSeq) {
  Prepare("DELETE FROM sessions WHERE user_seq = ?1").Bind(1, userSeq).Done();
}

}  // namespace vantori::server
