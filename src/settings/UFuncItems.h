#pragma once
// An owned list of file entries, as the file-list helpers fill it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vantori {

struct TFuncFileItem {
  static constexpr std::uint8_t kFolder = 0;
  static constexpr std::uint8_t kFile = 1;

  std::uint8_t Kind = kFolder;
  std::string Name;      // cp949
  std::string FullPath;  // cp949
  std::int64_t Size = 0;
  double Modified = 0.0;  // days since 1899-12-30, fraction = time of day
};

class TFuncFileItems {
 public:
  // Appends an empty entry; the reference stays valid while the list lives.
  TFuncFileItem& Add();
  // Raises std::out_of_range for an index outside 0 .. Count() - 1.
  TFuncFileItem& Items(std::size_t index);
  const TFuncFileItem& Items(std::size_t index) const;
  std::size_t Count() const { return FItems.size(); }
  void Clear() { FItems.clear(); }

 private:
  std::vector<std::unique_ptr<TFuncFileItem>> FItems;
};

}  // namespace vantori
