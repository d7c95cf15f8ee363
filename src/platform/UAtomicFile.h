#pragma once
// Whole-file writes that never leave a broken file behind: the new content goes into
// a temporary file beside the target, is flushed and synced, and then renamed over
// the target. A crash or a failure at any point leaves either the old or the new
// content, never a mix or an empty file.

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vantori {

class EAtomicFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Replaces the content of path with data (mode 0600 for a new file, the old mode
// otherwise). Raises EAtomicFileError on any failure; the old content stays.
void WriteFileAtomically(const std::string& path, std::string_view data);

// Reads a whole file; false when it does not exist or cannot be read.
bool ReadWholeFile(const std::string& path, std::string& data);

// Tests only: replaces the rename step. The hook gets the temporary and the target
// path and returns 0 or -1 with errno set, like rename(2). An empty hook restores
// the real rename.
using TRenameHook = std::function<int(const std::string& from, const std::string& to)>;
void SetRenameHookForTesting(TRenameHook hook);

}  // namespace vantori
