#include "settings/USavePass.h"

#include "platform/UPaths.h"
#include "settings/UFunction.h"

namespace vantori {

namespace {

constexpr char kSection[] = "SP";
constexpr TCountedTextBounds kEntryBounds{2147483647u, 2147483647u, 2147483647u};

std::string KeyFor(std::size_t index) {
  return "PS" + std::to_string(index);
}

}  // namespace

TPassData::TPassData(std::string path)
    : FFile(std::make_unique<TIniFile>(path.empty() ? DataRoot() + PassFilePath : std::move(path))) {
  // Every entry that was written loads again: there is no count limit on either side.
  for (std::size_t i = 0;; ++i) {
    const std::string key = KeyFor(i);
    if (!FFile->ValueExists(kSection, key)) break;
    std::vector<std::uint8_t> bytes;
    TPassItem item;
    if (FFile->ReadBinary(kSection, key, bytes)) item.Password = DecodeEntry(bytes);
    FItems.push_back(std::move(item));
  }
}

bool TPassData::Contains(const std::string& password) const {
  for (const TPassItem& item : FItems)
    if (item.Password == password) return true;
  return false;
}

void TPassData::Remember(const std::string& password) {
  if (Contains(password)) return;
  const std::size_t index = FItems.size();
  FFile->WriteBinary(kSection, KeyFor(index), EncodeEntry(password));
  FItems.push_back(TPassItem{password});
}

std::vector<std::uint8_t> TPassData::EncodeEntry(const std::string& password) {
  return EncodeCountedText(password, kEntryBounds);
}

std::string TPassData::DecodeEntry(const std::vector<std::uint8_t>& entry) {
  std::string out;
  if (!DecodeCountedText(entry.data(), entry.size(), out)) out.clear();
  return out;
}

}  // namespace vantori
