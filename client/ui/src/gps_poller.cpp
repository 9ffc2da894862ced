#include "ui/gps_poller.h"

#include <QPointer>

#include <algorithm>
#include <chrono>

#include "platform/clock.h"
#include "platform/text.h"
#include "ui/message_box.h"
#include "velmosdk.h"

namespace ui {
namespace {

// A pause between rounds when nothing is asked, so a missed wake costs at most this.
constexpr int kIdleWaitMs = 1000;

}  // namespace

GpsPoller::GpsPoller(Fetch fetch, QObject* parent)
    : QObject(parent), fetch_(std::move(fetch)), self_(this) {
  if (!fetch_) fetch_ = [](long login, int channel) { return GetGPSData(login, channel); };
}

GpsPoller::~GpsPoller() {
  quit_.store(true);
  wake_.set();
  thread_.join();
}

void GpsPoller::SetTargets(std::vector<std::pair<long, int>> targets) {
  shown_targets_ = targets;
  {
    std::lock_guard lock(m_);
    if (targets == targets_) return;
    targets_ = std::move(targets);
  }
  wake_.set();
}

void GpsPoller::Start(int period_ms) {
  running_ = true;
  {
    std::lock_guard lock(m_);
    period_ms_ = std::max(period_ms, 1);
    polling_ = true;
  }
  if (!thread_.created()) {
    if (!thread_.create([this] { run(); })) {
      running_ = false;
      return;
    }
    thread_.resume();
  }
  wake_.set();
}

void GpsPoller::Stop() {
  running_ = false;
  {
    std::lock_guard lock(m_);
    polling_ = false;
  }
  wake_.set();
}

void GpsPoller::run() {
  while (!quit_.load()) {
    // A wake before the round's copy is answered by this round.
    wake_.reset();
    std::vector<std::pair<long, int>> targets;
    int period = kIdleWaitMs;
    {
      std::lock_guard lock(m_);
      if (polling_) {
        targets = targets_;
        period = period_ms_;
      }
    }
    const std::uint64_t round_start = platform::tick_ms64();
    for (const auto& [login, channel] : targets) {
      if (quit_.load()) return;
      {
        std::lock_guard lock(m_);
        if (!polling_) break;
      }
      deliver(login, channel, fetch_(login, channel));
    }
    const std::uint64_t spent = platform::tick_ms64() - round_start;
    const int rest =
        spent >= static_cast<std::uint64_t>(period) ? 0 : period - static_cast<int>(spent);
    if (!quit_.load()) wake_.wait(rest);
  }
}

void GpsPoller::deliver(long login, int channel, const std::string& raw) {
  // The destructor joins this thread before the object goes, so `this` is
  // alive here; the guard covers the queued call.
  const QPointer<GpsPoller> self = self_;
  std::optional<model::GpsFix> fix = model::parse_gps(raw);
  QString text = qs(platform::u16_from_cp936(raw));
  QMetaObject::invokeMethod(
      this,
      [self, login, channel, fix = std::move(fix), text = std::move(text)] {
        if (!self || !self->running_) return;
        const auto& t = self->shown_targets_;
        if (std::find(t.begin(), t.end(), std::make_pair(login, channel)) == t.end()) return;
        emit self->position(login, channel, fix, text);
      },
      Qt::QueuedConnection);
}

}  // namespace ui
