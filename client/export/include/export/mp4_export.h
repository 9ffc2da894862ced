// MP4 export of the client's .264 recordings: the H.264 frames are remuxed
// without re-encoding, the device's voice becomes AAC, so the file plays in any
// player. Results, not exceptions.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace exporter {

struct Mp4ExportResult {
  bool ok = false;
  std::uint64_t video_frames = 0;   // H.264 frames written
  std::uint64_t audio_frames = 0;   // AAC packets written
  std::uint64_t skipped_bytes = 0;  // of the recording, damaged or not playable
  double duration_s = 0;            // of the video track
  std::string error;                // why it failed: a fixed text for the operator
  std::string detail;               // the system's or FFmpeg's words after it, if any
};

// Writes the MP4 to out + ".part" and renames it to out when whole; on failure
// or cancel nothing is left at out + ".part" and out is untouched. progress
// gets the fraction done (0..1) from the calling thread; false from it
// cancels.
Mp4ExportResult export_mp4(const std::filesystem::path& in, const std::filesystem::path& out,
                           const std::function<bool(double)>& progress = {});

// The error text of a cancelled export.
inline constexpr const char* kCancelled = "已取消";

}  // namespace exporter
