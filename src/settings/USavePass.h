#pragma once
// The remembered passwords of other members' folders, kept in "kxsp.dat" (section
// "SP", keys "PS0", "PS1", ..., each value the hex text of an encoded entry). Only
// passwords are kept, not which folder they open.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/UIniFile.h"

namespace vantori {

struct TPassItem {
  std::string Password;  // cp949 bytes; empty for an entry that could not be read
};

class TPassData {
 public:
  // Opens path (DataRoot() + "/kxsp.dat" when empty) and loads "PS0", "PS1", ...
  // up to the first missing key. A missing file is an empty store.
  explicit TPassData(std::string path = std::string());

  bool Contains(const std::string& password) const;
  // Adds the password and writes it at once under "PS" + its position; nothing when
  // it is already there. Raises EIniError when the file cannot be written, and the
  // password is then not remembered (so that no later entry lands behind a gap).
  void Remember(const std::string& password);

  std::size_t Count() const { return FItems.size(); }
  const TPassItem& Items(std::size_t index) const { return FItems.at(index); }
  const std::string& FileName() const { return FFile->FileName(); }

  // An entry's stored form and back; Decode gives "" for a damaged entry.
  static std::vector<std::uint8_t> EncodeEntry(const std::string& password);
  static std::string DecodeEntry(const std::vector<std::uint8_t>& entry);

 private:
  std::unique_ptr<TIniFile> FFile;
  std::vector<TPassItem> FItems;
};

}  // namespace vantori
