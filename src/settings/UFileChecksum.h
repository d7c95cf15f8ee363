#pragma once
// The sampled checksum of a file that travels with an upload registration ("Parit").

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantori {

// The checksum of the file at path, from a sample of at most 10240 bytes: the whole file up to
// 10240 bytes; the last 10240 bytes up to 100 KiB; 10240 bytes from size - 10245 up to 1 MiB;
// above that ten slices of 1000 bytes, each after a skip of size div 11, in a zeroed
// 10240-byte buffer. An empty file gives 0. Raises EKXError when the file cannot be read.
std::int64_t FileChecksum(const std::string& path);

// The sum over a sample: m = b[0] mod 20 + 4; byte k adds b[k] x ((k + 1) mod m), or subtracts
// b[k] x m when that is 0; 32-bit wrap-around, returned sign-extended.
std::int64_t SampleChecksum(const std::uint8_t* bytes, std::size_t size);

}  // namespace vantori
