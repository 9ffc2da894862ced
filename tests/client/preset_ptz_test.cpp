// The preset editor opened from a playing pane of the desk, against the
// in-process simulator: its commands reach the device as PTZ frames.
#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>
#include <cctype>

#include "client_test_util.h"
#include "demo_workdir.h"
#include "model/preset_editor.h"
#include "model/users.h"
#include "model_test_util.h"
#include "sim_client.h"
#include "simulator.h"
#include "tavimor_app.h"
#include "ui/main_window.h"
#include "ui/preset_ptz.h"

namespace {

using client_test::pump_until;
using model_test::Recorder;

constexpr const char* kFleet =
    "device 200000000001 13900000001 111111\n"
    "channel 0 client-monitor-direct\n";

class PresetDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(client_.start(kFleet));
    desk_ = app_->MainWindow();
    desk_->SetPaneStartPause(0);
    desk_->SelectLayout(1);
    desk_->OnPreview();
    ASSERT_TRUE(pump_until([&] { return !desk_->PreviewBusy(); }));
    ASSERT_TRUE(pump_until([&] { return desk_->Pane(0)->Backend().pictures_received() > 0; }));
  }

  void open_from_menu() {
    desk_->BuildPaneMenu(0)->findChild<QAction*>(QStringLiteral("32782"))->trigger();
  }

  // The PTZ frames the device received, as upper-case hexadecimal text.
  std::vector<std::string> frames() {
    std::vector<std::string> out;
    for (const auto& p : sim_->devices().log().ptz()) {
      std::string s = p.ptz.content;
      std::transform(s.begin(), s.end(), s.begin(),
                     [](unsigned char c) { return std::toupper(c); });
      out.push_back(s);
    }
    return out;
  }
  bool wait_frames(std::size_t n) {
    return pump_until([&] { return frames().size() >= n; }, 5000);
  }

  template <typename W>
  W* find(const char* name) {
    return desk_->PresetDialog()->findChild<W*>(QString::fromLatin1(name));
  }
  void click(const char* name) { find<QPushButton>(name)->click(); }

  client_test::SimClient client_;
  model_test::TempDir& dir_ = client_.dir;
  Recorder& messages_ = client_.messages;
  std::unique_ptr<orvsim::Simulator>& sim_ = client_.sim;
  std::unique_ptr<CTavimorApp>& app_ = client_.app;
  ui::CTavimorDlg* desk_ = nullptr;
};

TEST_F(PresetDialog, CommandsReachTheDeviceAndTheTourRunsUntilStopped) {
  // Without the right nothing opens.
  const auto rights = app_->State().user.rights;
  app_->State().user.rights = model::kBasicRights;
  open_from_menu();
  EXPECT_EQ(desk_->PresetDialog(), nullptr);
  EXPECT_EQ(messages_.texts(), std::vector<std::u16string>{std::u16string(model::kNoRight)});
  app_->State().user.rights = rights;

  open_from_menu();
  ui::CPresetPTZ* dialog = desk_->PresetDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(dialog->PresetFile(), dir_.path() / "Preset_200000000001_0.dat");

  find<QSpinBox>("presetNumber")->setValue(5);
  find<QLineEdit>("presetName")->setText(QStringLiteral("门口"));
  click("setPreset");
  ASSERT_TRUE(wait_frames(1));
  EXPECT_EQ(frames().back(), "FF010003000509");
  click("gotoPreset");
  ASSERT_TRUE(wait_frames(2));
  EXPECT_EQ(frames().back(), "FF01000700050D");

  // A path of presets 5 and 6, toured with short dwells.
  find<QSpinBox>("presetNumber")->setValue(6);
  click("setPreset");
  ASSERT_TRUE(wait_frames(3));
  auto* point = find<QComboBox>("pointCombo");
  for (int n : {5, 6}) {
    point->setCurrentIndex(point->findData(n));
    click("addPoint");
  }
  click("finishPath");
  ASSERT_TRUE(find<QPushButton>("runPath")->isEnabled());
  dialog->SetDwellUnitMs(20);
  click("runPath");
  EXPECT_FALSE(find<QPushButton>("runPath")->isEnabled());
  ASSERT_TRUE(wait_frames(6));
  const auto toured = frames();
  EXPECT_EQ(std::vector<std::string>(toured.begin() + 3, toured.begin() + 6),
            (std::vector<std::string>{"FF01000700050D", "FF01000700060E", "FF01000700050D"}));
  click("stopPath");
  EXPECT_FALSE(dialog->Touring());
  EXPECT_TRUE(find<QPushButton>("runPath")->isEnabled());
  const std::size_t after_stop = frames().size();
  pump_until([] { return false; }, 300);
  EXPECT_LE(frames().size(), after_stop + 1);  // one frame may have been in flight

  // Closing with changes asks; Cancel keeps it, Yes saves and closes.
  std::vector<std::u16string> asked;
  model::SaveAnswer answer = model::SaveAnswer::kCancel;
  dialog->SetSaveQuestion([&](std::u16string_view text, std::u16string_view) {
    asked.emplace_back(text);
    return answer;
  });
  dialog->close();
  EXPECT_TRUE(dialog->isVisible());
  answer = model::SaveAnswer::kYes;
  dialog->close();
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(asked, (std::vector<std::u16string>(2, u"配置已修改,是否保存？")));

  // Opening again reads the file back: the same presets, nothing to ask.
  open_from_menu();
  EXPECT_EQ(desk_->PresetDialog(), dialog);
  EXPECT_EQ(dialog->Editor().preset_rows().size(), 2u);
  dialog->close();
  EXPECT_EQ(asked.size(), 2u);
  EXPECT_FALSE(dialog->isVisible());
}

}  // namespace
