#include "model/preset_editor.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "model/recording.h"
#include "model/records.h"
#include "platform/files.h"

namespace model {
namespace {

// "BPRS", the version, the presets (number, 32 name units little-endian), the
// paths (preset, dwell, speed), the speed byte, then a sum of all bytes before it.
constexpr std::string_view kMagic = "BPRS";
constexpr std::uint8_t kVersion = 1;
constexpr std::size_t kEntryBytes = 1 + 2 * kPresetNameUnits;
constexpr std::size_t kBodyBytes =
    kMagic.size() + 1 + kPresetEntries * kEntryBytes + kCruisePaths * kCruisePoints * 3 + 1;
constexpr std::size_t kFileBytes = kBodyBytes + 4;

std::uint32_t byte_sum(std::string_view bytes) {
  std::uint32_t sum = 0;
  for (char c : bytes) sum = sum * 31 + static_cast<std::uint8_t>(c);
  return sum;
}

std::u16string name_of(const PresetEntry& e) {
  const auto end = std::find(e.name.begin(), e.name.end(), u'\0');
  return std::u16string(e.name.begin(), end);
}

void put_name(PresetEntry& e, std::u16string_view name) {
  e.name.fill(u'\0');
  std::copy_n(name.begin(), std::min<std::size_t>(name.size(), kMaxPresetNameLength),
              e.name.begin());
}

}  // namespace

std::u16string preset_file_name(std::u16string_view device_id, int channel) {
  return u"Preset_" + record_key(device_id) + u"_" + u16_number(channel) + u".dat";
}

std::string encode_preset_block(const PresetBlock& block) {
  std::string out;
  out.reserve(kFileBytes);
  out += kMagic;
  out += static_cast<char>(kVersion);
  for (const auto& e : block.presets) {
    out += static_cast<char>(e.number);
    for (char16_t u : e.name) {
      out += static_cast<char>(u & 0xFF);
      out += static_cast<char>(u >> 8);
    }
  }
  for (const auto& path : block.paths)
    for (const auto& p : path) {
      out += static_cast<char>(p.preset);
      out += static_cast<char>(p.dwell);
      out += static_cast<char>(p.speed);
    }
  out += static_cast<char>(block.speed);
  const std::uint32_t sum = byte_sum(out);
  for (int i = 0; i < 4; ++i) out += static_cast<char>((sum >> (8 * i)) & 0xFF);
  return out;
}

std::optional<PresetBlock> decode_preset_block(std::string_view bytes) {
  if (bytes.size() != kFileBytes || bytes.substr(0, kMagic.size()) != kMagic ||
      static_cast<std::uint8_t>(bytes[kMagic.size()]) != kVersion)
    return std::nullopt;
  auto byte = [&](std::size_t at) { return static_cast<std::uint8_t>(bytes[at]); };
  std::uint32_t sum = 0;
  for (int i = 0; i < 4; ++i) sum |= std::uint32_t{byte(kBodyBytes + i)} << (8 * i);
  if (sum != byte_sum(bytes.substr(0, kBodyBytes))) return std::nullopt;

  PresetBlock b;
  std::size_t at = kMagic.size() + 1;
  for (std::size_t n = 0; n < b.presets.size(); ++n) {
    PresetEntry& e = b.presets[n];
    e.number = byte(at++);
    for (auto& u : e.name) {
      u = static_cast<char16_t>(byte(at) | (byte(at + 1) << 8));
      at += 2;
    }
    // An entry is free or holds its own number; entry 0 is never used.
    if (e.number != 0 && (e.number != n || n == 0)) return std::nullopt;
    if (e.name.back() != u'\0') return std::nullopt;
  }
  for (auto& path : b.paths)
    for (auto& p : path) {
      p.preset = byte(at);
      p.dwell = byte(at + 1);
      p.speed = byte(at + 2);
      at += 3;
      if (p.preset > kMaxPresetNumber) return std::nullopt;
    }
  b.speed = byte(at);
  return b;
}

PresetBlock read_preset_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return {};
  std::string bytes;
  // One byte more than a whole file, so an overlong one is refused too.
  bytes.resize(kFileBytes + 1);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return decode_preset_block(bytes).value_or(PresetBlock{});
}

bool write_preset_file(const std::filesystem::path& file, const PresetBlock& block) {
  return platform::write_file_atomic(file, encode_preset_block(block));
}

// ---- editor ----

void PresetEditor::open(const PresetBlock& stored, int protocol) {
  working_ = stored;
  saved_ = stored;
  protocol_ = protocol;
  path_ = 0;
  selected_point_ = -1;
  finish_enabled_ = false;
  running_ = false;
  run_enabled_ = point_count() > 0;
}

bool PresetEditor::check_number(int number, MessageSink& messages) const {
  if (number >= 1 && number <= kMaxPresetNumber) return true;
  messages.info(kPresetNumberRange);
  return false;
}

bool PresetEditor::add_preset(int number, std::u16string_view name, MessageSink& messages) {
  if (!check_number(number, messages)) return false;
  PresetEntry& e = working_.presets[static_cast<std::size_t>(number)];
  if (e.number != 0) {
    messages.info(kPresetExists);
    return false;
  }
  if (name.size() > static_cast<std::size_t>(kMaxPresetNameLength)) {
    messages.info(kPresetNameTooLong);
    return false;
  }
  e.number = static_cast<std::uint8_t>(number);
  put_name(e, name);
  return true;
}

bool PresetEditor::remove_preset(int number, MessageSink& messages) {
  if (!check_number(number, messages)) return false;
  working_.presets[static_cast<std::size_t>(number)] = PresetEntry{};
  return true;
}

bool PresetEditor::rename_preset(int number, std::u16string_view name, MessageSink& messages) {
  if (!check_number(number, messages)) return false;
  if (name.size() > static_cast<std::size_t>(kMaxPresetNameLength)) {
    messages.info(kPresetNameTooLong);
    return false;
  }
  PresetEntry& e = working_.presets[static_cast<std::size_t>(number)];
  // A free entry has no name to change.
  if (e.number == 0) return false;
  put_name(e, name);
  return true;
}

std::vector<PresetRow> PresetEditor::preset_rows() const {
  std::vector<PresetRow> rows;
  for (const auto& e : working_.presets)
    if (e.number != 0) rows.push_back({e.number, name_of(e)});
  return rows;
}

std::optional<PresetRow> PresetEditor::preset(int number) const {
  if (number < 1 || number > kMaxPresetNumber) return std::nullopt;
  const PresetEntry& e = working_.presets[static_cast<std::size_t>(number)];
  if (e.number == 0) return std::nullopt;
  return PresetRow{e.number, name_of(e)};
}

void PresetEditor::set_speed(int speed) {
  working_.speed = static_cast<std::uint8_t>(std::clamp(speed, 0, 255));
}

void PresetEditor::select_path(int path) {
  if (path < 0 || path >= kCruisePaths) return;
  path_ = path;
  selected_point_ = -1;
  run_enabled_ = point_count() > 0;
}

int PresetEditor::point_count() const {
  return static_cast<int>(
      std::count_if(current().begin(), current().end(), [](auto& p) { return p.preset != 0; }));
}

std::vector<PointRow> PresetEditor::point_rows() const {
  std::vector<PointRow> rows;
  for (const auto& p : current())
    if (p.preset != 0) rows.push_back({p.preset, p.speed, p.dwell});
  return rows;
}

std::vector<int> PresetEditor::free_presets() const {
  std::vector<int> out;
  for (const auto& e : working_.presets) {
    if (e.number == 0) continue;
    const bool in_path = std::any_of(current().begin(), current().end(),
                                     [&](auto& p) { return p.preset == e.number; });
    if (!in_path) out.push_back(e.number);
  }
  return out;
}

void PresetEditor::edited() {
  finish_enabled_ = true;
  run_enabled_ = false;
}

bool PresetEditor::add_point(int preset, int dwell, int speed, MessageSink& messages) {
  if (preset < 1 || preset > kMaxPresetNumber || dwell < kMinDwell || dwell > kMaxDwell ||
      speed < min_point_speed() || speed > max_point_speed())
    return false;
  const int slot = point_count();
  if (slot >= kCruisePoints) {
    messages.info(kPathFull);
    return false;
  }
  current()[static_cast<std::size_t>(slot)] = {static_cast<std::uint8_t>(preset),
                                               static_cast<std::uint8_t>(dwell),
                                               static_cast<std::uint8_t>(speed)};
  edited();
  return true;
}

bool PresetEditor::remove_point(int row) {
  if (row < 0 || row >= point_count()) return false;
  CruisePath& p = current();
  std::move(p.begin() + row + 1, p.end(), p.begin() + row);
  p.back() = CruisePoint{};
  selected_point_ = -1;
  edited();
  return true;
}

void PresetEditor::clear_path() {
  current().fill(CruisePoint{});
  selected_point_ = -1;
  edited();
}

void PresetEditor::select_point(int row) {
  selected_point_ = row >= 0 && row < point_count() ? row : -1;
}

bool PresetEditor::finish(MessageSink& messages) {
  const auto rows = point_rows();
  if (two_point_rule() && rows.size() < 2) {
    messages.info(kTwoPointsNeeded);
    return false;
  }
  run_enabled_ = !rows.empty();
  finish_enabled_ = false;
  selected_point_ = -1;
  return true;
}

bool PresetEditor::run() {
  if (!run_enabled_ || running_ || point_count() == 0) return false;
  running_ = true;
  return true;
}

void PresetEditor::stop() {
  running_ = false;
}

CruiseButtons PresetEditor::buttons() const {
  return {run_enabled_ && !running_, running_, finish_enabled_, selected_point_ >= 0};
}

bool PresetEditor::save(const std::filesystem::path& file, MessageSink& messages) {
  if (!file.empty() && !write_preset_file(file, working_)) {
    messages.info(kPresetSaveFailed);
    return false;
  }
  saved_ = working_;
  return true;
}

bool PresetEditor::close(const SaveQuestion& ask, const std::filesystem::path& file,
                         MessageSink& messages) {
  if (!changed()) return true;
  switch (ask(kAskSavePresets, kSystemCaption)) {
    case SaveAnswer::kYes:
      return save(file, messages);
    case SaveAnswer::kNo:
      working_ = saved_;
      return true;
    case SaveAnswer::kCancel:
      break;
  }
  return false;
}

// ---- tour ----

CruiseTour::CruiseTour(const CruisePath& path) {
  for (const auto& p : path)
    if (p.preset != 0) points_.push_back(p);
}

std::optional<CruiseTour::Step> CruiseTour::next() {
  if (points_.empty()) return std::nullopt;
  const CruisePoint& p = points_[at_];
  at_ = (at_ + 1) % points_.size();
  return Step{p.preset, std::max<int>(p.dwell, 1)};
}

}  // namespace model
