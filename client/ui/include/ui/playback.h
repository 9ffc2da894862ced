// The playback window "回放" (CPlayBack) and its page "本地文件" (CLocalFilePlay):
// the client's own recordings found on the recording drives, played on player
// port 17. The rules (search checks, transport states, deletion, names) live in
// model/recording.h; this file binds them to the widgets and the player.
//
// objectNames of CLocalFilePlay ("localFilePlay"):
//   search  "server", "channel", "fileType" (QComboBox), "startDate", "endDate"
//           (QDateEdit), "startTime", "endTime" (QTimeEdit), "search" ("查找",
//           "停止查找" while a search runs), "delete", "deleteAll", "fileList"
//           (QTreeWidget, five columns)
//   video   "video" (CPlayVideo), "progress" (QSlider 0-200)
//   buttons "play", "stop", "slow", "fast", "snapshot", "frameBack",
//           "frameForward", "sound" (CBMPButton, pictures with tool tips),
//           "volume" (QSlider 0-65535), "clipStart" ("保存"), "clipEnd" ("停止保存")
//   lines   "status" (progress, or the search under way), "snapshotMessage"
//   export  "exportMp4" ("导出MP4", the selected file), "exportProgress"
//           (QProgressDialog while it runs)
// CPlayBack: "tabs" (QTabWidget), "exit" ("退出").
#pragma once

#include <QDialog>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "export/mp4_export.h"
#include "model/client_state.h"
#include "model/recording.h"
#include "platform/thread.h"
#include "ui/qt_window.h"
#include "ui/zoom_control.h"

class QComboBox;
class QDateEdit;
class QLabel;
class QProgressDialog;
class QPushButton;
class QSlider;
class QTabWidget;
class QTimeEdit;
class QTimer;
class QTreeWidget;
class QVBoxLayout;

namespace ui {

// The video area: the player draws into its platform window (scaled to the
// widget's size); the widget paints the latest picture. The wheel zooms into
// it, a drag pans the zoomed picture, Escape or "0" shows the whole again.
class CPlayVideo : public QWidget {
 public:
  explicit CPlayVideo(QWidget* parent = nullptr);
  ~CPlayVideo() override;

  HWND Hwnd() const { return window_->hwnd(); }
  QtWindowBackend& Backend() { return window_->backend(); }
  // Forgets the picture (no file is shown any more) and the zoom.
  void Clear();
  // Shows the whole picture again.
  void ResetZoom();
  const ZoomControl& Zoom() const { return zoom_; }

  std::function<void()> on_double_click;
  std::function<void()> on_resize;

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mouseDoubleClickEvent(QMouseEvent*) override;
  void wheelEvent(QWheelEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void keyPressEvent(QKeyEvent*) override;

 private:
  void zoom_changed();

  std::unique_ptr<QtWindow> window_;
  ZoomControl zoom_;
};

class CLocalFilePlay : public QWidget {
  Q_OBJECT

 public:
  static constexpr long kPlayPort = 17;
  static constexpr int kProgressPeriodMs = 500;
  // The clip's save dialog: the chosen path, or empty when cancelled. folder is
  // where it opens.
  using SavePathChooser = std::function<QString(QWidget* parent, const QString& folder)>;
  // The MP4 export's save dialog: the chosen path, or empty when cancelled.
  using ExportPathChooser = std::function<QString(const QString& suggested)>;

  CLocalFilePlay(model::ClientState& state, model::MessageSink& messages,
                 QWidget* parent = nullptr);
  ~CLocalFilePlay() override;

  // The buttons' commands.
  void OnSearch();  // "查找", or ends the search under way
  void OnDelete();
  void OnDeleteAll();
  void OnPlay();  // open and play the selected file, pause/resume, leave single-step
  void OnStop();
  void OnSlow();
  void OnFast();
  void OnSnapshot();
  void OnFrameBack();
  void OnFrameForward();
  void OnSound();
  void OnClipStart();
  void OnClipEnd();
  void OnExportMp4();  // "导出MP4": the selected file on its own thread
  // The window closes: the search and the export end (joined; the export's
  // partial output is removed) and the file is closed.
  void Close();

  bool Searching() const { return searching_; }
  bool Exporting() const { return exporting_; }
  bool FileOpen() const { return file_open_; }
  model::Transport State() const { return transport_; }
  bool SoundOn() const { return sound_on_; }
  bool Enlarged() const { return enlarged_; }
  // The progress slider's last position as the seek compares it.
  int LastPosition() const { return last_position_; }
  const std::vector<model::FileRow>& Rows() const { return rows_; }
  CPlayVideo* Video() const { return video_; }
  // QFileDialog unless replaced (tests).
  void SetSavePathChooser(SavePathChooser chooser) { choose_save_path_ = std::move(chooser); }
  void SetExportPathChooser(ExportPathChooser chooser) { choose_export_path_ = std::move(chooser); }

 signals:
  // A search ended and its rows are listed ("文件查找结束!" was shown).
  void searchFinished();
  // The enlarged view began or ended; the window stretches or returns.
  void enlargedChanged(bool enlarged);
  // A snapshot was written (or failed) and the snapshot line says so.
  void snapshotTaken(bool ok);
  // An export ended and its message was shown (none after a cancel).
  void exportFinished(bool ok);

 private:
  void build();
  void fill_servers();
  void server_chosen(int item);
  model::SearchRequest read_request(bool& server_chosen) const;
  void search_progress();
  void search_done(std::vector<model::FileRow> rows);
  void list_rows();
  void remove_row(std::size_t row);
  bool open_selected();
  void close_file();
  void apply_controls();
  void set_transport(model::Transport state);
  void update_progress(bool move_slider);
  void seek(int position);
  void toggle_enlarged();
  void set_enlarged(bool enlarged);
  bool remove_file(const std::filesystem::path& file);
  void index_ready(std::uintptr_t generation);
  void snapshot_written(const std::filesystem::path& file, bool ok);
  QString choose_save_path(const QString& folder);
  QString choose_export_path(const QString& suggested);
  void update_export_button();
  void export_progress();
  void export_done(const exporter::Mp4ExportResult& result);
  void end_export();

  // Player threads: the shown picture (snapshots) and the finished frame index.
  static void display_callback(long port, char* buffer, long size, long width, long height,
                               long time_stamp, long type, long reserved);
  static void fileref_callback(long port, void* user);

  model::ClientState& state_;
  model::MessageSink& messages_;
  SavePathChooser choose_save_path_;
  ExportPathChooser choose_export_path_;

  // Search.
  platform::Thread search_thread_;
  std::atomic<bool> cancel_search_{false};
  std::atomic<std::size_t> found_{0};
  std::atomic<bool> progress_posted_{false};
  bool searching_ = false;
  std::vector<model::FileRow> rows_;
  int rows_channel_ = -1;  // the channel the listed rows were searched for
  int first_channel_ = 0;  // of the chosen server: "通道" item k is channel first + k - 1

  // Playback.
  model::Transport transport_ = model::Transport::kInitial;
  bool file_open_ = false;
  bool paused_ = false;
  bool single_step_ = false;
  bool sound_on_ = false;
  bool index_ready_ = false;
  bool clipping_ = false;
  bool enlarged_ = false;
  bool moving_slider_ = false;
  int last_position_ = 0;
  long clip_start_frame_ = 0;
  std::uintptr_t generation_ = 0;  // of the file opened last
  std::filesystem::path open_path_;
  model::SnapshotNaming naming_;

  // MP4 export.
  platform::Thread export_thread_;
  std::atomic<bool> cancel_export_{false};
  std::atomic<double> export_fraction_{0};
  std::atomic<bool> export_posted_{false};
  bool exporting_ = false;
  QString export_target_;
  QPointer<QProgressDialog> export_progress_;

  QComboBox* server_;
  QComboBox* channel_;
  QComboBox* file_type_;
  QDateEdit* start_date_;
  QTimeEdit* start_time_;
  QDateEdit* end_date_;
  QTimeEdit* end_time_;
  QPushButton* search_;
  QPushButton* delete_;
  QPushButton* delete_all_;
  QPushButton* export_mp4_;
  QTreeWidget* list_;
  CPlayVideo* video_;
  QSlider* progress_;
  QPushButton* play_;
  QPushButton* stop_;
  QPushButton* slow_;
  QPushButton* fast_;
  QPushButton* snapshot_;
  QPushButton* frame_back_;
  QPushButton* frame_forward_;
  QPushButton* sound_;
  QSlider* volume_;
  QLabel* status_;
  QLabel* snapshot_line_;
  QPushButton* clip_start_;
  QPushButton* clip_end_;
  QTimer* progress_timer_;
  // Hidden in the enlarged view.
  std::vector<QWidget*> surroundings_;
  QVBoxLayout* outer_;
};

class CPlayBack : public QDialog {
  Q_OBJECT

 public:
  CPlayBack(model::ClientState& state, model::MessageSink& messages, QWidget* parent = nullptr);

  CLocalFilePlay* Page() const { return page_; }
  QTabWidget* Tabs() const { return tabs_; }

  // "退出", Escape and the window's close button: playback stops first.
  void reject() override;

 private:
  void set_enlarged(bool enlarged);

  QTabWidget* tabs_;
  CLocalFilePlay* page_;
  QPushButton* exit_;
  QVBoxLayout* outer_;
  QRect normal_geometry_;
};

}  // namespace ui
