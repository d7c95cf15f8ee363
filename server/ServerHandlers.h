#pragma once
// The request handlers of the main server and the registry that finds them by message type.
//
// Each group of messages lives in its own .cpp file and registers itself through one
// Register...Handlers function; a later subsystem adds its own file and one line in
// TReferenceServer's constructor.
//
// A handler runs inside the request's database transaction. It reads the request through
// TRequestContext, which raises ERefused for anything malformed; it raises ERefused with an
// error code when the request breaks a rule. A refused request changes nothing: its transaction
// is rolled back, the replies built so far are dropped and one failure reply is sent instead:
// [T = reply type, "result" = false, "Code", then the request's values named in EchoOnFailure].

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ServerCodes.h"
#include "ServerDb.h"
#include "protocol/UParameter.h"

namespace vantori::server {

class TSessionTable;

class ERefused : public std::runtime_error {
 public:
  explicit ERefused(std::int32_t code, const std::string& why = {})
      : std::runtime_error(why.empty() ? "refused" : why), FCode(code) {}
  std::int32_t Code() const { return FCode; }

 private:
  std::int32_t FCode;
};

// What the server knows about one connection.
struct TConnState {
  std::string PeerAddress;
  std::string LocalAddress;      // the address the client reached us on
  std::int32_t BoundMember = 0;  // set by a successful login information request or a session
  bool ProvedPassword = false;   // the binding came from a request that carried the password
  bool LoggedOut = false;
};

// Server-wide values the handlers need.
struct TServerSettings {
  std::string AdvertisedHost;  // main server address sent in the login information ("" = local address)
  std::int32_t SessionLifetimeDays = 1;
};

class TRequestContext {
 public:
  TRequestContext(TServerDb& db, TSessionTable& sessions, const TServerSettings& settings,
                  const TDataParameter& request, TConnState& conn);

  TServerDb& Db;
  TSessionTable& Sessions;
  const TServerSettings& Settings;
  const TDataParameter& Req;
  TConnState& Conn;
  std::vector<TDataParameter> Replies;
  // The member the request acts for, once authorised (0 before).
  std::int32_t Member = 0;
  // Extra text for the request log line.
  std::string Note;

  // --- reading the request (ERefused 21030 when absent or not convertible) ----------------
  std::int32_t Int(std::string_view name) const;
  std::int64_t Int64(std::string_view name) const;
  std::string Str(std::string_view name) const;
  bool Bool(std::string_view name) const;
  int Count() const { return Req.Count(); }
  std::int32_t PosInt(int index) const;
  std::int64_t PosInt64(int index) const;
  std::string PosStr(int index) const;
  // A positional value sent as the scrambled decimal text of a number.
  std::int32_t PosScrambledInt(int index) const;
  std::string PosUnscrambled(int index) const;
  // Copies the named value of the request, with its own type, into `reply` (0 when absent).
  void Echo(TDataParameter& reply, std::string_view name) const;

  // --- identity ---------------------------------------------------------------------------
  // Confirms that this connection may act for `claimed` and binds it to that member. Refuses
  // with kErrNoSession when the member holds no live session from this address and with
  // kErrNotYours when the connection already acts for another member.
  void Authorize(std::int32_t claimed);
  // For requests that do not name the member they act for: the connection's member, or the
  // member with the most recent live session from this address.
  void AuthorizeImplicit();
  TMember Me();

  // --- replies ----------------------------------------------------------------------------
  // A reply [T, "result" = true].
  TDataParameter& Reply(int type);
  // A listing reply [T, "Hdl"] without a success flag.
  TDataParameter& ListingReply(int type, std::string_view handleName = "Hdl");
};

using THandlerFn = std::function<void(TRequestContext&)>;

struct THandlerInfo {
  int Type = 0;
  int ReplyType = 0;  // the terminating reply, used for the failure reply
  const char* Name = "";
  std::vector<std::string> EchoOnFailure;
  THandlerFn Fn;
};

class THandlerRegistry {
 public:
  void Add(THandlerInfo info);
  const THandlerInfo* Find(int type) const;
  std::vector<int> Types() const;

 private:
  std::map<int, THandlerInfo> FHandlers;
};

// Live sessions, kept in memory and in the database.
class TSessionTable {
 public:
  explicit TSessionTable(int lifetimeDays) : FLifetimeDays(lifetimeDays) {}
  void Load(TServerDb& db);
  // Opens (or renews) the session of `member` from `address`.
  void Open(TServerDb& db, std::int32_t member, const std::string& address);
  void End(TServerDb& db, std::int32_t member);
  // True when `member` holds a live session from `address`; renews its last traffic.
  bool Touch(TServerDb& db, std::int32_t member, const std::string& address);
  // The member with the most recent live session from `address`, 0 when none.
  std::int32_t LatestFrom(const std::string& address);

 private:
  int FLifetimeDays;
  std::mutex FLock;
  std::map<std::int32_t, TSession> FSessions;
};

// Shared helpers of the handlers.
std::string TrimBlanks(std::string_view text);
std::string LowerAscii(std::string_view text);
// Parses a decimal integer (leading and trailing blanks allowed); nullopt otherwise.
std::optional<std::int64_t> ParseDecimal(std::string_view text);
// A folder or file name a member may give: not empty, at most `maxBytes`, no path separators,
// no control bytes and not "." or "..".
bool ValidItemName(std::string_view name, std::size_t maxBytes = 255);
// Days left in a file's storage period, never negative.
std::int32_t RemainDays(const TFileEntry& file, double now);

// True when `viewer` may see folder `folder` of another member: the folder or one of its
// ancestors is shared, and no folder on the way is an adult folder unless the viewer may see
// those. `adultSeen` reports whether an adult folder lies on the way.
bool FriendCanSee(TServerDb& db, const TFolder& folder, bool viewerAdult, bool* adultSeen = nullptr);
// The viewer's friend entry for `owner`, or ERefused(kErrNotFriend).
TFriend RequireFriend(TServerDb& db, std::int32_t viewer, std::int32_t owner);

void RegisterLoginHandlers(THandlerRegistry& registry);
void RegisterFolderHandlers(THandlerRegistry& registry);
void RegisterFriendHandlers(THandlerRegistry& registry);
void RegisterListingHandlers(THandlerRegistry& registry);
void RegisterStorageHandlers(THandlerRegistry& registry);

}  // namespace vantori::server
