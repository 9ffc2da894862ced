// The client's tests share one QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <unistd.h>

#include "controls/skin.h"
#include "platform/drives.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The client's folders ("C:\EventLog", "C:\H264record", ...) go to two scratch
  // drives, never to the machine's own disks.
  namespace fs = std::filesystem;
  const fs::path drives =
      fs::temp_directory_path() / ("brevanta-client-drives-" + std::to_string(::getpid()));
  std::error_code ec;
  fs::create_directories(drives / "c", ec);
  fs::create_directories(drives / "d", ec);
  if (!std::getenv(platform::kDrivesEnv))
    ::setenv(platform::kDrivesEnv,
             ((drives / "c").string() + ":" + (drives / "d").string()).c_str(), 1);
  QApplication app(argc, argv);
  skin::apply_application_style();
  ::testing::InitGoogleTest(&argc, argv);
  const int result = RUN_ALL_TESTS();
  fs::remove_all(drives, ec);
  return result;
}
