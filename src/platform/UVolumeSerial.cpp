#include "platform/UVolumeSerial.h"

#include <cstdlib>
#include <fstream>

namespace vantori {

std::uint32_t VolumeSerialFromMachineId(const std::string& machineId) {
  if (machineId.size() < 8) return 0;
  std::uint32_t v = 0;
  for (int i = 0; i < 8; ++i) {
    const char c = machineId[i];
    std::uint32_t d;
    if (c >= '0' && c <= '9')
      d = static_cast<std::uint32_t>(c - '0');
    else if (c >= 'a' && c <= 'f')
      d = static_cast<std::uint32_t>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      d = static_cast<std::uint32_t>(c - 'A' + 10);
    else
      return 0;
    v = (v << 4) | d;
  }
  return v;
}

std::uint32_t VolumeSerial() {
  if (const char* env = std::getenv("VANTORI_VOLUME_SERIAL"); env != nullptr && *env != '\0') {
    char* end = nullptr;
    const unsigned long long v = std::strtoull(env, &end, 0);
    if (end != nullptr && *end == '\0') return static_cast<std::uint32_t>(v);
  }
  for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
    std::ifstream f(path);
    std::string line;
    if (f && std::getline(f, line)) {
      if (std::uint32_t v = VolumeSerialFromMachineId(line); v != 0) return v;
    }
  }
  return 0;
}

}  // namespace vantori
