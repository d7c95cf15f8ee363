#pragma once
// Whether a local file may be resumed, and the small record that says which queue item a
// local file belongs to.
//
// The protocol gives a download nothing to compare a local file with but the item's identity
// (file number, stored-file number) and its size. So every download folder keeps a hidden
// index, ".vantori-downloads", with one line per file the engine has written there: its name,
// the item's identity and total size, whether it is partial or complete and, once complete,
// the file's size and modification time. A local file is resumed, or called done, only when
// its line says it belongs to the same item; any other file of the same name is left alone
// and the download goes to a free sibling name ("name (1).ext").

#include <cstdint>
#include <optional>
#include <string>

namespace vantori {

inline constexpr char kDownIndexName[] = ".vantori-downloads";

struct TDownMark {
  std::int32_t FileSeq = 0;
  std::int32_t StoredFileSeq = 0;
  std::int64_t TotalSize = 0;
  bool Complete = false;
  std::int64_t Size = 0;  // complete only: the file's size and modification time then
  std::int64_t MtimeNs = 0;
};

// The line of a local file in its folder's index (folder: with or without trailing '/').
std::optional<TDownMark> LoadDownMark(const std::string& folder, const std::string& localName);
// Adds or replaces the line; the index is written atomically. False when it cannot be written.
bool SaveDownMark(const std::string& folder, const std::string& localName, const TDownMark& mark);
bool EraseDownMark(const std::string& folder, const std::string& localName);
// The complete mark of a file as it is now on disk.
bool MarkComplete(const std::string& path, TDownMark& mark);

enum class TResumeAction {
  Fresh,        // start at 0 (the file is created or truncated)
  Resume,       // append from the local size
  AlreadyDone,  // the local file is this item's complete download
  Rename,       // a foreign file has the name: download to a free sibling name from 0
};

struct TResumeInput {
  bool Exists = false;
  std::int64_t LocalSize = 0;
  std::int64_t LocalMtimeNs = 0;
  std::optional<TDownMark> Mark;
  std::int32_t FileSeq = 0;
  std::int32_t StoredFileSeq = 0;
  std::int64_t TotalSize = 0;
  bool Overwrite = false;  // the user chose to overwrite (applies to waiting items)
};

TResumeAction DecideResume(const TResumeInput& in);

// Gathers the input for a local path from the disk and its folder's index.
TResumeInput ResumeInputFor(const std::string& path, std::int32_t fileSeq, std::int32_t storedFileSeq,
                            std::int64_t totalSize, bool overwrite);

}  // namespace vantori
