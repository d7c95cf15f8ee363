#pragma once
// Handles of client objects that travel in requests and come back in replies.
//
// A request names the tree node, list row or collection it belongs to with a 32-bit
// handle; the server returns the value untouched. The handle is a key into a registry of
// live objects, never an address: a reply that arrives after its object was freed finds
// nothing and is dropped, and a garbled or forged value cannot reach memory.

#include <cstdint>
#include <string_view>

namespace vantori {

// Base of every object whose handle may travel. Constructing one registers it under a
// fresh handle; destroying it unregisters it. A copy is a different object with its own
// handle; assignment keeps the target's handle.
class THandleObject {
 public:
  THandleObject();
  THandleObject(const THandleObject&);
  THandleObject& operator=(const THandleObject&) { return *this; }
  virtual ~THandleObject();

  // The handle as it travels: a positive 32-bit value, never reused while the process
  // runs unless 2^31 - 1 objects have been created.
  std::int32_t Handle() const { return FHandle; }

 private:
  std::int32_t FHandle;
};

// The live object registered under a handle, or nullptr when none is (freed, never
// issued, out of the 32-bit range). Safe from any thread; the caller must make sure the
// object is not freed while it uses it (objects live on the user-interface thread, and
// replies are dispatched there).
THandleObject* FindHandleObject(std::int64_t handle);

// The object under a handle when it is of type T, else nullptr.
template <class T>
T* FindHandle(std::int64_t handle) {
  return dynamic_cast<T*>(FindHandleObject(handle));
}

// A handle sent as scrambled decimal text: unscrambles and parses it; 0 (no object) when
// the text is malformed.
std::int64_t ParseScrambledHandle(std::string_view scrambled);

// Number of live registered objects (diagnostics and tests).
std::size_t LiveHandleCount();

}  // namespace vantori
