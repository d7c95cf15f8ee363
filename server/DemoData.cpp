// The demo members of `--demo`: a member with coins and points, friends with shared folders
// (one protected by a password, one for adults, one nested several levels deep, one with a few
// thousand files) and files of varied sizes whose content is a fixed function of their number.

#include <iconv.h>

#include <fstream>
#include <stdexcept>
#include <vector>

#include "TReferenceServer.h"

namespace vantori::server {

namespace {

// UTF-8 source text to the cp949 bytes the wire carries.
std::string Cp949(const std::string& utf8) {
  iconv_t cd = iconv_open("CP949", "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1)) return utf8;
  std::string out(utf8.size() * 2 + 8, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* dst = out.data();
  std::size_t outLeft = out.size();
  const std::size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
  iconv_close(cd);
  if (rc == static_cast<std::size_t>(-1)) return utf8;
  out.resize(out.size() - outLeft);
  return out;
}

void WriteBlob(const TServerDb& db, std::int32_t stored, std::int64_t bytes) {
  std::ofstream out(db.BlobPath(stored), std::ios::binary | std::ios::trunc);
  std::vector<char> chunk(64 * 1024);
  std::int64_t offset = 0;
  while (offset < bytes) {
    const std::size_t n = static_cast<std::size_t>(std::min<std::int64_t>(bytes - offset, chunk.size()));
    for (std::size_t i = 0; i < n; ++i) {
      chunk[i] = static_cast<char>(DemoContentByte(stored, offset + static_cast<std::int64_t>(i)));
    }
    out.write(chunk.data(), static_cast<std::streamsize>(n));
    offset += static_cast<std::int64_t>(n);
  }
  if (!out) throw std::runtime_error("cannot write the demo blob " + db.BlobPath(stored).string());
}

struct TSeeder {
  TServerDb& Db;
  double Now = NowDays();

  std::int32_t Member(const std::string& id, const std::string& password, const std::string& name,
                      std::int64_t coins, std::int64_t points, bool adult) {
    TMember m;
    m.UserID = id;
    m.Name = Cp949(name);
    m.Coins = coins;
    m.Points = points;
    m.Adult = adult;
    return Db.AddMember(m, password);
  }

  std::int32_t Folder(std::int32_t owner, std::int32_t parent, const std::string& name, const char* pub,
                      const std::string& comment = {}, const std::string& pass = {}) {
    TFolder f;
    f.UserSeq = owner;
    f.Parent = parent;
    f.Name = Cp949(name);
    f.Pub = pub;
    f.Comment = Cp949(comment);
    f.Pass = pass;
    return Db.AddFolder(f);
  }

  std::int32_t File(std::int32_t owner, std::int32_t folder, const std::string& name, std::int64_t size,
                    int ageDays = 0, std::int64_t present = -1) {
    if (present < 0) present = size;
    const std::int32_t stored = Db.AddStoredFile(size, present, owner);
    WriteBlob(Db, stored, present);
    TFileEntry e;
    e.UserSeq = owner;
    e.FolderSeq = folder;
    e.StoredSeq = stored;
    e.UploaderSeq = owner;
    e.Name = Cp949(name);
    e.UpDate = Now - ageDays;
    e.Expire = e.UpDate + 30;
    return Db.AddFileEntry(e);
  }

  void Befriend(std::int32_t owner, std::int32_t other, std::int32_t group = kTopSeq) {
    auto m = Db.MemberBySeq(other);
    TFriend f;
    f.UserSeq = owner;
    f.FriendUserSeq = other;
    f.GroupSeq = group;
    f.Name = m ? m->Name : std::string();
    Db.AddFriend(f);
  }
};

}  // namespace

std::uint8_t DemoContentByte(std::int32_t storedSeq, std::int64_t offset) {
  const std::uint64_t x =
      static_cast<std::uint64_t>(offset) * 131u + static_cast<std::uint64_t>(storedSeq) * 7u;
  return static_cast<std::uint8_t>(x % 251u);
}

void SeedDemoData(TServerDb& db) {
  TSeeder s{db};
  const std::int32_t demo = s.Member("demo", "demo1234", "데모 회원", 5000, 20000, true);
  const std::int32_t alice = s.Member("alice", "alice1234", "앨리스", 1000, 500, true);
  const std::int32_t bob = s.Member("bob", "bob12345", "밥", 300, 100, false);
  const std::int32_t minor = s.Member("minor", "minor1234", "미성년", 100, 0, false);

  // demo's own folders
  const std::int32_t docs = s.Folder(demo, kTopSeq, "내 문서", kPubPrivate, "개인 문서");
  s.File(demo, docs, "readme.txt", 1200, 1);
  s.File(demo, docs, "보고서.hwp", 48 * 1024, 5);
  s.File(demo, docs, "empty.dat", 0, 2);
  const std::int32_t share = s.Folder(demo, kTopSeq, "Shared", kPubShared, "shared with friends");
  s.File(demo, share, "photo.jpg", 350 * 1024, 10);
  s.File(demo, share, "video.avi", 5 * 1024 * 1024 + 17, 25);
  s.File(demo, share, "partial.bin", 200 * 1024, 0, 64 * 1024);
  s.Folder(demo, share, "Sub", kPubShared);

  // alice: every kind of shared folder
  const std::int32_t photos = s.Folder(alice, kTopSeq, "Photos", kPubShared, "travel photos");
  for (int i = 1; i <= 12; ++i)
    s.File(alice, photos, "IMG_" + std::to_string(1000 + i) + ".jpg", 20000 + i * 7919, i);
  std::int32_t deep = s.Folder(alice, kTopSeq, "Deep", kPubShared, "nested several levels");
  for (int level = 1; level <= 6; ++level) {
    deep = s.Folder(alice, deep, "Level" + std::to_string(level), kPubShared);
    s.File(alice, deep, "level" + std::to_string(level) + ".txt", 100 * level);
  }
  const std::int32_t locked =
      s.Folder(alice, kTopSeq, "Locked", kPubShared, "password: open1234", "open1234");
  s.File(alice, locked, "secret.zip", 1024 * 1024 + 3);
  const std::int32_t adult = s.Folder(alice, kTopSeq, "Adult", kPubAdult, "adults only");
  s.File(alice, adult, "movie.mkv", 2 * 1024 * 1024);
  const std::int32_t big = s.Folder(alice, kTopSeq, "Big", kPubShared, "a few thousand files");
  for (int i = 0; i < 3000; ++i)
    s.File(alice, big, "file" + std::to_string(10000 + i) + ".dat", 64 + (i * 37) % 2000);
  const std::int32_t hidden = s.Folder(alice, kTopSeq, "Private", kPubPrivate, "not shared");
  s.File(alice, hidden, "diary.txt", 4096);

  // bob: a music folder, a private folder with a shared folder inside
  const std::int32_t music = s.Folder(bob, kTopSeq, "음악", kPubShared, "노래 모음");
  s.File(bob, music, "song1.mp3", 3 * 1024 * 1024 + 11);
  s.File(bob, music, "song2.mp3", 2 * 1024 * 1024 + 5);
  const std::int32_t bobPrivate = s.Folder(bob, kTopSeq, "Work", kPubPrivate);
  const std::int32_t bobShared = s.Folder(bob, bobPrivate, "Public Notes", kPubShared);
  s.File(bob, bobShared, "notes.txt", 777);

  // friends and groups
  const std::int32_t school = db.AddGroup({0, demo, kTopSeq, Cp949("학교 친구")});
  s.Befriend(demo, alice);
  s.Befriend(demo, bob, school);
  s.Befriend(alice, demo);
  s.Befriend(bob, demo);
  s.Befriend(minor, alice);

  TClub club;
  club.Name = Cp949("Vantori 데모 클럽");
  club.ClubID = "democlub";
  club.Text = Cp949("데모 클럽입니다");
  const std::int32_t clubSeq = db.AddClub(club);
  db.JoinClub(clubSeq, demo);
  db.JoinClub(clubSeq, alice);
}

}  // namespace vantori::server
