// Changes to a member's own folders and files: create, rename, move, copy, delete, the folder
// properties, file details and the folders registered for an upload.

#include <map>
#include <set>

#include "ServerHandlers.h"

namespace vantori::server {

namespace {

constexpr std::size_t kMaxCommentBytes = 255;
constexpr std::size_t kMaxPassBytes = 40;

TFolder OwnFolder(TRequestContext& ctx, std::int32_t seq) {
  auto f = ctx.Db.Folder(seq);
  if (!f || f->UserSeq != ctx.Member) throw ERefused(kErrNoFolder, "no folder " + std::to_string(seq));
  return *f;
}

// The folder a new item goes into: the top (-1) or one of the member's folders.
void RequireOwnParent(TRequestContext& ctx, std::int32_t parent) {
  if (parent == kTopSeq) return;
  OwnFolder(ctx, parent);
}

TFileEntry OwnFile(TRequestContext& ctx, std::int32_t seq) {
  auto f = ctx.Db.File(seq);
  if (!f || f->UserSeq != ctx.Member) throw ERefused(kErrNoFile, "no file " + std::to_string(seq));
  return *f;
}

int DepthOf(TServerDb& db, std::int32_t seq) {
  int depth = 0;
  while (seq > 0 && depth <= kMaxFolderDepth + 1) {
    auto f = db.Folder(seq);
    if (!f) break;
    ++depth;
    seq = f->Parent;
  }
  return depth;
}

int SubtreeHeight(TServerDb& db, std::int32_t seq) {
  // Height of the subtree below seq, 1 for a leaf.
  int best = 1;
  for (const TFolder& child : db.ChildFolders(db.Folder(seq)->UserSeq, seq)) {
    best = std::max(best, 1 + SubtreeHeight(db, child.Seq));
    if (best > kMaxFolderDepth) break;
  }
  return best;
}

void CheckFolderName(const std::string& name) {
  if (TrimBlanks(name).empty()) throw ERefused(kErrEmptyFolderName, "empty folder name");
  if (!ValidItemName(name)) throw ERefused(kErrInvalidRequest, "bad folder name");
}

void CheckFileName(const std::string& name) {
  if (!ValidItemName(name)) throw ERefused(kErrInvalidRequest, "bad file name");
}

void CheckProperties(TRequestContext& ctx, const std::string& pub, const std::string& comment,
                     const std::string& pass) {
  if (pub != kPubShared && pub != kPubPrivate && pub != kPubAdult)
    throw ERefused(kErrInvalidRequest, "bad sharing");
  if (comment.size() > kMaxCommentBytes || pass.size() > kMaxPassBytes) {
    throw ERefused(kErrInvalidRequest, "comment or password too long");
  }
  if (pub == kPubAdult && !ctx.Me().Adult) throw ERefused(kErrAdultFolder, "no adult permission");
}

void CreateFolder(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  TFolder f;
  f.UserSeq = ctx.Member;
  f.Name = TrimBlanks(ctx.Str("Name"));
  f.Parent = ctx.Int("Owner");
  f.Pub = ctx.Str("Pub");
  f.Comment = ctx.Str("Comment");
  f.Pass = ctx.Str("Pass");
  CheckFolderName(f.Name);
  CheckProperties(ctx, f.Pub, f.Comment, f.Pass);
  RequireOwnParent(ctx, f.Parent);
  if (DepthOf(ctx.Db, f.Parent) >= kMaxFolderDepth) throw ERefused(kErrWrongFolderInfo, "too deep");
  if (ctx.Db.FolderCount(ctx.Member) >= kMaxFoldersPerMember) throw ERefused(kErrFolderLimit);
  if (ctx.Db.FolderNameTaken(ctx.Member, f.Parent, f.Name)) throw ERefused(kErrFolderNameTaken);
  const std::int32_t seq = ctx.Db.AddFolder(f);
  TDataParameter& r = ctx.Reply(19);
  ctx.Echo(r, "Hdl");
  r.AddInteger("Seq", seq);
  ctx.Echo(r, "FF");
}

void DeleteFolder(TRequestContext& ctx) {
  // scrambled: parent, member, handle, folder
  const std::int32_t member = ctx.PosScrambledInt(2);
  ctx.PosUnscrambled(3);
  const std::int32_t seq = ctx.PosScrambledInt(4);
  ctx.Authorize(member);
  if (seq <= 0) throw ERefused(kErrCannotDeleteFolder);
  OwnFolder(ctx, seq);
  ctx.Db.DeleteFolderTree(seq);
  ctx.Reply(23);
}

void RenameFolder(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  TFolder f = OwnFolder(ctx, ctx.Int("Seq"));
  const std::string name = TrimBlanks(ctx.Str("Name"));
  CheckFolderName(name);
  if (ctx.Db.FolderNameTaken(ctx.Member, f.Parent, name, f.Seq)) throw ERefused(kErrFolderNameTaken);
  f.Name = name;
  ctx.Db.UpdateFolder(f);
  TDataParameter& r = ctx.Reply(25);
  ctx.Echo(r, "Hdl");
  ctx.Echo(r, "FF");
}

// Moves one of the member's folders under `target`, checking every rule of a move.
void MoveOwnFolder(TRequestContext& ctx, TFolder f, std::int32_t target) {
  RequireOwnParent(ctx, target);
  if (target != kTopSeq && ctx.Db.IsInside(target, f.Seq)) {
    throw ERefused(kErrWrongFolderInfo, "folder moved into itself");
  }
  if (f.Parent == target) return;
  if (DepthOf(ctx.Db, target) + SubtreeHeight(ctx.Db, f.Seq) > kMaxFolderDepth) {
    throw ERefused(kErrWrongFolderInfo, "too deep");
  }
  if (ctx.Db.FolderNameTaken(ctx.Member, target, f.Name, f.Seq)) throw ERefused(kErrFolderNameTaken);
  f.Parent = target;
  ctx.Db.UpdateFolder(f);
}

void MoveOwnFile(TRequestContext& ctx, TFileEntry file, std::int32_t target) {
  RequireOwnParent(ctx, target);
  if (file.FolderSeq == target) return;
  if (ctx.Db.FileNameTaken(ctx.Member, target, file.Name, file.Seq)) throw ERefused(kErrFileNameTaken);
  file.FolderSeq = target;
  ctx.Db.UpdateFileEntry(file);
}

void MoveFolder(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  MoveOwnFolder(ctx, OwnFolder(ctx, ctx.Int("SSeq")), ctx.Int("TSeq"));
  TDataParameter& r = ctx.Reply(27);
  ctx.Echo(r, "SHdl");
  ctx.Echo(r, "THdl");
}

void MoveItems(TRequestContext& ctx) {
  const std::int32_t source = ctx.Int("SUser");
  if (ctx.Int("TUser") != source) throw ERefused(kErrNotYours, "move between members");
  ctx.Authorize(source);
  const std::int32_t target = ctx.Int("TSeq");
  // T, SUser, TUser, SHdl, TSeq, THdl, then (K, S) pairs
  if ((ctx.Count() - 6) % 2 != 0) throw ERefused(kErrInvalidRequest, "odd item list");
  for (int i = 6; i + 1 < ctx.Count(); i += 2) {
    const std::int32_t kind = ctx.PosInt(i);
    const std::int32_t seq = ctx.PosInt(i + 1);
    std::string name;
    if (kind == 0) {
      TFolder f = OwnFolder(ctx, seq);
      name = f.Name;
      MoveOwnFolder(ctx, f, target);
    } else if (kind == 1) {
      TFileEntry file = OwnFile(ctx, seq);
      name = file.Name;
      MoveOwnFile(ctx, file, target);
    } else {
      continue;
    }
    TDataParameter& progress = ctx.Reply(29);
    progress.AddBoolean("Done", false);
    progress.AddString("Name", name);
    progress.AddBoolean("Kind", kind == 1);
  }
  ctx.Reply(29).AddBoolean("Done", true);
}

void PasteCutItems(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("SUser"));
  const std::int32_t target = ctx.Int("TSeq");
  // T, SUser, THdl, TSeq, then (kind, member, number) triples
  if ((ctx.Count() - 4) % 3 != 0) throw ERefused(kErrInvalidRequest, "bad item list");
  for (int i = 4; i + 2 < ctx.Count(); i += 3) {
    const std::int32_t kind = ctx.PosInt(i);
    const std::int32_t owner = ctx.PosInt(i + 1);
    const std::int32_t seq = ctx.PosInt(i + 2);
    if (owner != ctx.Member) throw ERefused(kErrNotYours, "cut item of another member");
    if (kind == 0) {
      MoveOwnFolder(ctx, OwnFolder(ctx, seq), target);
    } else if (kind == 1) {
      MoveOwnFile(ctx, OwnFile(ctx, seq), target);
    } else {
      throw ERefused(kErrInvalidRequest, "bad item kind");
    }
  }
  ctx.Reply(97);
}

void DeleteItems(TRequestContext& ctx) {
  // scrambled: handle, member, then (kind, number) pairs
  ctx.PosUnscrambled(1);
  ctx.Authorize(ctx.PosScrambledInt(2));
  if ((ctx.Count() - 3) % 2 != 0) throw ERefused(kErrInvalidRequest, "odd item list");
  for (int i = 3; i + 1 < ctx.Count(); i += 2) {
    const std::int32_t kind = ctx.PosScrambledInt(i);
    const std::int32_t seq = ctx.PosScrambledInt(i + 1);
    if (kind == 0) {
      if (seq <= 0) throw ERefused(kErrCannotDeleteFolder);
      OwnFolder(ctx, seq);
      ctx.Db.DeleteFolderTree(seq);
    } else if (kind == 1) {
      OwnFile(ctx, seq);
      ctx.Db.DeleteFileEntry(seq);
    }
  }
  TDataParameter& r = ctx.Reply(45);
  r.AddString("Hdl", ctx.PosStr(1));
}

void RenameFile(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  TFileEntry file = OwnFile(ctx, ctx.Int("Seq"));
  const std::string name = TrimBlanks(ctx.Str("Name"));
  CheckFileName(name);
  if (ctx.Db.FileNameTaken(ctx.Member, file.FolderSeq, name, file.Seq)) throw ERefused(kErrFileNameTaken);
  file.Name = name;
  ctx.Db.UpdateFileEntry(file);
  ctx.Echo(ctx.Reply(59), "Hdl");
}

void ChangeFileInfo(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  TFileEntry file = OwnFile(ctx, ctx.Int("Seq"));
  const std::string name = TrimBlanks(ctx.Str("Name"));
  const std::string comment = ctx.Str("Comment");
  CheckFileName(name);
  if (comment.size() > kMaxCommentBytes) throw ERefused(kErrInvalidRequest, "comment too long");
  if (ctx.Db.FileNameTaken(ctx.Member, file.FolderSeq, name, file.Seq)) throw ERefused(kErrFileNameTaken);
  file.Name = name;
  file.Comment = comment;
  ctx.Db.UpdateFileEntry(file);
  ctx.Reply(62);
}

void ChangeFolderInfo(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  TFolder f = OwnFolder(ctx, ctx.Int("Seq"));
  const std::string name = TrimBlanks(ctx.Str("Name"));
  const std::string comment = ctx.Str("Comment");
  const std::string pub = ctx.Str("Pub");
  const std::string pass = ctx.Str("Pass");
  CheckFolderName(name);
  CheckProperties(ctx, pub, comment, pass);
  if (ctx.Db.FolderNameTaken(ctx.Member, f.Parent, name, f.Seq)) throw ERefused(kErrFolderNameTaken);
  f.Name = name;
  f.Comment = comment;
  f.Pub = pub;
  f.Pass = pass;
  ctx.Db.UpdateFolder(f);
  ctx.Echo(ctx.Reply(590), "Hdl");
}

// --- copies ------------------------------------------------------------------------------------

struct TCopier {
  TRequestContext& Ctx;
  bool FromFriend;
  bool ViewerAdult;
  double Now;
  std::int32_t Term;
  int Folders = 0;

  void CopyFile(const TFileEntry& src, std::int32_t target) {
    if (Ctx.Db.FileNameTaken(Ctx.Member, target, src.Name)) throw ERefused(kErrFileNameTaken);
    TFileEntry copy = src;
    copy.UserSeq = Ctx.Member;
    copy.FolderSeq = target;
    copy.UpDate = Now;
    copy.Expire = Now + Term;
    Ctx.Db.AddFileEntry(copy);
  }

  void CopyFolder(const TFolder& src, std::int32_t target, int depth) {
    if (depth > kMaxFolderDepth) throw ERefused(kErrWrongFolderInfo, "too deep");
    if (Ctx.Db.FolderNameTaken(Ctx.Member, target, src.Name)) throw ERefused(kErrFolderNameTaken);
    if (Ctx.Db.FolderCount(Ctx.Member) >= kMaxFoldersPerMember) throw ERefused(kErrFolderLimit);
    TFolder copy = src;
    copy.UserSeq = Ctx.Member;
    copy.Parent = target;
    if (FromFriend) {
      // Another member's folder becomes a private folder of the copier.
      copy.Pub = kPubPrivate;
      copy.Pass.clear();
    }
    const std::int32_t seq = Ctx.Db.AddFolder(copy);
    for (const TFileEntry& file : Ctx.Db.FilesIn(src.UserSeq, src.Seq)) CopyFile(file, seq);
    for (const TFolder& child : Ctx.Db.ChildFolders(src.UserSeq, src.Seq)) {
      if (FromFriend && child.Pub == kPubAdult && !ViewerAdult) continue;
      CopyFolder(child, seq, depth + 1);
    }
  }
};

void CopyItems(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("TUser"));
  const std::int32_t target = ctx.Int("TSeq");
  const std::int32_t source = ctx.Int("SUser");
  RequireOwnParent(ctx, target);
  const TMember me = ctx.Me();
  const bool fromFriend = source != ctx.Member;
  if (fromFriend) RequireFriend(ctx.Db, ctx.Member, source);
  TCopier copier{ctx, fromFriend, me.Adult, NowDays(), me.Term};
  // T, TUser, TSeq, SUser, THdl, then (K, S, O) triples
  if ((ctx.Count() - 5) % 3 != 0) throw ERefused(kErrInvalidRequest, "bad item list");
  const int depthOfTarget = DepthOf(ctx.Db, target);
  for (int i = 5; i + 2 < ctx.Count(); i += 3) {
    const std::int32_t kind = ctx.PosInt(i);
    const std::int32_t seq = ctx.PosInt(i + 1);
    if (kind == 0) {
      auto f = ctx.Db.Folder(seq);
      if (!f || f->UserSeq != source) throw ERefused(kErrNoFolder);
      if (fromFriend) {
        bool adult = false;
        if (!FriendCanSee(ctx.Db, *f, me.Adult, &adult))
          throw ERefused(adult ? kErrAdultFolder : kErrNoFolder);
      } else if (target != kTopSeq && ctx.Db.IsInside(target, f->Seq)) {
        throw ERefused(kErrWrongFolderInfo, "folder copied into itself");
      }
      copier.CopyFolder(*f, target, depthOfTarget + 1);
    } else if (kind == 1) {
      auto file = ctx.Db.File(seq);
      if (!file || file->UserSeq != source) throw ERefused(kErrNoFile);
      if (fromFriend) {
        auto holder = ctx.Db.Folder(file->FolderSeq);
        bool adult = false;
        if (!holder || !FriendCanSee(ctx.Db, *holder, me.Adult, &adult)) {
          throw ERefused(adult ? kErrAdultFolder : kErrNoFile);
        }
      }
      copier.CopyFile(*file, target);
    } else {
      throw ERefused(kErrInvalidRequest, "bad item kind");
    }
  }
  ctx.Echo(ctx.Reply(43), "THdl");
}

void FileDetails(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  const std::int32_t stored = ctx.Int("FileSeq");
  // The member must hold an entry of the stored file or see one in a friend's shared folder.
  auto& st = ctx.Db.Prepare("SELECT user_seq, folder_seq FROM files WHERE stored_seq = ?1");
  st.Bind(1, stored);
  std::vector<std::pair<std::int32_t, std::int32_t>> holders;
  while (st.Step())
    holders.emplace_back(static_cast<std::int32_t>(st.Int(0)), static_cast<std::int32_t>(st.Int(1)));
  st.Reset();
  const TMember me = ctx.Me();
  bool allowed = false;
  for (auto [owner, folder] : holders) {
    if (owner == ctx.Member) {
      allowed = true;
      break;
    }
    if (!ctx.Db.FriendEntry(ctx.Member, owner)) continue;
    auto f = ctx.Db.Folder(folder);
    if (f && FriendCanSee(ctx.Db, *f, me.Adult)) {
      allowed = true;
      break;
    }
  }
  if (!allowed) throw ERefused(kErrNoStoredFile);
  auto uploader = ctx.Db.StoredUploader(stored);
  auto who = uploader ? ctx.Db.MemberBySeq(*uploader) : std::nullopt;
  TDataParameter& r = ctx.Reply(270);
  r.AddInteger("DownByte", ctx.Db.StoredDownBytes(stored));
  r.AddString("User", who ? who->UserID : std::string());
}

void RegisterUpload(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  const std::int32_t root = ctx.Int("Root");
  RequireOwnParent(ctx, root);
  // T, UserSeq, Hdl, Root, then (name, index, parent index, "F", "", "") per folder
  if ((ctx.Count() - 4) % 6 != 0) throw ERefused(kErrInvalidRequest, "bad folder list");
  const int entries = (ctx.Count() - 4) / 6;
  if (entries > kMaxUploadFolders) throw ERefused(kErrUploadFolderLimit);
  struct TMade {
    std::int32_t Index, ParentIndex, Seq, ParentSeq;
  };
  std::vector<TMade> made;
  std::map<std::int32_t, std::int32_t> seqOfIndex;
  for (int i = 4; i + 5 < ctx.Count(); i += 6) {
    const std::string name = TrimBlanks(ctx.PosStr(i));
    const std::int32_t index = ctx.PosInt(i + 1);
    const std::int32_t parentIndex = ctx.PosInt(i + 2);
    CheckFolderName(name);
    std::int32_t parent;
    if (parentIndex == root) {
      parent = root;
    } else if (auto it = seqOfIndex.find(parentIndex); it != seqOfIndex.end()) {
      parent = it->second;
    } else {
      throw ERefused(kErrWrongFolderInfo, "parent entry not registered first");
    }
    if (seqOfIndex.count(index) || index == root) throw ERefused(kErrInvalidRequest, "index used twice");
    // An upload into a folder that already holds one of that name goes into the existing one.
    std::int32_t seq = 0;
    for (const TFolder& sibling : ctx.Db.ChildFolders(ctx.Member, parent)) {
      if (sibling.Name == name) seq = sibling.Seq;
    }
    if (seq == 0) {
      if (ctx.Db.FolderCount(ctx.Member) >= kMaxFoldersPerMember) throw ERefused(kErrFolderLimit);
      if (DepthOf(ctx.Db, parent) >= kMaxFolderDepth) throw ERefused(kErrWrongFolderInfo, "too deep");
      TFolder f;
      f.UserSeq = ctx.Member;
      f.Parent = parent;
      f.Name = name;
      f.Pub = kPubPrivate;
      seq = ctx.Db.AddFolder(f);
    }
    seqOfIndex[index] = seq;
    made.push_back({index, parentIndex, seq, parent});
  }
  TDataParameter& r = ctx.Reply(257);
  ctx.Echo(r, "Hdl");
  for (const TMade& m : made) {
    r.AddInteger("", m.Index);
    r.AddInteger("", m.ParentIndex);
    r.AddInteger("", m.Seq);
    r.AddInteger("", m.ParentSeq);
  }
}

}  // namespace

void RegisterFolderHandlers(THandlerRegistry& registry) {
  registry.Add({18, 19, "create folder", {"Hdl", "FF"}, CreateFolder});
  registry.Add({22, 23, "delete folder", {}, DeleteFolder});
  registry.Add({24, 25, "rename folder", {"Hdl", "FF"}, RenameFolder});
  registry.Add({26, 27, "move folder", {"SHdl", "THdl"}, MoveFolder});
  registry.Add({28, 29, "move items", {}, MoveItems});
  registry.Add({42, 43, "copy items", {"THdl"}, CopyItems});
  registry.Add({44, 45, "delete items", {}, DeleteItems});
  registry.Add({58, 59, "rename file", {"Hdl"}, RenameFile});
  registry.Add({61, 62, "change file info", {}, ChangeFileInfo});
  registry.Add({96, 97, "paste cut items", {}, PasteCutItems});
  registry.Add({256, 257, "register upload", {"Hdl"}, RegisterUpload});
  registry.Add({269, 270, "file details", {}, FileDetails});
  registry.Add({589, 590, "change folder info", {"Hdl"}, ChangeFolderInfo});
}

}  // namespace vantori::server
