// The main server's side of the transfers: download preparation and its completion notice,
// and the registration of uploads. The data themselves go through the storage servers
// (StorageServer.h), which serve what the tickets issued here name.

#include <chrono>

#include "ServerHandlers.h"
#include "StorageServer.h"
#include "settings/UFileChecksum.h"
#include "transfers/UTransferRecords.h"

namespace vantori::server {

namespace {

constexpr std::int32_t kErrNoCoinsForDownload = 21022;

std::uint32_t Tick() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::string StorageHost(const TRequestContext& ctx) {
  return ctx.Settings.AdvertisedHost.empty() ? ctx.Conn.LocalAddress : ctx.Settings.AdvertisedHost;
}

// A member may download files of their own and files a friend shares with them.
void RequireDownloadable(TRequestContext& ctx, const TMember& me, const TFileEntry& file) {
  if (file.UserSeq == ctx.Member) return;
  RequireFriend(ctx.Db, ctx.Member, file.UserSeq);
  const auto folder = ctx.Db.Folder(file.FolderSeq);
  if (!folder || !FriendCanSee(ctx.Db, *folder, me.Adult)) throw ERefused(kErrNoFile, "not shared");
}

void PrepareDownload(TRequestContext& ctx) {
  const TParamDef* d = ctx.Req.FindParam("D");
  const auto rec = d ? TDownPrepareRecord::Unpack(d->Data()) : std::nullopt;
  if (!rec) throw ERefused(kErrInvalidRequest, "no preparation record");
  ctx.Authorize(rec->UserSeq);
  const TMember me = ctx.Me();
  const auto file = ctx.Db.File(rec->FileSeq);
  if (!file || file->StoredSeq != rec->StoredFileSeq || file->UserSeq != rec->OwnerSeq)
    throw ERefused(kErrNoFile);
  RequireDownloadable(ctx, me, *file);
  if (file->CurSize != file->Size) throw ERefused(kErrFileDataMissing, "incomplete on the server");
  const bool ownUpload = file->UploaderSeq == ctx.Member;
  const bool free = ownUpload || me.FreeDownload || me.CreditEnd > NowDays();
  if (!free && me.Coins < 1) throw ERefused(kErrNoCoinsForDownload);

  TTransferTicket ticket;
  ticket.Member = ctx.Member;
  ticket.UserID = me.UserID;
  ticket.FileSeq = file->Seq;
  ticket.StoredSeq = file->StoredSeq;
  ticket.Size = file->Size;
  TDownPrepareReplyRecord reply;
  reply.UserSeq = ctx.Member;
  reply.ServerAddress = StorageHost(ctx);
  reply.Locator1 = TTicketBook::For(ctx.Db).Issue(ticket);
  reply.Locator2 = "s" + std::to_string(file->StoredSeq);
  reply.CoinUnit = me.Unit > 0 ? me.Unit : 1;
  reply.FreeOwnFile = 1;  // a member's own uploads cost nothing
  reply.Tick = rec->Tick;
  TDataParameter& r = ctx.Reply(msg::kDownPrepareReply);
  const Bytes bytes = reply.Pack();
  r.AddEncript("D", bytes, Tick());
  ctx.Note = "file " + std::to_string(file->Seq);
}

void DownloadEnded(TRequestContext& ctx) {
  const TParamDef* d = ctx.Req.FindParam("D");
  const auto rec = d ? TDownEndedRecord::Unpack(d->Data()) : std::nullopt;
  if (!rec) throw ERefused(kErrInvalidRequest, "no completion record");
  ctx.Authorize(rec->UserSeq);
  ctx.Note = "file " + std::to_string(rec->FileSeq) + ", " + std::to_string(rec->ConnectionBytes) + " bytes";
  ctx.Reply(msg::kDownEndedReply);
}

void RegisterUploadFile(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("User"));
  const TMember me = ctx.Me();
  const std::string name = TrimBlanks(ctx.Str("Name"));
  const std::int32_t folderSeq = ctx.Int("Folder");
  const std::int64_t size = ctx.Int64("Size");
  const std::int64_t parit = ctx.Int64("Parit");
  if (!ValidItemName(name)) throw ERefused(kErrInvalidRequest, "bad file name");
  if (size <= 0) throw ERefused(kErrInvalidRequest, "empty file");
  if (folderSeq != kTopSeq) {
    const auto folder = ctx.Db.Folder(folderSeq);
    if (!folder || folder->UserSeq != ctx.Member) throw ERefused(kErrNoFolder);
  }

  // The same file again (a retry, or a resumed upload) goes on where it stopped; any other file
  // of that name is refused.
  std::optional<TFileEntry> existing;
  for (const TFileEntry& f : ctx.Db.FilesIn(ctx.Member, folderSeq))
    if (f.Name == name) existing = f;
  std::int32_t fileSeq, storedSeq;
  std::int64_t held = 0;
  bool find = false;
  if (existing) {
    if (existing->Size != size || existing->UploaderSeq != ctx.Member) throw ERefused(kErrFileNameTaken);
    fileSeq = existing->Seq;
    storedSeq = existing->StoredSeq;
    std::error_code ec;
    const auto onDisk = std::filesystem::file_size(ctx.Db.BlobPath(storedSeq), ec);
    held = ec ? 0 : std::min<std::int64_t>(static_cast<std::int64_t>(onDisk), size);
    if (held == size && existing->CurSize == size) {
      // Held completely: only the same content counts as already there.
      std::int64_t stored = 0;
      try {
        stored = FileChecksum(ctx.Db.BlobPath(storedSeq).string());
      } catch (const std::exception&) {
        stored = parit + 1;
      }
      if (stored != parit) throw ERefused(kErrFileNameTaken, "another file of that name and size");
    }
    find = true;
  } else {
    if (me.UploadLimit > 0 && ctx.Db.UploadTotal(ctx.Member) + size > me.UploadLimit)
      throw ERefused(kErrInvalidRequest, "upload limit reached");
    storedSeq = ctx.Db.AddStoredFile(size, 0, ctx.Member);
    TFileEntry entry;
    entry.UserSeq = ctx.Member;
    entry.FolderSeq = folderSeq;
    entry.StoredSeq = storedSeq;
    entry.UploaderSeq = ctx.Member;
    entry.Name = name;
    entry.Size = size;
    entry.UpDate = NowDays();
    entry.Expire = entry.UpDate + me.Term;
    fileSeq = ctx.Db.AddFileEntry(entry);
  }

  TTransferTicket ticket;
  ticket.Member = ctx.Member;
  ticket.UserID = me.UserID;
  ticket.FileSeq = fileSeq;
  ticket.StoredSeq = storedSeq;
  ticket.Size = size;
  ticket.Upload = true;
  const std::string key = TTicketBook::For(ctx.Db).Issue(ticket);

  TDataParameter& r = ctx.Reply(msg::kUpRegisterReply);
  r.AddString("ComInfo", StorageHost(ctx));
  r.AddInteger("FileSeq", fileSeq);
  r.AddString("DirInfo", "up");
  r.AddInteger("CurrSize", held);
  r.AddString("RealName", key);
  r.AddBoolean("Find", find);
  ctx.Note =
      "file " + std::to_string(fileSeq) + " (" + std::to_string(held) + "/" + std::to_string(size) + ")";
}

}  // namespace

void RegisterTransferHandlers(THandlerRegistry& registry) {
  registry.Add({msg::kDownPrepare, msg::kDownPrepareReply, "prepare download", {}, PrepareDownload});
  registry.Add({msg::kDownEnded, msg::kDownEndedReply, "download ended", {}, DownloadEnded});
  registry.Add({msg::kUpRegister, msg::kUpRegisterReply, "register upload file", {}, RegisterUploadFile});
  registry.Add(
      {msg::kUpRegisterAdmin, msg::kUpRegisterReply, "register upload file (admin)", {}, RegisterUploadFile});
}

}  // namespace vantori::server
