// CPresetPTZ "预置点及云台速度设置": the modeless preset and cruise editor of
// the pane that opened it. The rules live in model::PresetEditor; the device
// commands go through a PTZ call the tests can record.
#pragma once

#include <QDialog>
#include <QPointer>

#include <filesystem>
#include <functional>
#include <optional>

#include "model/client_state.h"
#include "model/preset_editor.h"
#include "ui/output_pane.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTimer;
class QTreeWidget;

namespace ui {

class CPresetPTZ : public QDialog {
  Q_OBJECT

 public:
  // PtzControl's arguments: login handle, channel, command, values A-D.
  using PtzCall = std::function<int(long, long, int, int, int, int, int)>;

  CPresetPTZ(model::ClientState& state, model::MessageSink& messages, QWidget* parent = nullptr);
  ~CPresetPTZ() override;

  // Records the pane, reads its channel's preset file, refills the lists. The
  // caller shows the dialog.
  void Open(CMyOutput* pane);
  const model::PresetEditor& Editor() const { return editor_; }
  int Protocol() const { return editor_.protocol(); }
  std::filesystem::path PresetFile() const { return file_; }
  bool Touring() const;

  // Tests record the device commands, answer the close question and shorten
  // the dwell (milliseconds per second of dwell).
  void SetPtzCall(PtzCall call) { ptz_ = std::move(call); }
  void SetSaveQuestion(model::SaveQuestion ask) { ask_ = std::move(ask); }
  void SetDwellUnitMs(int ms) { dwell_unit_ms_ = ms; }

 protected:
  void closeEvent(QCloseEvent* e) override;
  void reject() override;

 private:
  void build();
  void refresh_presets();
  void refresh_points();
  // The "巡航点:" choices: the presets not yet in the shown path.
  void refresh_point_choices();
  void refresh_buttons();
  void send(int command, int preset);
  bool pane_still_ours() const;
  void on_add_preset();
  void on_remove_preset();
  void on_rename_preset();
  void on_goto_preset();
  void on_preset_clicked();
  void on_speed();
  void on_path(int path);
  void on_add_point();
  void on_remove_point();
  void on_clear_path();
  void on_finish();
  void on_run();
  void on_stop();
  void on_save();
  void tour_step();
  void stop_tour();

  model::ClientState& state_;
  model::MessageSink& messages_;
  model::PresetEditor editor_;
  PtzCall ptz_;
  model::SaveQuestion ask_;
  int dwell_unit_ms_ = 1000;

  QPointer<CMyOutput> pane_;
  long login_ = -1;
  int channel_ = -1;
  std::filesystem::path file_;
  std::optional<model::CruiseTour> tour_;
  QTimer* tour_timer_ = nullptr;

  QTreeWidget* presets_ = nullptr;
  QSpinBox* number_ = nullptr;
  QLineEdit* name_ = nullptr;
  QSpinBox* speed_ = nullptr;
  QComboBox* path_ = nullptr;
  QTreeWidget* points_ = nullptr;
  QComboBox* point_ = nullptr;
  QSpinBox* dwell_ = nullptr;
  QSpinBox* point_speed_ = nullptr;
  QLabel* point_speed_label_ = nullptr;
  QPushButton* remove_point_ = nullptr;
  QPushButton* finish_ = nullptr;
  QPushButton* run_ = nullptr;
  QPushButton* stop_ = nullptr;
};

}  // namespace ui
