#pragma once
// A small ini file ("[Section]" lines, "key=value" lines), kept in memory while the
// object lives and written through atomically on every change. Section and key names
// compare without regard to ASCII case; values are byte strings kept as they are
// (cp949), with blanks around them trimmed and one pair of surrounding double quotes
// removed on reading.

#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace vantori {

class EIniError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TIniFile {
 public:
  // Loads path; a missing file is an empty one (created by the first write).
  explicit TIniFile(std::string path);
  const std::string& FileName() const { return FPath; }

  bool SectionExists(const std::string& section) const;
  bool ValueExists(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key, const std::string& def) const;
  // A value written as hex text; false when missing or not hex.
  bool ReadBinary(const std::string& section, const std::string& key, std::vector<std::uint8_t>& out) const;
  std::vector<std::string> ReadSectionKeys(const std::string& section) const;

  // Raise EIniError when the file cannot be written (its old content stays) or the
  // text holds a line break.
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteBinary(const std::string& section, const std::string& key,
                   const std::vector<std::uint8_t>& value);
  void DeleteKey(const std::string& section, const std::string& key);

  // Re-reads the file, dropping what is in memory.
  void Reload();

 private:
  struct TSection {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Entries;
  };
  TSection* Find(const std::string& section);
  const TSection* Find(const std::string& section) const;
  void Save();

  std::string FPath;
  mutable std::mutex FLock;
  std::vector<TSection> FSections;
};

}  // namespace vantori
