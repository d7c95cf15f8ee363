#pragma once
// The system's folder picker, limited to file-system folders. The display-free core
// only asks; the user interface installs the picker that answers.

#include <cstdint>
#include <memory>
#include <string>

namespace vantori {

class TFolderPicker {
 public:
  virtual ~TFolderPicker() = default;
  // The chosen folder, or "" when the user cancels. owner is the native handle of
  // the window the picker belongs to (0 for none).
  virtual std::string Browse(std::uintptr_t owner, const std::string& title) = 0;
};

// Installs the picker BrowseForFolder uses (nullptr removes it).
void SetFolderPicker(std::shared_ptr<TFolderPicker> picker);
// Asks the installed picker; "" when none is installed or the user cancels.
std::string BrowseForFolder(std::uintptr_t owner, const std::string& title);

}  // namespace vantori
