#pragma once
// The reference server's state: one SQLite database in the data folder plus a blob folder
// that holds the contents of stored files, one file per stored-file number.
//
// Every request runs inside one transaction (`Run`): it commits whole or changes nothing.
// The database runs in WAL mode with synchronous=FULL, so a commit that returned is on disk
// before the reply that reports it is sent.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace vantori::server {

class EDbError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Sharing flags of folders.
inline constexpr char kPubShared[] = "T";
inline constexpr char kPubPrivate[] = "F";
inline constexpr char kPubAdult[] = "A";

// The top of a member's folder tree and of a member's friend groups.
inline constexpr std::int32_t kTopSeq = -1;

struct TMember {
  std::int32_t Seq = 0;
  std::string UserID;  // lower case, trimmed
  std::string Name;
  std::int64_t Coins = 0;
  std::int64_t Points = 0;
  std::int64_t SValue = 0;
  std::int64_t RValue = 0;
  std::int32_t Unit = 10;  // megabytes one coin buys
  std::int32_t Term = 30;  // default storage term in days
  bool Adult = false;
  std::int64_t UploadLimit = 0;  // bytes; 0 = no limit
  double CreditEnd = 0;          // end of a flat-rate subscription (day count); 0 = none
  std::string Card, Mobile, MobileRet, Board, Notice;
  bool FreeDownload = false;
};

struct TFolder {
  std::int32_t Seq = 0;
  std::int32_t UserSeq = 0;
  std::int32_t Parent = kTopSeq;
  std::string Name, Pub = kPubPrivate, Extra, Comment, Pass;
};

struct TFileEntry {
  std::int32_t Seq = 0;
  std::int32_t UserSeq = 0;
  std::int32_t FolderSeq = kTopSeq;
  std::int32_t StoredSeq = 0;
  std::int32_t UploaderSeq = 0;
  std::string Name, Comment;
  std::int64_t Size = 0;     // of the stored file
  std::int64_t CurSize = 0;  // bytes of the stored file received so far
  double UpDate = 0;         // day count the storage period counts from
  double Expire = 0;         // day count at which the storage period ends
};

struct TFriendGroup {
  std::int32_t Seq = 0;
  std::int32_t UserSeq = 0;
  std::int32_t Parent = kTopSeq;
  std::string Name;
};

struct TFriend {
  std::int32_t Seq = 0;      // friend-entry number
  std::int32_t UserSeq = 0;  // owner of the list
  std::int32_t FriendUserSeq = 0;
  std::int32_t GroupSeq = kTopSeq;
  std::string FriendID;  // the friend's user ID
  std::string Name;      // the friend's name as shown
};

struct TClub {
  std::int32_t Seq = 0;
  std::string Name, ClubID, Text;
  std::int32_t Value1 = 0, Value2 = 0;
  bool Flag1 = true, Flag2 = false, Flag3 = false;
};

struct TSession {
  std::int32_t UserSeq = 0;
  std::string Address;
  double LastSeen = 0;  // day count
};

// Local date and time as a day count since 1899-12-30 (fraction = time of day).
double NowDays();

class TServerDb {
 public:
  explicit TServerDb(const std::filesystem::path& dataDir);
  ~TServerDb();
  TServerDb(const TServerDb&) = delete;
  TServerDb& operator=(const TServerDb&) = delete;

  const std::filesystem::path& DataDir() const { return FDataDir; }
  std::filesystem::path BlobPath(std::int32_t storedSeq) const;

  // Runs `body` as one transaction under the database lock. An exception rolls everything
  // back and propagates. Blobs queued with `RemoveBlobLater` are removed only after commit.
  void Run(const std::function<void()>& body);

  // --- members ---------------------------------------------------------------------------
  bool HasMembers();
  // Creates a member; `member.Seq` 0 lets the database choose. Returns the number.
  std::int32_t AddMember(const TMember& member, std::string_view password);
  std::optional<TMember> MemberBySeq(std::int32_t seq);
  std::optional<TMember> MemberByID(std::string_view userID);
  // True when the password matches the stored salted hash.
  bool CheckPassword(std::int32_t seq, std::string_view password);
  void SetBalance(std::int32_t seq, std::int64_t coins, std::int64_t points);
  void DeleteMember(std::int32_t seq);
  std::int64_t UploadTotal(std::int32_t seq);
  void AddLedger(std::int32_t seq, std::int64_t coins, std::int64_t points, std::string_view reason);

  // --- folders ---------------------------------------------------------------------------
  std::optional<TFolder> Folder(std::int32_t seq);
  std::vector<TFolder> ChildFolders(std::int32_t userSeq, std::int32_t parent);
  int FolderCount(std::int32_t userSeq);
  // Folder `seq` and every folder below it, parents before children.
  std::vector<TFolder> Subtree(std::int32_t seq);
  bool IsInside(std::int32_t seq, std::int32_t ancestor);  // seq == ancestor counts
  std::int32_t AddFolder(const TFolder& folder);
  void UpdateFolder(const TFolder& folder);
  void DeleteFolderTree(std::int32_t seq);  // folders, their files, their blobs when unreferenced
  bool FolderNameTaken(std::int32_t userSeq, std::int32_t parent, std::string_view name,
                       std::int32_t except = 0);

  // --- files -----------------------------------------------------------------------------
  std::optional<TFileEntry> File(std::int32_t seq);
  std::vector<TFileEntry> FilesIn(std::int32_t userSeq, std::int32_t folderSeq);
  bool FileNameTaken(std::int32_t userSeq, std::int32_t folderSeq, std::string_view name,
                     std::int32_t except = 0);
  // A new stored file of `size` bytes of which `curSize` are present.
  std::int32_t AddStoredFile(std::int64_t size, std::int64_t curSize, std::int32_t uploaderSeq);
  std::int32_t AddFileEntry(const TFileEntry& entry);
  void UpdateFileEntry(const TFileEntry& entry);
  void DeleteFileEntry(std::int32_t seq);
  std::int64_t StoredDownBytes(std::int32_t storedSeq);
  std::optional<std::int32_t> StoredUploader(std::int32_t storedSeq);

  // --- friends and groups --------------------------------------------------------------------
  std::vector<TFriendGroup> ChildGroups(std::int32_t userSeq, std::int32_t parent);
  std::optional<TFriendGroup> Group(std::int32_t seq);
  int GroupCount(std::int32_t userSeq);
  std::int32_t AddGroup(const TFriendGroup& group);
  void UpdateGroup(const TFriendGroup& group);
  // The group, its sub-groups and the friends in them.
  void DeleteGroupTree(std::int32_t seq);
  bool GroupNameTaken(std::int32_t userSeq, std::int32_t parent, std::string_view name,
                      std::int32_t except = 0);
  bool GroupInside(std::int32_t seq, std::int32_t ancestor);

  std::vector<TFriend> FriendsIn(std::int32_t userSeq, std::int32_t groupSeq);
  std::optional<TFriend> Friend(std::int32_t seq);
  std::optional<TFriend> FriendEntry(std::int32_t userSeq, std::int32_t friendUserSeq);
  int FriendCount(std::int32_t userSeq);
  std::int32_t AddFriend(const TFriend& entry);
  void UpdateFriend(const TFriend& entry);
  void DeleteFriend(std::int32_t seq);

  // --- clubs -----------------------------------------------------------------------------
  std::int32_t AddClub(const TClub& club);
  void JoinClub(std::int32_t clubSeq, std::int32_t userSeq);
  std::vector<TClub> ClubsOf(std::int32_t userSeq);

  // --- sessions --------------------------------------------------------------------------
  void PutSession(const TSession& session);
  std::optional<TSession> Session(std::int32_t userSeq);
  void EndSession(std::int32_t userSeq);

  // Removes the blob of a stored file once the running transaction has committed.
  void RemoveBlobLater(std::int32_t storedSeq) { FBlobsToRemove.push_back(storedSeq); }

  // Raw access for the few statements that do not deserve a method.
  class TStmt;
  TStmt& Prepare(const char* sql);

 private:
  void Exec(const char* sql);
  void CreateSchema();
  void ReleaseStoredIfUnused(std::int32_t storedSeq);

  std::filesystem::path FDataDir;
  sqlite3* FDb = nullptr;
  std::recursive_mutex FLock;
  bool FInTransaction = false;
  std::map<const char*, TStmt*> FStatements;
  std::vector<std::int32_t> FBlobsToRemove;
};

// A prepared statement reset after each use; owned by the database.
class TServerDb::TStmt {
 public:
  TStmt(sqlite3* db, const char* sql);
  ~TStmt();
  TStmt& Bind(int index, std::int64_t value);
  TStmt& Bind(int index, std::int32_t value) { return Bind(index, static_cast<std::int64_t>(value)); }
  TStmt& Bind(int index, bool value) { return Bind(index, static_cast<std::int64_t>(value ? 1 : 0)); }
  TStmt& Bind(int index, double value);
  TStmt& Bind(int index, std::string_view text);
  TStmt& BindBlob(int index, const void* data, int size);
  // True while a row is available.
  bool Step();
  void Done();  // steps a statement that returns no rows and resets it
  std::int64_t Int(int column);
  double Real(int column);
  std::string Text(int column);
  void Reset();

 private:
  sqlite3* FDb;
  sqlite3_stmt* FStmt = nullptr;
};

}  // namespace vantori::server
