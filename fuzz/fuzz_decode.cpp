// Decodes arbitrary bytes. Anything that decodes must encode, decode again to the same
// parameters and encode to the same bytes; anything else must end in EParamError.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "protocol/UParameter.h"

namespace {

// Every reader on every value: conversions may refuse with EParamError, never crash.
void TouchReaders(const vantori::TDataParameter& m) {
  for (int i = 0; i < m.Count(); ++i) {
    const vantori::TParamDef& p = m.Params(i);
    auto guarded = [](auto&& f) {
      try {
        f();
      } catch (const vantori::EParamError&) {
      }
    };
    guarded([&] { (void)p.AsString(); });
    guarded([&] { (void)p.AsInteger(); });
    guarded([&] { (void)p.AsInt64(); });
    guarded([&] { (void)p.AsReal(); });
    guarded([&] { (void)p.AsExtended(); });
    guarded([&] { (void)p.AsBoolean(); });
    guarded([&] { (void)p.AsData(); });
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  vantori::TDataParameter m;
  try {
    m.Decode(data, size);
  } catch (const vantori::EParamError&) {
    TouchReaders(m);  // what decoded before the error stays usable
    return 0;
  }
  TouchReaders(m);

  const auto first = m.Encode();
  const std::vector<std::uint8_t> encoded(first.begin(), first.end());
  vantori::TDataParameter again;
  again.Decode(encoded.data(), encoded.size());  // must not throw: it is our own encoding
  if (again.Count() != m.Count()) __builtin_trap();
  for (int i = 0; i < m.Count(); ++i)
    if (again.Params(i).Type() != m.Params(i).Type() || again.Params(i).Name() != m.Params(i).Name())
      __builtin_trap();
  const auto second = again.Encode();
  if (std::vector<std::uint8_t>(second.begin(), second.end()) != encoded) __builtin_trap();
  return 0;
}
