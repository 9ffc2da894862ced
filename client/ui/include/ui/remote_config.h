// "远程配置" (CRemoteParamsCfg) and its page CRemoteDevConfig for one server.
// The rules live in model::RemoteDevConfig; these classes move the fields in,
// run the device commands on a worker thread and show the results.
//
// objectNames of the widgets (tests and the screenshot program use them):
//   frame   "tabs" (QTabWidget, tab "设备配置"), "page" (CRemoteDevConfig),
//           "saveParams", "restoreDefaults", "exit" (CBMPButton, "保存参数",
//           "恢复默认值", "退出")
//   "设备信息"  "deviceName" (editable), "deviceId", "authAddress", "authPort",
//             "allowedCaller", "simPhone", "gpsPosition" ("车辆位置", filled from the
//             device on opening and with "获取状态") (read-only QLineEdit), "saveDevice"
//   "视频信息"  "videoChannel", "videoFormat", "streamType", "frameRate", "videoType",
//             "bitRate" (QComboBox), "channelName" (QLineEdit), "saveVideo", "copyVideo"
//   "云台信息"  "ptzChannel", "baudRate", "dataBits", "stopBits", "parity",
//             "flowControl", "decoderType" (QComboBox), "decoderAddress" (QLineEdit),
//             "savePtz", "copyPtz"
//   "远程布防"  "armInside", "armPerimeter", "armRecording" (QCheckBox), "getStatus",
//             "saveArming"
//   "密码修改"  "oldPassword", "newPassword", "confirmPassword" (QLineEdit), "changePassword"
//   "status" (QLabel): what the page waits for while a device command runs
#pragma once

#include <QDialog>
#include <QList>
#include <QWidget>

#include <mutex>

#include "model/client_state.h"
#include "model/remote_config.h"
#include "platform/thread.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace ui {

class CRemoteDevConfig : public QWidget {
  Q_OBJECT

 public:
  CRemoteDevConfig(model::ClientState& state, int server, model::DeviceConfig& device,
                   model::MessageSink& messages, QWidget* parent = nullptr);
  // Waits for a running device command (bounded by the SDK's time-out).
  ~CRemoteDevConfig() override;

  model::RemoteDevConfig& Controller() { return controller_; }
  // A device command runs on the worker thread.
  bool Busy() const { return busy_; }

 signals:
  void BusyChanged(bool busy);

 protected:
  // Enter marks the device information changed, Escape clears the mark; neither
  // reaches the frame.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void build();
  void show_device(const model::DeviceInfo& info);
  void show_video(const model::VideoSettings& v);
  void show_ptz(const model::PtzSettings& p);
  void show_arming(const model::Arming& a);
  model::DeviceInfo read_device() const;
  model::VideoSettings read_video() const;
  model::PtzSettings read_ptz() const;
  model::Arming read_arming() const;

  void start(model::DeviceRequest request);
  // "车辆位置" on its own thread, beside the commands, without locking the page.
  void fetch_position();
  void finish(const model::DeviceResult& result);
  void set_busy(bool busy);

  model::DeviceConfig& device_;
  model::RemoteDevConfig controller_;
  bool busy_ = false;
  platform::Thread thread_;
  platform::Thread gps_thread_;
  // The position and the commands may authenticate the same channel: one at a time.
  std::mutex device_mutex_;

  QLineEdit* device_name_;
  QLineEdit* device_id_;
  QLineEdit* auth_address_;
  QLineEdit* auth_port_;
  QLineEdit* allowed_caller_;
  QLineEdit* sim_phone_;
  QLineEdit* gps_position_;

  QComboBox* video_channel_;
  QComboBox* video_format_;
  QComboBox* stream_type_;
  QComboBox* frame_rate_;
  QComboBox* video_type_;
  QComboBox* bit_rate_;
  QLineEdit* channel_name_;

  QComboBox* ptz_channel_;
  QComboBox* baud_rate_;
  QComboBox* data_bits_;
  QComboBox* stop_bits_;
  QComboBox* parity_;
  QComboBox* flow_control_;
  QComboBox* decoder_type_;
  QLineEdit* decoder_address_;

  QCheckBox* arm_inside_;
  QCheckBox* arm_perimeter_;
  QCheckBox* arm_recording_;

  QLineEdit* old_password_;
  QLineEdit* new_password_;
  QLineEdit* confirm_password_;

  QList<QPushButton*> commands_;
  QLabel* status_;
};

class CRemoteParamsCfg : public QDialog {
  Q_OBJECT

 public:
  CRemoteParamsCfg(model::ClientState& state, int server, model::DeviceConfig& device,
                   model::MessageSink& messages, QWidget* parent = nullptr);

  CRemoteDevConfig* Page() { return page_; }
  // While a device command runs the dialog cannot be closed.
  void reject() override;

 private:
  QTabWidget* tabs_;
  CRemoteDevConfig* page_;
  QPushButton* save_params_;
  QPushButton* restore_defaults_;
  QPushButton* exit_;
};

}  // namespace ui
