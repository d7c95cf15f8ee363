#include "folders/UFileList.h"

#include <algorithm>
#include <tuple>

#include "folders/UFolderTree.h"
#include "settings/UFunction.h"

namespace vantori {

const char kColumnNameCaption[] = "\xC6\xC4\xC0\xCF(\xC6\xFA\xB4\xF5)\xB8\xED";
const char kColumnSizeCaption[] = "\xC6\xC4\xC0\xCF\xC5\xA9\xB1\xE2(\xC7\xF6\xC0\xE7\xC5\xA9\xB1\xE2)";
const char kColumnDaysCaption[] = "\xB3\xB2\xC0\xBA\xB1\xE2\xB0\xA3";
const char kColumnCommentCaption[] = "\xC6\xFA\xB4\xF5(\xC6\xC4\xC0\xCF) \xBC\xB3\xB8\xED";
const char kAscendingMarker[] = " \xA1\xE3";
const char kDescendingMarker[] = " \xA1\xE5";
const char kDaysSuffix[] = " \xC0\xCF";

const TBuiltInImage kListBuiltInImages[liBuiltInCount] = {
    {"FOLDERCLOSE", "Folder Close"},
    {"FOLDEROPEN", "Folder Open"},
    {"PUBFOLDERCLOSE", "PubFolder Close"},
    {"PUBFOLDEROPEN", "PubFolder Open"},
    {"SINGLEUSER", "Single User"},
    {"CHATTAB_ENABLE", "User Group"},
    {"UPFOLDER", "Up Folder"},
    {"FRIENDS", "Friends"},
    {"GOHOME", "GoHome"},
    {"ADCLOSE", "ADClose"},
    {"DISK", "MyFolder"},
    {"", ""},
    {"FPWDCLOSE", "FPWDCLOSE"},
    {"FPWDOPEN", "FPWDOPEN"},
    {"FADPWDCLOSE", "FADPWDCLOSE"},
    {"FADPWDOPEN", "FADPWDOPEN"},
};

int FolderRowImage(std::string_view pub, bool hasPassword, bool friendList) {
  const bool adult = pub == kPubAdult;
  if (adult && hasPassword) return liAdultPasswordFolder;
  if (hasPassword) return liPasswordFolder;
  if (adult) return liAdultFolder;
  if (pub == kPubShared && !friendList) return liSharedFolder;
  return liFolder;
}

ByteString SizeColumnText(std::int64_t size, std::int64_t curSize) {
  return FormatSize(size) + "(" + FormatSize(curSize) + ")";
}

ByteString DaysColumnText(std::int32_t days) {
  return std::to_string(days) + kDaysSuffix;
}

std::uint32_t DaysColor(std::int32_t remainDays, std::int32_t basicPeriod) {
  if (remainDays > basicPeriod) return RGB(10, 10, 200);
  // A basic period of 0 or less has no scale: the file counts as at its end. An expired
  // file (negative days) is drawn as one at its end instead of wrapping round.
  if (basicPeriod <= 0) return RGB(255, 0, 0);
  const std::int32_t d = std::max(remainDays, 0);
  const int c = static_cast<int>(static_cast<std::uint8_t>((250 / basicPeriod) * d));
  return RGB(255 - c, 0, c);
}

TRowColors RowColors(const TFFItem& row, std::int32_t basicPeriod) {
  TRowColors colors;
  switch (row.Kind) {
    case nkFolder:
    case nkFriend:
    case nkFriendGroup:
    case nkClubsRoot:
    case nkClub:
    case nkClubHome:
      return colors;
    default:
      break;
  }
  const bool complete = row.CurSize == row.Size;
  if (complete)
    colors.Caption = row.UploaderSeq == row.UserSeq ? RGB(0, 0, 0) : RGB(0, 0, 200);
  else
    colors.Caption = RGB(200, 0, 0);
  colors.Size = complete ? RGB(0, 0, 150) : RGB(200, 0, 0);
  colors.Days = DaysColor(row.RemainDays, basicPeriod);
  return colors;
}

// ---- TKXListView ------------------------------------------------------------------------------

TKXListView::TKXListView() = default;
TKXListView::~TKXListView() = default;

void TKXListView::BeginChange() {
  if (FChangeDepth++ == 0 && OnBeginChange) OnBeginChange();
}

void TKXListView::EndChange() {
  if (FChangeDepth > 0 && --FChangeDepth == 0 && OnEndChange) OnEndChange();
}

TListItem* TKXListView::AddItem(std::string_view caption, std::string_view size, std::string_view days,
                                std::string_view comment, int image, TFFItem** row) {
  TListChange change(*this);
  auto item = std::make_unique<TListItem>();
  item->Caption = ByteString(caption);
  item->SubItems[0] = ByteString(size);
  item->SubItems[1] = ByteString(days);
  item->SubItems[2] = ByteString(comment);
  item->ImageIndex = image;
  item->Data = Rows.Add();
  if (row) *row = item->Data;
  FItems.push_back(std::move(item));
  return FItems.back().get();
}

TListItem* TKXListView::ItemOfRow(const TFFItem* row) const {
  if (!row) return nullptr;
  for (const auto& item : FItems)
    if (item->Data == row) return item.get();
  return nullptr;
}

TFFItem* TKXListView::RowOfHandle(std::int64_t handle) const {
  auto* row = FindHandle<TFFItem>(handle);
  if (!row || Rows.IndexOf(row) < 0) return nullptr;
  return row;
}

std::vector<TListItem*> TKXListView::SelectedItems() const {
  std::vector<TListItem*> result;
  for (const auto& item : FItems)
    if (item->Selected) result.push_back(item.get());
  return result;
}

void TKXListView::ClearRows() {
  TListChange change(*this);
  FItems.clear();
  Rows.Clear();
}

void TKXListView::AddUpRow() {
  TFFItem* row = nullptr;
  AddItem("..", "", "", "", liUpFolder, &row);
  row->Kind = nkParentRow;
}

void TKXListView::LoadImages() {
  Icons.Clear();
  for (int i = 0; i < liBuiltInCount; ++i) {
    if (!*kListBuiltInImages[i].Label) continue;
    TImageItem* entry = Icons.Add();
    entry->Extension = kListBuiltInImages[i].Label;
    entry->ImageIndex = i;
  }
  FImageCount = liBuiltInCount;
}

int TKXListView::FileIcon(std::string_view fileName) {
  ByteString ext;
  const std::size_t dot = fileName.find_last_of('.');
  const std::size_t sep = fileName.find_last_of("\\/:");
  if (dot != std::string_view::npos && (sep == std::string_view::npos || dot > sep))
    ext = fileName.substr(dot);
  if (const TImageItem* found = Icons.Find(ext)) return found->ImageIndex;
  int index = OnNewIcon ? OnNewIcon(ext) : FImageCount;
  FImageCount = std::max(FImageCount, index + 1);
  TImageItem* entry = Icons.Add();
  entry->Kind = 1;
  entry->Extension = ext;
  entry->ImageIndex = index;
  return index;
}

void TKXListView::RefreshImage(TListItem* item) {
  if (!item || !item->Data) return;
  TListChange change(*this);
  item->ImageIndex = item->Data->Kind == nkFolder ? liFolder : FileIcon(item->Data->FileName);
}

void TKXListView::DeleteRow(TListItem* item) {
  if (!item) return;
  TListChange change(*this);
  auto it = std::find_if(FItems.begin(), FItems.end(), [item](const auto& p) { return p.get() == item; });
  if (it == FItems.end()) return;
  if (item->Data) Rows.Remove(item->Data);
  FItems.erase(it);
}

namespace {

int KindRank(const TFFItem* row) {
  if (!row) return 5;
  switch (row->Kind) {
    case nkClubHome:
      return 0;
    case nkParentRow:
      return 1;
    case nkFriendGroup:
      return 2;
    case nkFile:
      return 4;
    default:
      return 3;
  }
}

}  // namespace

bool TKXListView::ItemLess(const TListItem& a, const TListItem& b) const {
  const int ra = KindRank(a.Data), rb = KindRank(b.Data);
  if (ra != rb) return ra < rb;
  if (!a.Data || !b.Data) return false;
  int cmp = 0;
  if (SortColumn == 0) {
    cmp = CompareCaption(a.Caption, b.Caption);
  } else {
    // Folders have no size or days of their own: equal to each other in those columns.
    auto key = [this](const TFFItem& r) -> std::int64_t {
      if (r.Kind == nkFolder) return 0;
      return SortColumn == 1 ? r.Size : r.RemainDays;
    };
    const std::int64_t ka = key(*a.Data), kb = key(*b.Data);
    cmp = ka < kb ? -1 : (ka > kb ? 1 : 0);
  }
  if (!Ascending) cmp = -cmp;
  return cmp < 0;
}

void TKXListView::Sort(int column) {
  if (column == 3 || column < 0 || column >= kListColumnCount) return;
  TListChange change(*this);
  SortColumn = column;
  std::stable_sort(FItems.begin(), FItems.end(),
                   [this](const auto& x, const auto& y) { return ItemLess(*x, *y); });
}

void TKXListView::ColumnClick(int column) {
  if (column == 3 || column < 0 || column >= kListColumnCount) return;
  if (column == SortColumn)
    Ascending = !Ascending;
  else
    SortColumn = column;
  Sort(SortColumn);
}

ByteString TKXListView::ColumnCaption(int column) const {
  static const char* const captions[kListColumnCount] = {kColumnNameCaption, kColumnSizeCaption,
                                                         kColumnDaysCaption, kColumnCommentCaption};
  if (column < 0 || column >= kListColumnCount) return ByteString();
  ByteString text = captions[column];
  if (column == SortColumn && column != 3) text += Ascending ? kAscendingMarker : kDescendingMarker;
  return text;
}

int TKXListView::FitListColumn(const std::function<int(const ByteString&)>& textWidth) const {
  int widest = 0;
  for (const auto& item : FItems) widest = std::max(widest, textWidth(item->Caption));
  return widest + 30;
}

bool TKXListView::HasFileNamed(const TFFItems& buffer) const {
  for (const auto& item : FItems) {
    if (!item->Data || item->Data->Kind != nkFile) continue;
    for (const auto& b : buffer)
      if (b->Kind == nkFile && b->FileName == item->Caption) return true;
  }
  return false;
}

bool TKXListView::HasFolderNamed(const TFFItems& buffer) const {
  for (const auto& item : FItems) {
    if (!item->Data || item->Data->Kind != nkFolder) continue;
    for (const auto& b : buffer)
      if (b->Kind == nkFolder && b->FolderName == item->Caption) return true;
  }
  return false;
}

bool TKXListView::SameParent(const TFFItems& buffer, std::int32_t seq) const {
  for (const auto& b : buffer) {
    if (b->UserSeq != OwnerSeq) break;
    if (b->Kind == nkFile && b->FolderSeq == seq) return true;
    if (b->Kind == nkFolder && b->ParentSeq == seq) return true;
  }
  return false;
}

// ---- TMyListView --------------------------------------------------------------------------------

void TMyListView::AddMyFoldersRow() {
  TFFItem* row = nullptr;
  AddItem(kMyFoldersCaption, "", "", "", liMyFolder, &row);
  row->Kind = nkMyFoldersRoot;
  row->FolderSeq = -1;
}

void TMyListView::DropFiles(const std::vector<ByteString>& paths) {
  if (paths.empty() || !OnFilesDropped) return;
  OnFilesDropped(*this, paths);
}

}  // namespace vantori
