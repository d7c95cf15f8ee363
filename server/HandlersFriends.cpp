// The friends list: friends, friend groups and their listing.

#include "ServerHandlers.h"

namespace vantori::server {

namespace {

constexpr std::size_t kMaxGroupNameBytes = 100;

TFriendGroup OwnGroup(TRequestContext& ctx, std::int32_t seq) {
  auto g = ctx.Db.Group(seq);
  if (!g || g->UserSeq != ctx.Member) throw ERefused(kErrNoGroup, "no group " + std::to_string(seq));
  return *g;
}

void RequireOwnGroupOrTop(TRequestContext& ctx, std::int32_t seq) {
  if (seq != kTopSeq) OwnGroup(ctx, seq);
}

int GroupDepth(TServerDb& db, std::int32_t seq) {
  int depth = 0;
  while (seq > 0 && depth <= kMaxGroupDepth + 1) {
    auto g = db.Group(seq);
    if (!g) break;
    ++depth;
    seq = g->Parent;
  }
  return depth;
}

std::string CheckGroupName(const std::string& raw) {
  const std::string name = TrimBlanks(raw);
  if (name.empty()) throw ERefused(kErrEmptyGroupName);
  if (name.size() > kMaxGroupNameBytes) throw ERefused(kErrInvalidRequest, "group name too long");
  for (unsigned char c : name) {
    if (c < 0x20) throw ERefused(kErrInvalidRequest, "bad group name");
  }
  return name;
}

void ListFriends(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  const std::int32_t group = ctx.Int("GroupSeq");
  RequireOwnGroupOrTop(ctx, group);
  TDataParameter& r = ctx.ListingReply(282);
  for (const TFriendGroup& g : ctx.Db.ChildGroups(ctx.Member, group)) {
    r.AddInteger("", 3);
    r.AddInteger("", g.UserSeq);
    r.AddInteger("", g.Parent);
    r.AddInteger("", g.Seq);
    r.AddString("", g.Name);
  }
  for (const TFriend& f : ctx.Db.FriendsIn(ctx.Member, group)) {
    r.AddInteger("", 2);
    r.AddInteger("", f.Seq);
    r.AddString("", f.FriendID);
    r.AddInteger("", f.FriendUserSeq);
    r.AddString("", f.Name);
    r.AddInteger("", f.GroupSeq);
  }
}

void AddFriend(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  const std::string id = LowerAscii(TrimBlanks(ctx.Str("FriendID")));
  const std::int32_t group = ctx.Int("GroupSeq");
  RequireOwnGroupOrTop(ctx, group);
  auto other = ctx.Db.MemberByID(id);
  if (!other) throw ERefused(kErrUnknownUserID, "no member " + id);
  if (other->Seq == ctx.Member || ctx.Db.FriendEntry(ctx.Member, other->Seq))
    throw ERefused(kErrAlreadyFriend);
  if (ctx.Db.FriendCount(ctx.Member) >= kMaxFriends) throw ERefused(kErrFriendLimit);
  TFriend f;
  f.UserSeq = ctx.Member;
  f.FriendUserSeq = other->Seq;
  f.GroupSeq = group;
  f.Name = other->Name.empty() ? other->UserID : other->Name;
  const std::int32_t seq = ctx.Db.AddFriend(f);
  TDataParameter& r = ctx.Reply(37);
  r.AddString("FriendID", other->UserID);
  r.AddInteger("FriendUserSeq", other->Seq);
  r.AddInteger("FriendSeq", seq);
}

void DeleteFriend(TRequestContext& ctx) {
  // scrambled: friend entry, member, friend's member number, handle
  const std::int32_t entry = ctx.PosScrambledInt(1);
  const std::int32_t member = ctx.PosScrambledInt(2);
  const std::int32_t friendUser = ctx.PosScrambledInt(3);
  ctx.PosUnscrambled(4);
  ctx.Authorize(member);
  auto f = ctx.Db.Friend(entry);
  if (!f || f->UserSeq != ctx.Member || f->FriendUserSeq != friendUser) throw ERefused(kErrNotFriend);
  ctx.Db.DeleteFriend(entry);
  ctx.Reply(41);
}

void CreateGroup(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  TFriendGroup g;
  g.UserSeq = ctx.Member;
  g.Name = CheckGroupName(ctx.Str("Name"));
  g.Parent = ctx.Int("Owner");
  RequireOwnGroupOrTop(ctx, g.Parent);
  if (GroupDepth(ctx.Db, g.Parent) >= kMaxGroupDepth) throw ERefused(kErrInvalidRequest, "groups too deep");
  if (ctx.Db.GroupCount(ctx.Member) >= kMaxGroups) throw ERefused(kErrGroupLimit);
  if (ctx.Db.GroupNameTaken(ctx.Member, g.Parent, g.Name)) throw ERefused(kErrGroupNameTaken);
  const std::int32_t seq = ctx.Db.AddGroup(g);
  TDataParameter& r = ctx.Reply(284);
  ctx.Echo(r, "Hdl");
  r.AddInteger("Seq", seq);
}

void DeleteGroup(TRequestContext& ctx) {
  // scrambled: member, group, handle
  ctx.Authorize(ctx.PosScrambledInt(1));
  const std::int32_t seq = ctx.PosScrambledInt(2);
  ctx.PosUnscrambled(3);
  OwnGroup(ctx, seq);
  ctx.Db.DeleteGroupTree(seq);
  ctx.Reply(286);
}

void RenameGroup(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  TFriendGroup g = OwnGroup(ctx, ctx.Int("Seq"));
  const std::string name = CheckGroupName(ctx.Str("Name"));
  if (ctx.Db.GroupNameTaken(ctx.Member, g.Parent, name, g.Seq)) throw ERefused(kErrGroupNameTaken);
  g.Name = name;
  ctx.Db.UpdateGroup(g);
  ctx.Echo(ctx.Reply(288), "Hdl");
}

void MoveGroup(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  TFriendGroup g = OwnGroup(ctx, ctx.Int("SSeq"));
  const std::int32_t target = ctx.Int("TSeq");
  RequireOwnGroupOrTop(ctx, target);
  if (target != kTopSeq && ctx.Db.GroupInside(target, g.Seq)) {
    throw ERefused(kErrWrongFolderInfo, "group moved into itself");
  }
  if (GroupDepth(ctx.Db, target) >= kMaxGroupDepth) throw ERefused(kErrInvalidRequest, "groups too deep");
  if (ctx.Db.GroupNameTaken(ctx.Member, target, g.Name, g.Seq)) throw ERefused(kErrGroupNameTaken);
  g.Parent = target;
  ctx.Db.UpdateGroup(g);
  TDataParameter& r = ctx.Reply(290);
  ctx.Echo(r, "SHdl");
  ctx.Echo(r, "THdl");
}

void MoveFriend(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  auto f = ctx.Db.Friend(ctx.Int("SSeq"));
  if (!f || f->UserSeq != ctx.Member) throw ERefused(kErrNotFriend);
  const std::int32_t target = ctx.Int("TSeq");
  RequireOwnGroupOrTop(ctx, target);
  f->GroupSeq = target;
  ctx.Db.UpdateFriend(*f);
  TDataParameter& r = ctx.Reply(292);
  ctx.Echo(r, "SHdl");
  ctx.Echo(r, "THdl");
}

}  // namespace

void RegisterFriendHandlers(THandlerRegistry& registry) {
  registry.Add({36, 37, "add friend", {}, AddFriend});
  registry.Add({40, 41, "delete friend", {}, DeleteFriend});
  registry.Add({281, 282, "list friends", {}, ListFriends});
  registry.Add({283, 284, "create group", {"Hdl"}, CreateGroup});
  registry.Add({285, 286, "delete group", {}, DeleteGroup});
  registry.Add({287, 288, "rename group", {"Hdl"}, RenameGroup});
  registry.Add({289, 290, "move group", {"SHdl", "THdl"}, MoveGroup});
  registry.Add({291, 292, "move friend", {"SHdl", "THdl"}, MoveFriend});
}

}  // namespace vantori::server
