#include "device_log.h"

#include <chrono>

namespace orvsim {
namespace {

// A long run keeps the newest entries only.
constexpr std::size_t kMaxEntries = 20000;

template <typename T>
void push_bounded(std::vector<T>& v, T entry) {
  if (v.size() >= kMaxEntries)
    v.erase(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(kMaxEntries / 2));
  v.push_back(std::move(entry));
}

}  // namespace

std::string_view media_fault_name(MediaFault fault) {
  switch (fault) {
    case MediaFault::close_control:
      return "close control";
    case MediaFault::close_stream:
      return "close stream";
    case MediaFault::stop_sending:
      return "stop sending";
    case MediaFault::resume_sending:
      return "resume sending";
    case MediaFault::no_signature:
      return "frame without signature";
    case MediaFault::foreign_magic:
      return "slice of a foreign magic";
    case MediaFault::slices_out_of_order:
      return "slices out of order";
    case MediaFault::slice_missing:
      return "slice missing";
    case MediaFault::oversized_frame:
      return "frame over the limit";
  }
  return "?";
}

void DeviceFaults::inject(const ChannelKey& key, MediaFault fault, int count) {
  std::lock_guard lock(m_);
  State& s = state_[key];
  if (fault == MediaFault::stop_sending) {
    s.stopped = true;
  } else if (fault == MediaFault::resume_sending) {
    s.stopped = false;
  } else if (count > 0) {
    s.pending[fault] += count;
  }
}

bool DeviceFaults::take(const ChannelKey& key, MediaFault fault) {
  std::lock_guard lock(m_);
  auto it = state_.find(key);
  if (it == state_.end()) return false;
  auto p = it->second.pending.find(fault);
  if (p == it->second.pending.end() || p->second <= 0) return false;
  if (--p->second == 0) it->second.pending.erase(p);
  return true;
}

bool DeviceFaults::sending_stopped(const ChannelKey& key) const {
  std::lock_guard lock(m_);
  auto it = state_.find(key);
  return it != state_.end() && it->second.stopped;
}

void DeviceFaults::clear() {
  std::lock_guard lock(m_);
  state_.clear();
}

void DeviceLog::add_request(RtspLogEntry entry) {
  tell("device " + entry.key.text() + " " + entry.connect_type + " " + entry.request.method + " " +
       entry.request.url + " -> " + std::to_string(entry.status));
  {
    std::lock_guard lock(m_);
    push_bounded(requests_, std::move(entry));
  }
  changed();
}

namespace {

// A Pelco-D frame in words, so a person watching the simulator sees what the
// camera was told; other protocols show their bytes only.
std::string describe_ptz(const std::vector<std::uint8_t>& b) {
  if (b.size() != 7 || b[0] != 0xFF) return {};
  unsigned sum = 0;
  for (std::size_t i = 1; i < 6; ++i) sum += b[i];
  if ((sum & 0xFF) != b[6]) return "bad check byte";
  const std::string camera = "camera " + std::to_string(b[1]) + ": ";
  if (b[2] == 0) {
    switch (b[3]) {
      case 0x03:
        return camera + "set preset " + std::to_string(b[5]);
      case 0x05:
        return camera + "clear preset " + std::to_string(b[5]);
      case 0x07:
        return camera + "go to preset " + std::to_string(b[5]);
      case 0x00:
        return camera + "stop";
      case 0x08:
        return camera + "up, speed " + std::to_string(b[5]);
      case 0x10:
        return camera + "down, speed " + std::to_string(b[5]);
      case 0x04:
        return camera + "left, speed " + std::to_string(b[4]);
      case 0x02:
        return camera + "right, speed " + std::to_string(b[4]);
      case 0x20:
        return camera + "zoom in";
      case 0x40:
        return camera + "zoom out";
      case 0x80:
        return camera + "focus far";
      default:
        break;
    }
  }
  return camera + "command " + std::to_string(b[2]) + "/" + std::to_string(b[3]);
}

}  // namespace

void DeviceLog::add_ptz(PtzLogEntry entry) {
  if (entry.ptz.valid) {
    const std::string words = describe_ptz(entry.ptz.bytes);
    tell("device " + entry.key.text() + " ptz " + entry.ptz.content +
         (words.empty() ? std::string() : " (" + words + ")"));
  }
  {
    std::lock_guard lock(m_);
    push_bounded(ptz_, std::move(entry));
  }
  changed();
}

void DeviceLog::update(const ChannelKey& key, const std::function<void(ChannelStats&)>& change) {
  {
    std::lock_guard lock(m_);
    change(stats_[key]);
  }
  changed();
}

void DeviceLog::note(const ChannelKey& key, std::string text) {
  tell("device " + key.text() + " " + text);
  {
    std::lock_guard lock(m_);
    push_bounded(notes_, key.text() + " " + text);
  }
  changed();
}

void DeviceLog::clear() {
  {
    std::lock_guard lock(m_);
    requests_.clear();
    ptz_.clear();
    stats_.clear();
    notes_.clear();
  }
  changed();
}

std::vector<RtspLogEntry> DeviceLog::requests() const {
  std::lock_guard lock(m_);
  return requests_;
}

std::vector<PtzLogEntry> DeviceLog::ptz() const {
  std::lock_guard lock(m_);
  return ptz_;
}

ChannelStats DeviceLog::stats(const ChannelKey& key) const {
  std::lock_guard lock(m_);
  auto it = stats_.find(key);
  return it == stats_.end() ? ChannelStats{} : it->second;
}

std::vector<std::string> DeviceLog::notes() const {
  std::lock_guard lock(m_);
  return notes_;
}

void DeviceLog::set_observer(std::function<void(const std::string&)> observer) {
  std::lock_guard lock(observer_m_);
  observer_ = std::move(observer);
}

void DeviceLog::tell(const std::string& line) {
  std::function<void(const std::string&)> observer;
  {
    std::lock_guard lock(observer_m_);
    observer = observer_;
  }
  if (observer) observer(line);
}

void DeviceLog::changed() {
  std::lock_guard lock(m_);
  ++generation_;
  cv_.notify_all();
}

bool DeviceLog::wait_until(const std::function<bool(const DeviceLog&)>& done,
                           int timeout_ms) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    std::uint64_t seen;
    {
      std::lock_guard lock(m_);
      seen = generation_;
    }
    // The condition reads the log through its own locked accessors.
    if (done(*this)) return true;
    std::unique_lock lock(m_);
    if (!cv_.wait_until(lock, deadline, [&] { return generation_ != seen; })) {
      // The condition takes the lock itself.
      lock.unlock();
      return done(*this);
    }
  }
}

}  // namespace orvsim
