#pragma once
// The serial number of the system volume, as the login request sends it: a 32-bit
// number that stays the same on one machine. Taken from the machine id.

#include <cstdint>
#include <string>

namespace vantori {

// VANTORI_VOLUME_SERIAL (decimal or 0x-hex) when set, else derived from
// /etc/machine-id (or /var/lib/dbus/machine-id); 0 when neither can be read.
std::uint32_t VolumeSerial();

// The serial derived from a machine id text: its first eight hex digits.
// 0 when the text does not start with eight hex digits.
std::uint32_t VolumeSerialFromMachineId(const std::string& machineId);

}  // namespace vantori
