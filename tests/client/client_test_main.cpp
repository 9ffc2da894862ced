// The client's tests share one QApplication on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>

#include "controls/skin.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  skin::apply_application_style();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
