#include "tavimor_app.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <fstream>
#include <system_error>

#include "controls/skin.h"
#include "model/user_dialogs.h"
#include "model/users.h"
#include "platform/drives.h"
#include "platform/files.h"
#include "ui/login_dialogs.h"
#include "velmosdk.h"

std::filesystem::path desktop_working_folder(const char* xdg_data_home, const char* home) {
  std::filesystem::path data;
  if (xdg_data_home && std::filesystem::path(xdg_data_home).is_absolute())
    data = xdg_data_home;
  else if (home && std::filesystem::path(home).is_absolute())
    data = std::filesystem::path(home) / ".local" / "share";
  else
    return {};
  return data.lexically_normal() / "brevanta";
}

CTavimorApp::CTavimorApp(AppOptions options, model::MessageSink* messages)
    : options_(std::move(options)), messages_(messages ? *messages : qt_messages_) {}

CTavimorApp::~CTavimorApp() {
  main_.reset();
  splash_.reset();
  ExitInstance();
}

void CTavimorApp::install_pictures() {
  // The pictures the windows load from the working folder come with the
  // program; ones already there are kept.
  const std::filesystem::path from = skin::folder().toStdString();
  const std::filesystem::path to = state_.working_folder / "res";
  std::error_code ec;
  std::vector<std::string> names;
  for (const char* name : {"maindlgbk.bmp", "logo.bmp", "NoSignal1.bmp", "NoSignal2.bmp"}) {
    names.emplace_back(name);
    // The same picture with English words, when the interface is English.
    const QString own = skin::language_variant(QString::fromLatin1(name));
    if (!own.isEmpty()) names.push_back(own.toStdString());
  }
  for (const std::string& name : names) {
    if (!std::filesystem::exists(from / name, ec) || std::filesystem::exists(to / name, ec))
      continue;
    std::filesystem::create_directories(to, ec);
    std::filesystem::copy_file(from / name, to / name, ec);
  }
}

bool CTavimorApp::run_login() {
  const model::UserFiles files(state_.working_folder);
  model::UserDialogs controller(files, state_.user, messages_);
  switch (model::startup_login(files, state_.user)) {
    case model::StartupLogin::kNone:
      return true;
    case model::StartupLogin::kLogin: {
      state_.startup_login_mode = 0;
      ui::CDlgLogin dialog(controller);
      qt_messages_.set_parent(&dialog);
      return dialog.exec() == QDialog::Accepted;
    }
    case model::StartupLogin::kFirstLogin: {
      state_.startup_login_mode = 1;
      platform::write_owner_only(files.admin_path(), {});
      ui::CFirstLogin dialog(controller);
      qt_messages_.set_parent(&dialog);
      return dialog.exec() == QDialog::Accepted;
    }
  }
  return false;
}

bool CTavimorApp::InitInstance() {
  sdk_started_ = true;
  if (!InitMonitClientSDK()) messages_.info(u"初始化SDK失败！");

  std::error_code ec;
  if (!options_.working_folder.empty()) {
    state_.working_folder = options_.working_folder;
  } else if (options_.desktop) {
    const QByteArray data = qgetenv("XDG_DATA_HOME");
    const QByteArray home = qgetenv("HOME");
    state_.working_folder = desktop_working_folder(data.isNull() ? nullptr : data.constData(),
                                                   home.isNull() ? nullptr : home.constData());
    if (state_.working_folder.empty())
      ec = std::make_error_code(std::errc::no_such_file_or_directory);
    else
      std::filesystem::create_directories(state_.working_folder, ec);
  } else {
    state_.working_folder = std::filesystem::current_path(ec);
  }
  if (ec) {
    messages_.info(u"无法获取当前目录!");
    state_.working_folder.clear();
  }
  install_pictures();
  if (!run_login()) return false;

  splash_ = std::make_unique<COrvClnInit>(state_.working_folder);
  splash_->show();
  splash_shown_ = true;
  QCoreApplication::processEvents();

  state_.drives.drives = platform::recording_drives();

  main_ = std::make_unique<ui::CTavimorDlg>(state_, messages_, sdk_);
  qt_messages_.set_parent(main_.get());
  main_->Initialise(
      [this] {
        if (splash_) splash_->close();
      },
      [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
  main_->show();
  if (options_.layout) main_->SelectLayout(options_.layout);
  if (!options_.status_file.empty()) {
    auto* status = new QTimer(main_.get());
    QObject::connect(status, &QTimer::timeout, main_.get(), [this] {
      // Written beside and renamed, so a reader never sees half a report.
      const std::filesystem::path tmp = options_.status_file.string() + ".new";
      {
        std::ofstream out(tmp, std::ios::trunc);
        out << main_->StatusReport();
      }
      std::error_code ec;
      std::filesystem::rename(tmp, options_.status_file, ec);
    });
    status->start(500);
  }
  if (options_.preview) {
    QTimer::singleShot(0, main_.get(), [this] {
      if (main_) main_->OnPreview();
    });
  }
  return true;
}

void CTavimorApp::RequestExit() {
  exit_requested_ = true;
  // Their callers see them rejected and give way.
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* d = qobject_cast<QDialog*>(w); d && d != main_.get() && d->isVisible()) d->reject();
  if (main_) main_->ExitNow();
}

int CTavimorApp::Run() {
  if (!main_) return 0;
  const int result = exit_requested_ ? 0 : main_->exec();
  // A re-login still waiting on its server returns once the SDK is released,
  // so the desk's worker joins at once.
  ExitInstance();
  splash_.reset();
  main_.reset();
  return result;
}

void CTavimorApp::ExitInstance() {
  if (!sdk_started_ || released_) return;
  released_ = true;
  ReleaseMonitClientSDK();
}
