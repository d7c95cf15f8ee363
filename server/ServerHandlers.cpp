#include "ServerHandlers.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "settings/UFunction.h"

namespace vantori::server {

namespace {

// A session's last traffic is written back to the database at most this often (days).
constexpr double kTouchWriteInterval = 60.0 / 86400.0;

ERefused Malformed(std::string_view what) {
  return ERefused(kErrInvalidRequest, "malformed " + std::string(what));
}

}  // namespace

// --- helpers -----------------------------------------------------------------------------------

std::string TrimBlanks(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t')) --e;
  return std::string(text.substr(b, e - b));
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::optional<std::int64_t> ParseDecimal(std::string_view text) {
  const std::string t = TrimBlanks(text);
  if (t.empty()) return std::nullopt;
  std::int64_t value = 0;
  const char* begin = t.data();
  const char* end = t.data() + t.size();
  auto [ptr, ec] = std::from_chars(begin, end, value);
  if (ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

bool ValidItemName(std::string_view name, std::size_t maxBytes) {
  if (name.empty() || name.size() > maxBytes) return false;
  if (name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == '\\' || c == '/' || c == ':' || c == '*' || c == '?' || c == '"' || c == '<' ||
        c == '>' || c == '|')
      return false;
  }
  return true;
}

std::int32_t RemainDays(const TFileEntry& file, double now) {
  const double left = std::ceil(file.Expire - now);
  if (left <= 0) return 0;
  return static_cast<std::int32_t>(std::min(left, 1e6));
}

bool FriendCanSee(TServerDb& db, const TFolder& folder, bool viewerAdult, bool* adultSeen) {
  bool shared = false;
  bool adult = false;
  std::optional<TFolder> cur = folder;
  for (int depth = 0; cur && depth < 100000; ++depth) {
    if (cur->Pub == kPubShared) shared = true;
    if (cur->Pub == kPubAdult) {
      shared = true;
      adult = true;
    }
    if (cur->Parent <= 0) break;
    cur = db.Folder(cur->Parent);
  }
  if (adultSeen) *adultSeen = adult;
  return shared && (!adult || viewerAdult);
}

TFriend RequireFriend(TServerDb& db, std::int32_t viewer, std::int32_t owner) {
  auto entry = db.FriendEntry(viewer, owner);
  if (!entry) throw ERefused(kErrNotFriend, "not a friend");
  return *entry;
}

// --- sessions ----------------------------------------------------------------------------------

void TSessionTable::Load(TServerDb& db) {
  std::lock_guard lock(FLock);
  FSessions.clear();
  auto& st = db.Prepare("SELECT user_seq, address, last_seen FROM sessions");
  while (st.Step()) {
    TSession s{static_cast<std::int32_t>(st.Int(0)), st.Text(1), st.Real(2)};
    FSessions[s.UserSeq] = s;
  }
  st.Reset();
}

void TSessionTable::Open(TServerDb& db, std::int32_t member, const std::string& address) {
  TSession s{member, address, NowDays()};
  db.PutSession(s);
  std::lock_guard lock(FLock);
  FSessions[member] = s;
}

void TSessionTable::End(TServerDb& db, std::int32_t member) {
  db.EndSession(member);
  std::lock_guard lock(FLock);
  FSessions.erase(member);
}

bool TSessionTable::Touch(TServerDb& db, std::int32_t member, const std::string& address) {
  const double now = NowDays();
  bool write = false;
  TSession copy;
  {
    std::lock_guard lock(FLock);
    auto it = FSessions.find(member);
    if (it == FSessions.end() || it->second.Address != address) return false;
    if (now - it->second.LastSeen > FLifetimeDays) return false;
    write = now - it->second.LastSeen > kTouchWriteInterval;
    it->second.LastSeen = now;
    copy = it->second;
  }
  if (write) db.PutSession(copy);
  return true;
}

std::int32_t TSessionTable::LatestFrom(const std::string& address) {
  const double now = NowDays();
  std::lock_guard lock(FLock);
  std::int32_t best = 0;
  double bestSeen = 0;
  for (const auto& [seq, s] : FSessions) {
    if (s.Address == address && now - s.LastSeen <= FLifetimeDays && s.LastSeen > bestSeen) {
      best = seq;
      bestSeen = s.LastSeen;
    }
  }
  return best;
}

// --- registry ----------------------------------------------------------------------------------

void THandlerRegistry::Add(THandlerInfo info) {
  FHandlers[info.Type] = std::move(info);
}

const THandlerInfo* THandlerRegistry::Find(int type) const {
  auto it = FHandlers.find(type);
  return it == FHandlers.end() ? nullptr : &it->second;
}

std::vector<int> THandlerRegistry::Types() const {
  std::vector<int> types;
  for (const auto& [type, info] : FHandlers) types.push_back(type);
  return types;
}

// --- request context ---------------------------------------------------------------------------

TRequestContext::TRequestContext(TServerDb& db, TSessionTable& sessions, const TServerSettings& settings,
                                 const TDataParameter& request, TConnState& conn)
    : Db(db), Sessions(sessions), Settings(settings), Req(request), Conn(conn) {}

std::int32_t TRequestContext::Int(std::string_view name) const {
  const TParamDef* p = Req.FindParam(name);
  if (!p) throw Malformed(name);
  try {
    const std::int64_t v = p->AsInt64();
    if (v < INT32_MIN || v > INT32_MAX) throw Malformed(name);
    return static_cast<std::int32_t>(v);
  } catch (const EParamError&) {
    throw Malformed(name);
  }
}

std::int64_t TRequestContext::Int64(std::string_view name) const {
  const TParamDef* p = Req.FindParam(name);
  if (!p) throw Malformed(name);
  try {
    return p->AsInt64();
  } catch (const EParamError&) {
    throw Malformed(name);
  }
}

std::string TRequestContext::Str(std::string_view name) const {
  const TParamDef* p = Req.FindParam(name);
  if (!p || p->Type() != ParamType::String) throw Malformed(name);
  return p->AsString();
}

bool TRequestContext::Bool(std::string_view name) const {
  const TParamDef* p = Req.FindParam(name);
  if (!p) throw Malformed(name);
  try {
    return p->AsBoolean();
  } catch (const EParamError&) {
    throw Malformed(name);
  }
}

std::int32_t TRequestContext::PosInt(int index) const {
  const std::int64_t v = PosInt64(index);
  if (v < INT32_MIN || v > INT32_MAX) throw Malformed("value");
  return static_cast<std::int32_t>(v);
}

std::int64_t TRequestContext::PosInt64(int index) const {
  if (index < 0 || index >= Req.Count()) throw Malformed("position");
  const TParamDef& p = Req.Params(index);
  switch (p.Type()) {
    case ParamType::ShortInt:
    case ParamType::Byte:
    case ParamType::SmallInt:
    case ParamType::Word:
    case ParamType::Integer:
    case ParamType::LongWord:
    case ParamType::Int64:
      return p.AsInt64();
    default:
      throw Malformed("integer");
  }
}

std::string TRequestContext::PosStr(int index) const {
  if (index < 0 || index >= Req.Count()) throw Malformed("position");
  const TParamDef& p = Req.Params(index);
  if (p.Type() != ParamType::String) throw Malformed("text");
  return p.AsString();
}

std::string TRequestContext::PosUnscrambled(int index) const {
  std::string plain;
  if (!TryUnscrambleText(PosStr(index), plain)) throw Malformed("scrambled text");
  return plain;
}

std::int32_t TRequestContext::PosScrambledInt(int index) const {
  auto v = ParseDecimal(PosUnscrambled(index));
  if (!v || *v < INT32_MIN || *v > INT32_MAX) throw Malformed("scrambled number");
  return static_cast<std::int32_t>(*v);
}

void TRequestContext::Echo(TDataParameter& reply, std::string_view name) const {
  const TParamDef* p = Req.FindParam(name);
  if (!p) {
    reply.AddInteger(name, 0);
    return;
  }
  switch (p->Type()) {
    case ParamType::String:
      reply.AddString(name, p->AsString());
      break;
    case ParamType::Boolean:
      reply.AddBoolean(name, p->RawBoolean());
      break;
    case ParamType::Real:
      reply.AddReal(name, p->AsReal());
      break;
    case ParamType::PChar:
      reply.AddData(name, p->Data().data(), p->Data().size());
      break;
    case ParamType::ShortInt:
    case ParamType::Byte:
    case ParamType::SmallInt:
    case ParamType::Word:
    case ParamType::Integer:
    case ParamType::LongWord:
    case ParamType::Int64:
      reply.AddInteger(name, p->RawInteger());
      break;
    default:
      reply.AddInteger(name, 0);
  }
}

void TRequestContext::Authorize(std::int32_t claimed) {
  if (claimed <= 0) throw ERefused(kErrNotYours, "no member number");
  if (Conn.LoggedOut) throw ERefused(kErrNoSession, "logged out");
  if (Conn.BoundMember != 0 && Conn.BoundMember != claimed) {
    throw ERefused(kErrNotYours, "acts for member " + std::to_string(Conn.BoundMember));
  }
  if (!Sessions.Touch(Db, claimed, Conn.PeerAddress)) throw ERefused(kErrNoSession, "no live session");
  Conn.BoundMember = claimed;
  Member = claimed;
}

void TRequestContext::AuthorizeImplicit() {
  std::int32_t member = Conn.BoundMember;
  if (member == 0) member = Sessions.LatestFrom(Conn.PeerAddress);
  if (member == 0) throw ERefused(kErrNoSession, "no live session");
  Authorize(member);
}

TMember TRequestContext::Me() {
  auto m = Db.MemberBySeq(Member);
  if (!m) throw ERefused(kErrUserInfoMissing, "member gone");
  return *m;
}

TDataParameter& TRequestContext::Reply(int type) {
  TDataParameter& r = Replies.emplace_back();
  r.AddInteger("T", type);
  r.AddBoolean("result", true);
  return r;
}

TDataParameter& TRequestContext::ListingReply(int type, std::string_view handleName) {
  TDataParameter& r = Replies.emplace_back();
  r.AddInteger("T", type);
  Echo(r, handleName);
  return r;
}

}  // namespace vantori::server
