// CTavimorApp: the life of the process. Starts the SDK, runs the local login,
// shows the splash while the desk builds itself, runs the desk and releases
// the SDK at the end.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>

#include "model/client_state.h"
#include "model/messages.h"
#include "splash.h"
#include "ui/main_window.h"
#include "ui/message_box.h"
#include "ui/sdk_login.h"

struct AppOptions {
  // Empty: desktop_working_folder() when started from the desktop's menu,
  // otherwise the current directory.
  std::filesystem::path working_folder;
  // Started from the desktop's menu, where the current directory means nothing.
  bool desktop = false;
  // Press "预览" once the desk is up.
  bool preview = false;
  // Panes per page chosen once the desk is up (0: the desk's own 9).
  int layout = 0;
  // Written every 500 ms with the desk's StatusReport (empty: none).
  std::filesystem::path status_file;
};

// The working folder of a program started from the desktop: <data>/brevanta
// with <data> $XDG_DATA_HOME when that is an absolute path, else
// $HOME/.local/share. Empty when neither gives an absolute path.
std::filesystem::path desktop_working_folder(const char* xdg_data_home, const char* home);

class CTavimorApp {
 public:
  // messages: where message boxes go (null: Qt message boxes).
  explicit CTavimorApp(AppOptions options, model::MessageSink* messages = nullptr);
  ~CTavimorApp();
  CTavimorApp(const CTavimorApp&) = delete;
  CTavimorApp& operator=(const CTavimorApp&) = delete;

  // Start-up up to the desk shown and initialised; false when the login ended
  // the program (no desk).
  bool InitInstance();
  // Runs the desk modally until it closes.
  int Run();
  // Releases the SDK (once).
  void ExitInstance();
  // The system asked the program to end (SIGTERM, SIGINT): open dialogs are
  // rejected and the desk exits as "退出系统" would, without the question.
  void RequestExit();

  model::ClientState& State() { return state_; }
  ui::CTavimorDlg* MainWindow() { return main_.get(); }
  COrvClnInit* Splash() { return splash_.get(); }
  bool SplashShown() const { return splash_shown_; }

 private:
  bool run_login();
  void install_pictures();

  AppOptions options_;
  ui::QtMessageSink qt_messages_;
  model::MessageSink& messages_;
  ui::SdkDeviceLogin sdk_;
  model::ClientState state_;
  std::unique_ptr<COrvClnInit> splash_;
  std::unique_ptr<ui::CTavimorDlg> main_;
  bool sdk_started_ = false;
  bool released_ = false;
  bool splash_shown_ = false;
  bool exit_requested_ = false;
};
