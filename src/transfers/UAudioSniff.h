#pragma once
// Whether a file's content is MPEG audio, Ogg Vorbis or Windows Media audio. The upload engine
// refuses such files unless the administrator allows them.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantori {

bool IsMpegAudio(const std::uint8_t* head, std::size_t size);
bool IsOggVorbis(const std::uint8_t* head, std::size_t size);
bool IsWindowsMediaAudio(const std::uint8_t* head, std::size_t size);
// Reads the first 64 KiB of the file; false when it cannot be read.
bool IsRefusedAudioFile(const std::string& path);

}  // namespace vantori
