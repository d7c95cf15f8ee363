#pragma once
// The per-user settings store: keys (paths like "Software\Orvane\VTRI\Config") holding
// typed, named values (String, Integer, Boolean, Binary). Key and value names compare
// without regard to ASCII case. The store is one readable text file under the
// configuration root; every change is written through at once (atomically) unless a
// batch is open.
//
// File layout, one key per section and one value a line:
//   [Software\Orvane\VTRI\Config]
//   "User ID" = String:"kim"
//   "User Seq" = Integer:12
//   "Save Password" = Boolean:false
//   "Password" = Binary:0A1B2C
// In quoted texts \\, \" and \xHH stand for one byte; other bytes are as stored (cp949).
// Lines that cannot be read are ignored.

#include <cstdint>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace vantori {

class ERegistryError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class TRegDataType { String, Integer, Boolean, Binary };

struct TRegValue {
  std::string Name;
  TRegDataType Type = TRegDataType::String;
  std::string Text;                  // String
  std::int32_t Int = 0;              // Integer, Boolean (0 or 1)
  std::vector<std::uint8_t> Binary;  // Binary
};

class TRegistryStore {
 public:
  // Opens (loads) the store at path; a missing file is an empty store.
  explicit TRegistryStore(std::string path = DefaultPath());
  ~TRegistryStore();
  TRegistryStore(const TRegistryStore&) = delete;
  TRegistryStore& operator=(const TRegistryStore&) = delete;

  // ConfigRoot() + "/registry.txt".
  static std::string DefaultPath();
  const std::string& Path() const { return FPath; }

  bool KeyExists(const std::string& key) const;
  // Creates the key (and writes it through) when missing.
  void CreateKey(const std::string& key);

  bool ValueExists(const std::string& key, const std::string& name) const;
  std::optional<TRegDataType> GetDataType(const std::string& key, const std::string& name) const;

  // Reads raise ERegistryError when the value is missing or of another type.
  // Integer and Boolean values read as each other (a Boolean is a number 0 or 1).
  std::string ReadString(const std::string& key, const std::string& name) const;
  std::int32_t ReadInteger(const std::string& key, const std::string& name) const;
  bool ReadBool(const std::string& key, const std::string& name) const;
  std::vector<std::uint8_t> ReadBinary(const std::string& key, const std::string& name) const;

  // Writes create the key when missing. Raise ERegistryError when the store
  // cannot be written; the file then keeps its previous content.
  void WriteString(const std::string& key, const std::string& name, const std::string& value);
  void WriteInteger(const std::string& key, const std::string& name, std::int32_t value);
  void WriteBool(const std::string& key, const std::string& name, bool value);
  void WriteBinary(const std::string& key, const std::string& name, const std::vector<std::uint8_t>& value);
  bool DeleteValue(const std::string& key, const std::string& name);

  // Between BeginUpdate and EndUpdate changes are kept in memory and written
  // once by the outermost EndUpdate (which raises like a write).
  void BeginUpdate();
  void EndUpdate();
  // Writes pending changes now.
  void Flush();

  // Serialised form of the store, as the file holds it.
  std::string Serialise() const;

 private:
  struct TKey {
    std::string Name;
    std::vector<TRegValue> Values;
  };
  struct TOp {
    bool Delete = false;
    bool KeyOnly = false;
    std::string Key;
    TRegValue Value;
  };

  static void ParseInto(const std::string& text, std::vector<TKey>& keys);
  static std::string SerialiseKeys(const std::vector<TKey>& keys);
  static TKey* FindKey(std::vector<TKey>& keys, const std::string& key);
  static const TKey* FindKey(const std::vector<TKey>& keys, const std::string& key);
  static void Apply(std::vector<TKey>& keys, const TOp& op);
  const TRegValue& Require(const std::string& key, const std::string& name) const;
  void Change(TOp op);
  void SaveLocked();

  std::string FPath;
  mutable std::recursive_mutex FLock;
  std::vector<TKey> FKeys;
  std::vector<TOp> FPending;
  int FUpdateDepth = 0;
};

// Normalises a key path: backslashes, no leading or trailing separator.
std::string NormaliseRegistryKey(const std::string& key);

}  // namespace vantori
