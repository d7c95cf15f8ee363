#include "platform/UFolderPicker.h"

#include <mutex>

namespace vantori {

namespace {
std::mutex gPickerLock;
std::shared_ptr<TFolderPicker> gPicker;
}  // namespace

void SetFolderPicker(std::shared_ptr<TFolderPicker> picker) {
  std::lock_guard<std::mutex> lock(gPickerLock);
  gPicker = std::move(picker);
}

std::string BrowseForFolder(std::uintptr_t owner, const std::string& title) {
  std::shared_ptr<TFolderPicker> picker;
  {
    std::lock_guard<std::mutex> lock(gPickerLock);
    picker = gPicker;
  }
  return picker ? picker->Browse(owner, title) : std::string();
}

}  // namespace vantori
