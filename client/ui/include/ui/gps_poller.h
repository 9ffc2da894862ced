// Asks devices for their vehicle position on an owned thread, a round of
// every target per period, and hands the answers to the GUI thread.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/gps.h"
#include "platform/event.h"
#include "platform/thread.h"

namespace ui {

class GpsPoller : public QObject {
  Q_OBJECT

 public:
  using Fetch = std::function<std::string(long login, int channel)>;  // empty: GetGPSData
  explicit GpsPoller(Fetch fetch = {}, QObject* parent = nullptr);
  // Stops and joins the thread. A fetch in flight is waited for: the SDK's own
  // time-out bounds it, and a LogOut of its login ends it at once.
  ~GpsPoller() override;

  // GUI thread: the channels to ask from now on (replaces the set; empty: ask
  // nothing). A changed set starts a round at once.
  void SetTargets(std::vector<std::pair<long, int>> targets);
  // GUI thread: asks every target once per period on the poller's thread.
  void Start(int period_ms = 5000);
  // GUI thread: asks nothing more and drops answers still on their way;
  // returns at once, even while a fetch is slow.
  void Stop();
  bool Running() const { return running_; }

 signals:
  // GUI thread (queued): the latest answer of a target; fix empty when the
  // device gave no usable position (the raw text is passed too).
  void position(long login, int channel, std::optional<model::GpsFix> fix, QString raw);

 private:
  void run();
  void deliver(long login, int channel, const std::string& raw);

  Fetch fetch_;
  const QPointer<GpsPoller> self_;  // made here, copied by the thread
  std::mutex m_;
  std::vector<std::pair<long, int>> targets_;  // m_
  int period_ms_ = 5000;                       // m_
  bool polling_ = false;                       // m_
  std::atomic<bool> quit_{false};
  platform::Event wake_{false, false};
  platform::Thread thread_;
  // GUI thread: answers arriving while stopped or for a dropped target are not shown.
  bool running_ = false;
  std::vector<std::pair<long, int>> shown_targets_;
};

}  // namespace ui
