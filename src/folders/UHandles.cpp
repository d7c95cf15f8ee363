#include "folders/UHandles.h"

#include <charconv>
#include <limits>
#include <mutex>
#include <string>
#include <unordered_map>

#include "settings/UFunction.h"

namespace vantori {

namespace {

struct TRegistry {
  std::mutex Lock;
  std::unordered_map<std::int32_t, THandleObject*> Live;
  std::int32_t Next = 1;

  std::int32_t Register(THandleObject* object) {
    std::lock_guard guard(Lock);
    for (;;) {
      std::int32_t handle = Next;
      Next = (Next == std::numeric_limits<std::int32_t>::max()) ? 1 : Next + 1;
      if (Live.emplace(handle, object).second) return handle;
    }
  }

  void Unregister(std::int32_t handle) {
    std::lock_guard guard(Lock);
    Live.erase(handle);
  }
};

TRegistry& Registry() {
  // Never destroyed: records owned by static objects may unregister during exit.
  static TRegistry* registry = new TRegistry;
  return *registry;
}

}  // namespace

THandleObject::THandleObject() : FHandle(Registry().Register(this)) {}

THandleObject::THandleObject(const THandleObject&) : FHandle(Registry().Register(this)) {}

THandleObject::~THandleObject() {
  Registry().Unregister(FHandle);
}

THandleObject* FindHandleObject(std::int64_t handle) {
  if (handle <= 0 || handle > std::numeric_limits<std::int32_t>::max()) return nullptr;
  TRegistry& registry = Registry();
  std::lock_guard guard(registry.Lock);
  auto it = registry.Live.find(static_cast<std::int32_t>(handle));
  return it == registry.Live.end() ? nullptr : it->second;
}

std::int64_t ParseScrambledHandle(std::string_view scrambled) {
  std::string text;
  if (!TryUnscrambleText(scrambled, text)) return 0;
  std::size_t begin = text.find_first_not_of(' ');
  std::size_t end = text.find_last_not_of(' ');
  if (begin == std::string::npos) return 0;
  std::int64_t value = 0;
  const char* first = text.data() + begin;
  const char* last = text.data() + end + 1;
  auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last) return 0;
  return value;
}

std::size_t LiveHandleCount() {
  TRegistry& registry = Registry();
  std::lock_guard guard(registry.Lock);
  return registry.Live.size();
}

}  // namespace vantori
