// Storage periods: the remaining-period query of a folder and the paid extension of files.

#include <set>

#include "ServerHandlers.h"

namespace vantori::server {

namespace {

constexpr std::int64_t kBytesPerUnit = 10LL * 1024 * 1024;  // one coin or point per 10 MB and day
constexpr int kMaxExtensionDays = 30;
constexpr int kNoMoreExtensionDays = 60;
constexpr int kMaxQueryDays = 365;

void QueryPeriod(TRequestContext& ctx) {
  ctx.Authorize(ctx.Int("UserSeq"));
  const std::int32_t limit = ctx.Int("Date");
  const std::int32_t seq = ctx.PosInt(3);
  if (limit < 0 || limit > kMaxQueryDays) throw ERefused(kErrInvalidRequest, "day limit out of range");
  if (seq <= 0) throw ERefused(kErrWrongFolderNumber);
  auto top = ctx.Db.Folder(seq);
  if (!top || top->UserSeq != ctx.Member) throw ERefused(kErrNoFolder);
  const double now = NowDays();
  for (const TFolder& f : ctx.Db.Subtree(seq)) {
    for (const TFileEntry& file : ctx.Db.FilesIn(ctx.Member, f.Seq)) {
      const std::int32_t days = RemainDays(file, now);
      if (days > limit) continue;
      TDataParameter& r = ctx.Reply(920);
      r.AddInteger("", ctx.Member);
      r.AddInteger("", seq);
      r.AddInteger("", f.Seq);
      r.AddString("", f.Name);
      r.AddInteger("", file.Seq);
      r.AddString("", file.Name);
      r.AddInteger("", file.Size);
      r.AddInteger("", file.CurSize);
      r.AddInteger("", file.FolderSeq);
      r.AddString("", "");
      r.AddString("", std::to_string(file.StoredSeq));
      r.AddInteger("", days);
      r.AddReal("", file.UpDate);
      r.AddReal("", file.Expire);
      r.AddInteger("", file.UserSeq);
      r.AddInteger("", file.UploaderSeq);
      r.AddString("", "0");
      r.AddInteger("", file.StoredSeq);
    }
  }
  ctx.Reply(918);
}

void Extend(TRequestContext& ctx) {
  // scrambled: member (10) and days (5), then UserSeq, CoinPay, IncDate and the items
  const std::string check = ctx.PosUnscrambled(1);
  ctx.Authorize(ctx.Int("UserSeq"));
  const bool coinPay = ctx.Bool("CoinPay");
  const std::int32_t days = ctx.Int("IncDate");
  if (check.size() < 11 || ParseDecimal(check.substr(0, 10)) != ctx.Member ||
      ParseDecimal(check.substr(10)) != days) {
    throw ERefused(kErrInvalidRequest, "extension check text does not match");
  }
  if (days < 1 || days > kMaxExtensionDays) throw ERefused(kErrExtensionDays);

  // Collect the member's own uploads among the items; copies are not extended.
  std::set<std::int32_t> seen;
  std::vector<TFileEntry> files;
  auto take = [&](const TFileEntry& f) {
    if (f.UserSeq == ctx.Member && f.UploaderSeq == ctx.Member && seen.insert(f.Seq).second)
      files.push_back(f);
  };
  int i = 5;
  while (i < ctx.Count()) {
    const std::int32_t kind = ctx.PosInt(i);
    if (kind == 1) {
      auto f = ctx.Db.File(ctx.PosInt(i + 1));
      ctx.PosInt(i + 2);
      ctx.PosInt64(i + 3);
      if (!f || f->UserSeq != ctx.Member) throw ERefused(kErrNoFile);
      take(*f);
      i += 4;
    } else if (kind == 0) {
      const std::int32_t seq = ctx.PosInt(i + 1);
      auto top = ctx.Db.Folder(seq);
      if (!top || top->UserSeq != ctx.Member) throw ERefused(kErrNoFolder);
      for (const TFolder& f : ctx.Db.Subtree(seq)) {
        for (const TFileEntry& file : ctx.Db.FilesIn(ctx.Member, f.Seq)) take(file);
      }
      i += 2;
    } else {
      throw ERefused(kErrInvalidRequest, "bad item kind");
    }
  }
  if (files.empty()) throw ERefused(kErrNoFile);
  const double now = NowDays();
  std::int64_t size = 0;
  for (const TFileEntry& f : files) {
    if (RemainDays(f, now) >= kNoMoreExtensionDays) throw ERefused(kErrExtensionOver60);
    size += f.CurSize;
  }
  const std::int64_t units = std::max<std::int64_t>(1, (size + kBytesPerUnit - 1) / kBytesPerUnit);
  const std::int64_t spend = units * days;
  TMember me = ctx.Me();
  const std::int64_t have = coinPay ? me.Coins : me.Points;
  if (have < spend) {
    TDataParameter& r = ctx.Replies.emplace_back();
    r.AddInteger("T", coinPay ? 895 : 896);
    r.AddBoolean("result", false);
    r.AddInteger("Size", size);
    r.AddInteger("IncDate", days);
    r.AddInteger("Spend", spend);
    ctx.Note = "not enough";
    return;
  }
  if (coinPay) {
    me.Coins -= spend;
  } else {
    me.Points -= spend;
  }
  ctx.Db.SetBalance(me.Seq, me.Coins, me.Points);
  ctx.Db.AddLedger(me.Seq, coinPay ? -spend : 0, coinPay ? 0 : -spend, "storage extension");
  for (TFileEntry f : files) {
    f.Expire = std::max(f.Expire, now) + days;
    ctx.Db.UpdateFileEntry(f);
  }
  TDataParameter& r = ctx.Reply(894);
  r.AddBoolean("CoinPay", coinPay);
  r.AddInteger("Spend", spend);
  r.AddInteger("Size", size);
  r.AddInteger("IncDate", days);
}

}  // namespace

void RegisterStorageHandlers(THandlerRegistry& registry) {
  registry.Add({917, 918, "query period", {}, QueryPeriod});
  registry.Add({893, 894, "extend storage", {}, Extend});
}

}  // namespace vantori::server
