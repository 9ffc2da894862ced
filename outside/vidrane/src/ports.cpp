// The exported Play264_* functions: a table of 32 ports, each empty or
// holding one player. Calls copy the player out of the table and work on it
// without the table's lock; closing takes it out first and joins its threads.
#include <array>
#include <filesystem>
#include <memory>
#include <mutex>

#include "bmp.h"
#include "file_playback.h"
#include "live_stream.h"
#include "platform/files.h"
#include "platform/text.h"
#include "ports.h"
#include "sound.h"
#include "vidrane/vidrane.h"

namespace vidrane {

namespace {

struct Slot {
  std::shared_ptr<Player> player;
  PLAY264_FILEREF_CALLBACK fileref = nullptr;
  void* fileref_user = nullptr;
};

struct Table {
  Table() { SoundRouter::instance(); }  // outlives every player
  ~Table() {
    for (auto& slot : slots)
      if (slot.player) slot.player->shutdown();
  }
  std::mutex m;
  std::array<Slot, PLAY264_MAX_PORTS> slots;
  long last_file_port = -1;
};

Table& table() {
  static Table t;
  return t;
}

bool valid(long port) {
  return port >= 0 && port < PLAY264_MAX_PORTS;
}

std::shared_ptr<Player> player_at(long port) {
  if (!valid(port)) return nullptr;
  Table& t = table();
  std::lock_guard lock(t.m);
  return t.slots[static_cast<std::size_t>(port)].player;
}

std::shared_ptr<LiveStream> live_at(long port) {
  return std::dynamic_pointer_cast<LiveStream>(player_at(port));
}

std::shared_ptr<FilePlayback> file_at(long port) {
  return std::dynamic_pointer_cast<FilePlayback>(player_at(port));
}

// The file of the port, or for a port without one (the clipping port) the
// file opened last.
std::shared_ptr<FilePlayback> file_for(long port) {
  if (!valid(port)) return nullptr;
  Table& t = table();
  std::lock_guard lock(t.m);
  if (auto f =
          std::dynamic_pointer_cast<FilePlayback>(t.slots[static_cast<std::size_t>(port)].player))
    return f;
  if (valid(t.last_file_port))
    return std::dynamic_pointer_cast<FilePlayback>(
        t.slots[static_cast<std::size_t>(t.last_file_port)].player);
  return nullptr;
}

// Takes the player of kind P out of port and shuts it down. Refused on the
// player's own thread, which cannot join itself.
template <typename P>
bool close_port(long port) {
  if (!valid(port)) return false;
  Table& t = table();
  std::shared_ptr<Player> doomed;
  {
    std::lock_guard lock(t.m);
    auto& slot = t.slots[static_cast<std::size_t>(port)];
    if (!std::dynamic_pointer_cast<P>(slot.player) || slot.player->on_own_thread()) return false;
    doomed = std::move(slot.player);
    if (t.last_file_port == port) t.last_file_port = -1;
  }
  SoundRouter::instance().stop(port);
  doomed->shutdown();
  return true;
}

BOOL open_file(long port, const std::filesystem::path& path) {
  if (!valid(port) || path.empty()) return 0;
  close_port<FilePlayback>(port);  // a file left open is replaced
  Table& t = table();
  PLAY264_FILEREF_CALLBACK callback;
  void* user;
  {
    std::lock_guard lock(t.m);
    auto& slot = t.slots[static_cast<std::size_t>(port)];
    if (slot.player) return 0;
    callback = slot.fileref;
    user = slot.fileref_user;
  }
  auto file = std::make_shared<FilePlayback>(port, path);
  if (!file->start(callback, user)) return 0;
  std::lock_guard lock(t.m);
  auto& slot = t.slots[static_cast<std::size_t>(port)];
  if (slot.player) return 0;  // taken meanwhile; file shuts down with its last owner
  slot.player = file;
  t.last_file_port = port;
  return 1;
}

std::filesystem::path path_from(const wchar_t* path) {
  // Through UTF-8: the library's own wide conversion depends on the locale
  // and throws on text it cannot convert.
  return path ? std::filesystem::path(platform::utf8_from_wide(path)) : std::filesystem::path();
}
std::filesystem::path path_from(const char* path) {
  return path ? std::filesystem::path(std::string(path)) : std::filesystem::path();
}

BOOL convert_to_bmp(char* buffer, long size, long width, long height, long type,
                    const std::filesystem::path& path) {
  if (!buffer || size <= 0 || path.empty()) return 0;
  auto bytes = encode_bmp(
      std::span(reinterpret_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(size)),
      width, height, type);
  if (!bytes) return 0;
  return platform::write_file_atomic(
             path, std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()))
             ? 1
             : 0;
}

}  // namespace

std::shared_ptr<FilePlayback> file_player_for_tests(long port) {
  return file_for(port);
}

}  // namespace vidrane

using namespace vidrane;

BOOL Play264_OpenStream(long port, BYTE*, DWORD, DWORD) {
  if (!valid(port)) return 0;
  Table& t = table();
  {
    std::lock_guard lock(t.m);
    if (t.slots[static_cast<std::size_t>(port)].player) return 0;
  }
  auto stream = std::make_shared<LiveStream>(port);
  if (!stream->start()) return 0;
  std::lock_guard lock(t.m);
  auto& slot = t.slots[static_cast<std::size_t>(port)];
  if (slot.player) return 0;
  slot.player = std::move(stream);
  return 1;
}

BOOL Play264_SetStreamOpenMode(long port, DWORD) {
  return live_at(port) ? 1 : 0;
}

BOOL Play264_InputData(long port, const BYTE* frame, DWORD size) {
  if (!frame || size == 0) return 0;
  auto stream = live_at(port);
  return stream && stream->input(std::span(frame, size)) ? 1 : 0;
}

BOOL Play264_CloseStream(long port) {
  return close_port<LiveStream>(port) ? 1 : 0;
}

BOOL Play264_Play(long port, HWND hwnd) {
  auto p = player_at(port);
  return p && p->play(hwnd) ? 1 : 0;
}

BOOL Play264_Stop(long port) {
  auto p = player_at(port);
  return p && p->stop() ? 1 : 0;
}

// Pictures are always handed to the window backend; there is no overlay.
BOOL Play264_SetOverlayMode(long port, BOOL, DWORD) {
  return player_at(port) ? 1 : 0;
}

BOOL Play264_RefreshPlay(long port) {
  auto p = player_at(port);
  return p && p->refresh() ? 1 : 0;
}

BOOL Play264_SetDisplayCallBack(long port, PLAY264_DISPLAY_CALLBACK callback) {
  auto p = player_at(port);
  if (!p) return 0;
  p->set_display_callback(callback);
  return 1;
}

BOOL Play264_ConvertToBmpFile(char* buffer, long size, long width, long height, long type,
                              const wchar_t* path) {
  return convert_to_bmp(buffer, size, width, height, type, path_from(path));
}

BOOL Play264_ConvertToBmpFile(char* buffer, long size, long width, long height, long type,
                              const char* path) {
  return convert_to_bmp(buffer, size, width, height, type, path_from(path));
}

BOOL Play264_PlaySound(long port) {
  if (!valid(port)) return 0;
  return SoundRouter::instance().play(port) ? 1 : 0;
}

BOOL Play264_StopSound() {
  SoundRouter::instance().stop();
  return 1;
}

BOOL Play264_StopSound(long port) {
  return SoundRouter::instance().stop(port) ? 1 : 0;
}

BOOL Play264_SetVolume(long port, DWORD volume) {
  if (!valid(port)) return 0;
  SoundRouter::instance().set_volume(port, volume);
  return 1;
}

BOOL Play264_StopSoundShare(long port) {
  return SoundRouter::instance().stop(port) ? 1 : 0;
}

BOOL Play264_OpenFile(long port, const wchar_t* path) {
  return open_file(port, path_from(path));
}
BOOL Play264_OpenFile(long port, const char* path) {
  return open_file(port, path_from(path));
}

BOOL Play264_CloseFile(long port) {
  return close_port<FilePlayback>(port) ? 1 : 0;
}

BOOL Play264_SetFileRefCallBack(long port, PLAY264_FILEREF_CALLBACK callback, void* user) {
  if (!valid(port)) return 0;
  std::shared_ptr<FilePlayback> file;
  {
    Table& t = table();
    std::lock_guard lock(t.m);
    auto& slot = t.slots[static_cast<std::size_t>(port)];
    slot.fileref = callback;
    slot.fileref_user = user;
    file = std::dynamic_pointer_cast<FilePlayback>(slot.player);
  }
  if (file) file->set_fileref_callback(callback, user);
  return 1;
}

BOOL Play264_Pause(long port, DWORD pause) {
  auto f = file_at(port);
  return f && f->pause(pause != 0) ? 1 : 0;
}

BOOL Play264_Fast(long port) {
  auto f = file_at(port);
  return f && f->faster() ? 1 : 0;
}

BOOL Play264_Slow(long port) {
  auto f = file_at(port);
  return f && f->slower() ? 1 : 0;
}

BOOL Play264_OneByOne(long port) {
  auto f = file_at(port);
  return f && f->step_forward() ? 1 : 0;
}

BOOL Play264_OneByOneBack(long port) {
  auto f = file_at(port);
  return f && f->step_back() ? 1 : 0;
}

BOOL Play264_SetPlayPos(long port, double percent) {
  auto f = file_at(port);
  return f && f->set_position(percent) ? 1 : 0;
}

long Play264_GetFileTime(long port) {
  auto f = file_for(port);
  return f ? f->file_seconds() : 0;
}

long Play264_GetPlayedTime(long port) {
  auto f = file_for(port);
  return f ? f->played_seconds() : 0;
}

long Play264_GetFileTotalFrames(long port) {
  auto f = file_for(port);
  return f ? f->total_frames() : 0;
}

long Play264_GetCurrentFrameNum(long port) {
  auto f = file_for(port);
  return f ? f->current_frame() : 0;
}

BOOL Play264_ClipMovie(long port, const wchar_t* path, long start, long end) {
  auto f = file_for(port);
  const auto target = path_from(path);
  return f && !target.empty() && f->clip(target, start, end) ? 1 : 0;
}

BOOL Play264_ClipMovie(long port, const char* path, long start, long end) {
  auto f = file_for(port);
  const auto target = path_from(path);
  return f && !target.empty() && f->clip(target, start, end) ? 1 : 0;
}
