// CTavimorDlg: the operator's desk. The split-screen video area on the left,
// the side panel with the device tree or the PTZ pad, the sliders, the lights,
// the bit-rate display and the row of command buttons. It owns the layout, the
// preview of the play list, the timers and the stop-all operation; the panes
// are CMyOutput windows.
#pragma once

#include <QDialog>
#include <QPointer>

#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "model/client_state.h"
#include "model/desk.h"
#include "model/recording.h"
#include "model/stream_health.h"
#include "model/time_source.h"
#include "platform/event.h"
#include "platform/thread.h"
#include "ui/alarm_sound.h"
#include "ui/output_pane.h"
#include "ui/sdk_login.h"

class QComboBox;
class QMenu;
class QTimer;
class QTreeWidgetItem;
class QWidget;
class CBMPButton;
class CColorButton;
class CBitmapSlider;
class CBitmapTree;
class CDigitDisplay;
class CLedIndicator;

namespace ui {

class CPresetPTZ;
class CVoiceExchange;
class GpsPoller;

class CTavimorDlg : public QDialog {
  Q_OBJECT

 public:
  // Timer ids of the desk and their periods in ms.
  enum TimerId : int {
    kCycleTimer = 1,
    kPlanTimer = 2,
    kTimeSyncTimer = 3,
    kDiskTimer = 4,
    kPackTimer = 5,
    kHealthTimer = 6,
    kReloginTimer = 16,
    kBitRateTimer = 1052704,
  };
  static constexpr int kPanelWidth = 300;
  static constexpr int kBottomHeight = 104;
  // Between two panes of the first page.
  static constexpr int kPaneStartPauseMs = 2000;

  CTavimorDlg(model::ClientState& state, model::MessageSink& messages, model::DeviceLogin& sdk,
              QWidget* parent = nullptr);
  ~CTavimorDlg() override;

  // The initialisation: the working folder and drives are in the state already.
  // close_splash ends the splash window; pump keeps it painted while the stored
  // servers log in.
  void Initialise(const std::function<void()>& close_splash, const std::function<void()>& pump);

  CMyOutput* Pane(int i) const { return panes_.at(static_cast<std::size_t>(i)); }
  const model::DeskState& Desk() const { return desk_; }
  // The video area: panes are laid out inside it.
  model::Rect VideoArea() const;
  // Milliseconds between the panes of a preview (tests shorten it).
  void SetPaneStartPause(int ms) { pane_pause_ms_ = ms; }
  // True while the preview thread starts or stops panes.
  bool PreviewBusy() const { return preview_thread_.running(); }
  bool TimerActive(int id) const;
  // True while the cycling thread exists (from the first cycle to stop-all).
  bool CyclingThreadRunning() const { return cycle_thread_.running(); }
  // The desk's own window handle: WM_USER + 1 posted to it reports a network
  // exception (code, login handle).
  HWND Hwnd() const { return window_->hwnd(); }
  void OnException(unsigned code, long login_handle);
  // What sounds when an alarm light goes on (made at the first alarm unless
  // a test gives one).
  void SetAlarmSound(std::unique_ptr<AlarmSound> sound) { alarm_sound_ = std::move(sound); }
  // The alarm slot of a pane's light belongs to a login handle (-1: none).
  void SetAlarmSlot(int slot, long login_handle);
  // A double click on a device-tree item.
  void OnTreeDoubleClick(QTreeWidgetItem* item);
  // A device-tree channel dropped onto a pane: the double click's rules for
  // that pane.
  void DropChannel(int pane, int server, int channel);
  // A pane dragged onto another: the two swap what they show (a pane that
  // shows nothing takes the other's channel).
  void SwapPanes(int from, int to);
  // The stream health overlay on every pane (off at start).
  void ToggleHealthOverlay();
  bool HealthOverlayOn() const { return health_overlay_; }
  // Asks the devices shown with the overlay on for their position.
  GpsPoller& Gps() const { return *gps_; }
  // F11: the selected pane alone on the screen, or back from full screen.
  void FullScreenPane();
  // Escape: back from full screen; else the selected pane's zoom resets.
  void OnEscape();
  CBitmapTree* DeviceTree() const { return tree_; }
  // The PTZ pad in creation order (25 buttons).
  const std::vector<CColorButton*>& PtzPad() const { return ptz_pad_; }

  // Commands, each with its rights check.
  void OnPreview();
  void OnExit();
  // The exit without its question and right (the system asked the program to
  // end): every view stops, every device logs out, the desk closes.
  void ExitNow();
  void OnAbout();
  // "视频回放": the playback window.
  void OnPlayBack();
  // "事件日志": the alarm sound stops, the event log window runs, then the
  // alarm lights reset (in use: normal, else off).
  void OnEventLog();
  // "语音对讲": the talkback dialog, modal; setup sees it before it runs (tests).
  void OnTalkback();
  void SetTalkbackSetup(std::function<void(CVoiceExchange&)> setup) {
    talkback_setup_ = std::move(setup);
  }
  // "系统配置": the system settings window, then its results applied.
  void OnSystemConfig();
  // After the system settings window: the hardware-decoding change (1 on),
  // the time-sync timer, the recording drive and the device tree.
  void ApplySystemConfig(int hardware_change);
  // The device configuration commands the settings window uses (tests fake them).
  void SetDeviceConfig(model::DeviceConfig* device) { device_ = device; }
  void SelectLayout(int page_size);
  void SelectPane(int pane);
  // Ends cycling, sound, every pane's view and recording (any state). The
  // panes stop on the worker thread; previewPassDone follows.
  void StopAll();
  void FillDeviceTree();
  // The pane menu's commands.
  void NextPage();
  void PreviousPage();
  void PauseCycling();
  void ToggleSound();
  void StopPane(int pane);
  void MultiFullScreen();
  // "录像", "抓图", "锁定" and "默认值".
  void OnRecord();
  void OnSnapshot();
  void OnLock();
  void OnDefaults();
  // Where snapshots are shown (the desktop's image viewer; tests replace it).
  void SetPictureViewer(std::function<void(const std::filesystem::path&)> viewer) {
    viewer_ = std::move(viewer);
  }
  // The clock and free space the recording timers read (tests replace them).
  void SetClock(model::Clock* clock) { clock_ = clock; }
  void SetSpace(model::SpaceSource* space) { space_ = space; }
  // Starts a recording on a playing pane in the current folder (plan, packing).
  bool StartRecording(int pane);
  void RunTimer(int id) { on_timer(id); }
  // The context menu of a pane as it would open now (tests look into it).
  QMenu* BuildPaneMenu(int pane);
  QMenu* PaneMenu() const { return pane_menu_; }
  // "设置预置位": the single preset editor for the pane, created on first use.
  void OpenPresetDialog(int pane);
  CPresetPTZ* PresetDialog() const { return preset_dialog_; }
  // One line for the desk and one per pane, for scripts that watch a running
  // client (--status): what each pane plays, its pictures and start times.
  std::string StatusReport() const;

 signals:
  // The preview thread finished its pass (start or stop).
  void previewPassDone();
  // The cycling thread has started every pane of a page.
  void cyclePageShown();
  // A pass of the 60-second re-login was started.
  void reloginStarted();

 protected:
  // Enter and Escape do nothing on the desk.
  void accept() override {}
  void reject() override {}
  void closeEvent(QCloseEvent* e) override;
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void keyReleaseEvent(QKeyEvent* e) override;

 private:
  void build_shortcuts();
  void show_channel(int pane, int server, int channel);
  void leave_full_screen(int pane);
  void health_tick();
  void on_relogin_result(int server, bool ok);
  void device_seen(int server, model::DeviceWatch::Seen seen);
  void build_controls();
  void build_ptz_pad();
  void ptz_press(int command);
  void ptz_release(int command);
  void place_controls();
  void apply_layout(int page_size, int first);
  void start_timer(int id, int period_ms);
  void stop_timer(int id);
  void on_timer(int id);
  void show_panel(bool ptz);
  bool guard(std::uint32_t right);
  void preview_done(bool started);
  void stop_preview_thread();
  void stop_panes();
  void stop_sound();
  void on_pane_menu(int pane, QPoint global);
  void on_pane_double_click(int pane);
  void turn_page(const model::PageTurn& turn, int pause_ms);
  // Runs body on the desk's worker thread, then done on the GUI thread; false
  // while the worker is busy.
  bool run_worker(std::function<void()> body, std::function<void()> done = {});
  void set_controls_visible(bool visible);
  void on_slider(std::size_t slider, int value);
  void show_pane_settings(int pane);
  void on_recording_changed(int pane, bool recording);
  void on_stream_notice(int pane, unsigned wparam);
  // Worker thread: a failed start marks the pane and goes into the event log.
  void start_pane(int pane, const model::ChannelRecord& entry);
  // Cycling: the GUI thread turns the page (the desk state) and hands its
  // entries to the cycling thread, which starts the panes.
  void start_cycling();
  void stop_cycling();
  void show_cycle_page();
  void cycle_loop();
  void cycle_page_shown();

  model::ClientState& state_;
  model::MessageSink& messages_;
  model::DeviceLogin& sdk_;
  SdkDeviceConfig sdk_device_;
  model::DeviceConfig* device_ = &sdk_device_;
  model::DeskState desk_;
  model::ReloginWorker relogin_;
  // The stored servers are logging in: the re-login waits for them.
  bool starting_logins_ = false;
  std::unique_ptr<QtWindow> window_;
  std::array<long, model::kPanes> alarm_slots_{};
  std::unique_ptr<AlarmSound> alarm_sound_;
  bool exiting_ = false;
  int pane_pause_ms_ = kPaneStartPauseMs;
  bool bit_rate_on_ = true;

  std::array<CMyOutput*, model::kPanes> panes_{};
  QWidget* video_ = nullptr;
  CBMPButton* preview_button_ = nullptr;
  QComboBox* layout_combo_ = nullptr;
  QComboBox* delay_combo_ = nullptr;
  CBitmapTree* tree_ = nullptr;
  QWidget* ptz_group_ = nullptr;
  QWidget* sliders_ = nullptr;
  std::array<CBitmapSlider*, 5> slider_{};
  CDigitDisplay* bit_rate_ = nullptr;
  std::array<CLedIndicator*, model::kPanes> record_lights_{};
  std::array<CLedIndicator*, model::kPanes> alarm_lights_{};
  QWidget* lights_ = nullptr;
  QWidget* commands_ = nullptr;
  QMenu* system_menu_ = nullptr;
  QMenu* pane_menu_ = nullptr;
  int restore_page_size_ = 9;
  struct ImageSettings {
    int brightness = 127, contrast = 67, saturation = 64, hue = 0;
  };
  std::array<ImageSettings, model::kPanes> image_{};
  int volume_ = 50;
  bool moving_sliders_ = false;
  std::vector<QWidget*> locked_controls_;
  std::function<void(const std::filesystem::path&)> viewer_;
  model::SystemClock system_clock_;
  model::DiskSpace disk_space_;
  model::Clock* clock_ = &system_clock_;
  model::SpaceSource* space_ = &disk_space_;
  std::unique_ptr<model::PaneRecorders> recorders_;
  CBMPButton* system_button_ = nullptr;
  std::map<int, QTimer*> timers_;
  std::vector<CColorButton*> ptz_pad_;
  CPresetPTZ* preset_dialog_ = nullptr;
  std::function<void(CVoiceExchange&)> talkback_setup_;  // a child of the desk
  int ptz_first_index_ = 0;
  bool health_overlay_ = false;
  GpsPoller* gps_ = nullptr;  // a child of the desk
  model::DeviceWatch device_watch_;
  int held_arrow_ = 0;  // the key whose PTZ command runs; 0: none

  // The preview thread starts the first page (panes kPaneStartPauseMs apart)
  // or stops every pane; the SDK calls may wait on the network.
  platform::Thread preview_thread_;
  std::atomic<bool> preview_stop_{false};
  platform::Event preview_wake_{true, false};

  platform::Thread cycle_thread_;
  platform::Event cycle_event_{true, false};
  std::atomic<bool> cycle_quit_{false};
  std::mutex cycle_mutex_;
  std::vector<std::optional<model::ChannelRecord>> cycle_entries_;  // under cycle_mutex_
  bool cycle_page_done_ = true;
};

}  // namespace ui
