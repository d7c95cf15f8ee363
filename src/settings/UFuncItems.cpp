#include "settings/UFuncItems.h"

#include <stdexcept>

namespace vantori {

TFuncFileItem& TFuncFileItems::Add() {
  FItems.push_back(std::make_unique<TFuncFileItem>());
  return *FItems.back();
}

TFuncFileItem& TFuncFileItems::Items(std::size_t index) {
  if (index >= FItems.size()) throw std::out_of_range("TFuncFileItems: list index out of bounds");
  return *FItems[index];
}

const TFuncFileItem& TFuncFileItems::Items(std::size_t index) const {
  if (index >= FItems.size()) throw std::out_of_range("TFuncFileItems: list index out of bounds");
  return *FItems[index];
}

}  // namespace vantori
