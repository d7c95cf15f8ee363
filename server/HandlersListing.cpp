// Listings: my folders, a friend's shared folders, my clubs, and the expansion of a download
// selection into every folder and file below it.

#include <algorithm>

#include "ServerHandlers.h"
#include "settings/UFunction.h"

namespace vantori::server {

namespace {

// The carried texts of a file row: the storage server's address, then two locators that the
// storage servers read back (the stored-file number and the disk).
std::string ServerText(const TRequestContext& ctx) {
  return ctx.Settings.AdvertisedHost.empty() ? ctx.Conn.LocalAddress : ctx.Settings.AdvertisedHost;
}
std::string Locator1(const TFileEntry& f) {
  return std::to_string(f.StoredSeq);
}
constexpr char kLocator2[] = "0";

void AddFileValues(TRequestContext& ctx, TDataParameter& r, const TFileEntry& f, double now) {
  r.AddInteger("", f.Seq);
  r.AddString("", f.Name);
  r.AddInteger("", f.Size);
  r.AddInteger("", f.CurSize);
  r.AddInteger("", f.FolderSeq);
  r.AddString("", ServerText(ctx));
  r.AddString("", Locator1(f));
  r.AddInteger("", RemainDays(f, now));
  r.AddString("", f.Comment);
  r.AddReal("", f.UpDate);
  r.AddInteger("", f.UploaderSeq);
  r.AddString("", kLocator2);
  r.AddInteger("", f.StoredSeq);
}

void ListMyFolder(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  const std::int32_t seq = ctx.Int("Seq");
  if (seq != kTopSeq) {
    auto f = ctx.Db.Folder(seq);
    if (!f || f->UserSeq != ctx.Member) throw ERefused(kErrNoFolder);
  }
  const double now = NowDays();
  TDataParameter& r = ctx.ListingReply(582);
  for (const TFolder& f : ctx.Db.ChildFolders(ctx.Member, seq)) {
    r.AddInteger("", 0);
    r.AddInteger("", f.Seq);
    r.AddString("", f.Name);
    r.AddInteger("", f.Parent);
    r.AddString("", f.Pub);
    r.AddString("", f.Extra);
    r.AddString("", f.Comment);
    r.AddString("", ScrambleText(f.Pass));
  }
  for (const TFileEntry& f : ctx.Db.FilesIn(ctx.Member, seq)) {
    r.AddInteger("", 1);
    AddFileValues(ctx, r, f, now);
  }
}

void AddFriendFolderRow(TDataParameter& r, const TFolder& f) {
  r.AddInteger("", 0);
  r.AddInteger("", f.UserSeq);
  r.AddInteger("", f.Seq);
  r.AddString("", f.Name);
  r.AddInteger("", f.Parent);
  r.AddString("", f.Pub);
  r.AddString("", f.Extra);
  r.AddString("", f.Comment);
  r.AddString("", ScrambleText(f.Pass));
}

void ListFriendFolder(TRequestContext& ctx) {
  // The request names the friend entry, not the member: the entry's owner is the one asking.
  const std::int32_t seq = ctx.Int("Seq");
  const std::int32_t owner = ctx.Int("UserSeq");
  auto entry = ctx.Db.Friend(ctx.Int("FriendSeq"));
  if (!entry) throw ERefused(kErrNotFriend);
  ctx.Authorize(entry->UserSeq);
  if (entry->FriendUserSeq != owner) throw ERefused(kErrNotFriend);
  const bool adult = ctx.Me().Adult;
  TDataParameter& r = ctx.ListingReply(584);
  if (seq == kTopSeq) {
    // The friend's top: every shared folder that has no shared folder above it.
    auto& st =
        ctx.Db.Prepare("SELECT seq FROM folders WHERE user_seq = ?1 AND pub IN ('T', 'A') ORDER BY seq");
    st.Bind(1, owner);
    std::vector<std::int32_t> candidates;
    while (st.Step()) candidates.push_back(static_cast<std::int32_t>(st.Int(0)));
    st.Reset();
    for (std::int32_t c : candidates) {
      auto f = ctx.Db.Folder(c);
      if (!f || (f->Pub == kPubAdult && !adult)) continue;
      bool coveredAbove = false;
      if (f->Parent > 0) {
        auto parent = ctx.Db.Folder(f->Parent);
        coveredAbove = parent && FriendCanSee(ctx.Db, *parent, true);
      }
      if (!coveredAbove) AddFriendFolderRow(r, *f);
    }
    return;
  }
  auto folder = ctx.Db.Folder(seq);
  if (!folder || folder->UserSeq != owner || !FriendCanSee(ctx.Db, *folder, adult)) {
    throw ERefused(kErrNoFolder);
  }
  for (const TFolder& f : ctx.Db.ChildFolders(owner, seq)) {
    if (f.Pub == kPubAdult && !adult) continue;
    AddFriendFolderRow(r, f);
  }
  const double now = NowDays();
  for (const TFileEntry& f : ctx.Db.FilesIn(owner, seq)) {
    r.AddInteger("", 1);
    r.AddInteger("", f.UserSeq);
    AddFileValues(ctx, r, f, now);
  }
}

void ListClubs(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  TDataParameter& r = ctx.ListingReply(295);
  for (const TClub& c : ctx.Db.ClubsOf(ctx.Member)) {
    r.AddInteger("", c.Seq);
    r.AddInteger("", 0);
    r.AddString("", "");
    r.AddString("", c.Name);
    r.AddString("", c.ClubID);
    r.AddInteger("", c.Value1);
    r.AddString("", c.Text);
    r.AddInteger("", c.Value2);
    r.AddString("", c.Flag1 ? "T" : "F");
    r.AddString("", c.Flag2 ? "T" : "F");
    r.AddString("", c.Flag3 ? "T" : "F");
    r.AddString("", "");
  }
}

// Download expansion (587 with replies 730/731/588, and 1021 with 1023/1024/1022).
struct TExpandTypes {
  int Folder, File, End;
  bool WebLayout;  // 1023 carries the owner's number before the folder values
};

void ExpandDownload(TRequestContext& ctx, const TExpandTypes& types) {
  ctx.AuthorizeImplicit();
  const TMember me = ctx.Me();
  auto header = [&](TDataParameter& r) {
    ctx.Echo(r, "UserSeq");
    ctx.Echo(r, "Folders");
    ctx.Echo(r, "SFolders");
    ctx.Echo(r, "Files");
  };
  // T, UserSeq, Folders, SFolders, Files, then (member, folder, parent) triples
  if ((ctx.Count() - 5) % 3 != 0) throw ERefused(kErrInvalidRequest, "bad folder list");
  int files = 0;
  for (int i = 5; i + 2 < ctx.Count(); i += 3) {
    const std::int32_t owner = ctx.PosInt(i);
    const std::int32_t seq = ctx.PosInt(i + 1);
    auto top = ctx.Db.Folder(seq);
    if (!top || top->UserSeq != owner) throw ERefused(kErrNoFolder);
    const bool mine = owner == ctx.Member;
    if (!mine) {
      RequireFriend(ctx.Db, ctx.Member, owner);
      bool adult = false;
      if (!FriendCanSee(ctx.Db, *top, me.Adult, &adult))
        throw ERefused(adult ? kErrAdultFolder : kErrNoFolder);
    }
    const std::vector<TFolder> tree = ctx.Db.Subtree(seq);
    std::vector<std::int32_t> skipped;  // adult folders hidden from this member, and what is below them
    for (const TFolder& f : tree) {
      const bool below = std::find(skipped.begin(), skipped.end(), f.Parent) != skipped.end();
      if (f.Seq != seq && (below || (!mine && f.Pub == kPubAdult && !me.Adult))) {
        skipped.push_back(f.Seq);
        continue;
      }
      if (f.Seq != seq) {
        TDataParameter& r = ctx.Reply(types.Folder);
        header(r);
        if (types.WebLayout) r.AddInteger("", f.UserSeq);
        r.AddInteger("", f.Seq);
        r.AddString("", f.Name);
        r.AddInteger("", f.Parent);
        r.AddString("", f.Pub);
        r.AddString("", ScrambleText(f.Pass));
      }
      for (const TFileEntry& file : ctx.Db.FilesIn(f.UserSeq, f.Seq)) {
        if (++files > kMaxDownloadFiles) throw ERefused(kErrDownloadFileLimit);
        TDataParameter& r = ctx.Reply(types.File);
        header(r);
        r.AddInteger("", file.Seq);
        r.AddString("", file.Name);
        r.AddInteger("", file.Size);
        r.AddInteger("", file.CurSize);
        r.AddInteger("", file.FolderSeq);
        r.AddString("", ServerText(ctx));
        r.AddString("", Locator1(file));
        r.AddReal("", file.UpDate);
        r.AddInteger("", file.UserSeq);
        r.AddInteger("", file.UploaderSeq);
        r.AddString("", kLocator2);
        r.AddInteger("", file.StoredSeq);
      }
    }
  }
  header(ctx.Reply(types.End));
}

}  // namespace

void RegisterListingHandlers(THandlerRegistry& registry) {
  registry.Add({581, 582, "list my folder", {}, ListMyFolder});
  registry.Add({583, 584, "list friend folder", {}, ListFriendFolder});
  registry.Add({294, 295, "list clubs", {}, ListClubs});
  registry.Add(
      {587, 588, "expand download", {"UserSeq", "Folders", "SFolders", "Files"}, [](TRequestContext& ctx) {
         ExpandDownload(ctx, {730, 731, 588, false});
       }});
  registry.Add({1021,
                1022,
                "expand web download",
                {"UserSeq", "Folders", "SFolders", "Files"},
                [](TRequestContext& ctx) {
                  ExpandDownload(ctx, {1023, 1024, 1022, true});
                }});
}

}  // namespace vantori::server
