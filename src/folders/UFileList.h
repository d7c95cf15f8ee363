#pragma once
// The file lists beside the folder trees as models: TMyListView for my folders and
// TFriendListView for the friend tree.
//
// A list owns its items and the record of every row (Rows), keeps the image index of
// each file type met so far (Icons) and its sort state. The main window's views show a
// list through its change notifications. Everything runs on the user-interface thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "folders/UClientItems.h"

namespace vantori {

// Column captions and texts (cp949).
extern const char kColumnNameCaption[];
extern const char kColumnSizeCaption[];
extern const char kColumnDaysCaption[];
extern const char kColumnCommentCaption[];
extern const char kAscendingMarker[];   // " ▲"
extern const char kDescendingMarker[];  // " ▼"
extern const char kDaysSuffix[];        // " 일"

// Column widths and count.
inline constexpr int kListColumnCount = 4;
inline constexpr int kListColumnWidths[kListColumnCount] = {200, 140, 70, 115};

// Image indexes of the lists' built-in images; file-type icons follow them.
enum TListImage : int {
  liFolder = 0,
  liFolderOpen = 1,
  liSharedFolder = 2,
  liSingleUser = 4,
  liUserGroup = 5,
  liUpFolder = 6,
  liFriends = 7,
  liGoHome = 8,
  liAdultFolder = 9,
  liMyFolder = 10,
  liProgramIcon = 11,
  liPasswordFolder = 12,
  liAdultPasswordFolder = 14,
  liBuiltInCount = 16,
};

// The built-in images in order: the resource name and the label entered in Icons ("" for
// the program icon, which gets no entry).
struct TBuiltInImage {
  const char* Resource;
  const char* Label;
};
extern const TBuiltInImage kListBuiltInImages[liBuiltInCount];

// The list image of a folder row: 0, "T" 2 (0 in the friend list), "A" 9, a password 12,
// "A" with a password 14.
int FolderRowImage(std::string_view pub, bool hasPassword, bool friendList);

// The size column of a file row: the size and, in parentheses, the stored size.
ByteString SizeColumnText(std::int64_t size, std::int64_t curSize);
// The days column: the number, a blank and "일".
ByteString DaysColumnText(std::int32_t days);

// Colours (0xRRGGBB) of a row's texts; Default keeps the list's own colour.
struct TRowColors {
  static constexpr std::uint32_t Default = 0xFFFFFFFFu;
  std::uint32_t Caption = Default;
  std::uint32_t Size = Default;
  std::uint32_t Days = Default;
};
inline constexpr std::uint32_t RGB(int r, int g, int b) {
  return (static_cast<std::uint32_t>(r & 0xFF) << 16) | (static_cast<std::uint32_t>(g & 0xFF) << 8) |
         static_cast<std::uint32_t>(b & 0xFF);
}
// The background of a selected item in a list without focus.
inline constexpr std::uint32_t kUnfocusedSelectionColor = RGB(255, 200, 255);
// The colours of a row; basicPeriod is the configuration's basic storage period in days.
TRowColors RowColors(const TFFItem& row, std::int32_t basicPeriod);
// The days colour alone: blue for a fresh file, red near the end of its period.
std::uint32_t DaysColor(std::int32_t remainDays, std::int32_t basicPeriod);

class TListItem {
 public:
  ByteString Caption;
  ByteString SubItems[3];  // size, days, comment
  int ImageIndex = 0;
  bool Selected = false;
  TFFItem* Data = nullptr;  // the row's record, owned by the list's Rows
};

class TKXListView {
 public:
  TKXListView();
  TKXListView(const TKXListView&) = delete;
  TKXListView& operator=(const TKXListView&) = delete;
  virtual ~TKXListView();

  TFFItems Rows;
  TImageItems Icons;
  std::int32_t OwnerSeq = 0;
  int SortColumn = 0;
  bool Ascending = true;
  // Report (detailed) style; false is the simple list style.
  bool ReportStyle = true;
  bool ReadOnly = false;

  // ---- Change notifications (as the trees')
  std::function<void()> OnBeginChange;
  std::function<void()> OnEndChange;
  void BeginChange();
  void EndChange();

  // The image of a file type the list has not met yet: the view appends the system's small
  // icon of a file named "*" + extension and returns its index. Without it the next free
  // index is used.
  std::function<int(const ByteString& extension)> OnNewIcon;
  int ImageCount() const { return FImageCount; }

  // ---- Items
  int Count() const { return static_cast<int>(FItems.size()); }
  TListItem* Item(int index) const { return FItems.at(static_cast<std::size_t>(index)).get(); }
  // Appends an item with a new row record.
  TListItem* AddItem(std::string_view caption, std::string_view size, std::string_view days,
                     std::string_view comment, int image, TFFItem** row = nullptr);
  TListItem* ItemOfRow(const TFFItem* row) const;
  // The row of a handle that travelled with a request, when it still belongs to this list.
  TFFItem* RowOfHandle(std::int64_t handle) const;
  std::vector<TListItem*> SelectedItems() const;

  virtual void ClearRows();
  virtual void AddUpRow();
  virtual void LoadImages();
  int FileIcon(std::string_view fileName);
  void RefreshImage(TListItem* item);
  void DeleteRow(TListItem* item);

  // ---- Sorting
  void Sort(int column);
  // A click on a column header: toggles the direction on the sort column, else takes the
  // column keeping the direction; column 3 does nothing.
  void ColumnClick(int column);
  ByteString ColumnCaption(int column) const;
  // The ordering of every sort, a strict weak ordering: the club home, "..", friend groups,
  // folders and the other rows, files; within one of these by the sort column's key in
  // the sort direction.
  bool ItemLess(const TListItem& a, const TListItem& b) const;
  // Column 0 width in list style from the widest caption (pixel width of a text given).
  int FitListColumn(const std::function<int(const ByteString&)>& textWidth) const;

  // ---- Checks of the paste commands
  bool HasFileNamed(const TFFItems& buffer) const;
  bool HasFolderNamed(const TFFItems& buffer) const;
  bool SameParent(const TFFItems& buffer, std::int32_t seq) const;

 private:
  std::vector<std::unique_ptr<TListItem>> FItems;
  int FImageCount = 0;
  int FChangeDepth = 0;
};

class TMyListView : public TKXListView {
 public:
  // Appends the "내 폴더" row.
  void AddMyFoldersRow();
  // Paths dropped from the desktop, in order.
  std::function<void(TMyListView& sender, const std::vector<ByteString>& paths)> OnFilesDropped;
  void DropFiles(const std::vector<ByteString>& paths);
};

class TFriendListView : public TKXListView {
 public:
  TFriendListView() { ReadOnly = true; }
};

class TListChange {
 public:
  explicit TListChange(TKXListView& list) : FList(list) { FList.BeginChange(); }
  ~TListChange() { FList.EndChange(); }
  TListChange(const TListChange&) = delete;
  TListChange& operator=(const TListChange&) = delete;

 private:
  TKXListView& FList;
};

}  // namespace vantori
