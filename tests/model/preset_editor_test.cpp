// The preset editor's rules, its file and the cruise tour.
#include "model/preset_editor.h"

#include <gtest/gtest.h>

#include "model_test_util.h"

namespace {

using model::PresetEditor;
using model_test::Recorder;
using model_test::TempDir;

TEST(PresetEditor, PresetTableRefusals) {
  PresetEditor e;
  e.open({}, 7);
  Recorder m;
  EXPECT_TRUE(e.add_preset(5, u"门口", m));
  EXPECT_FALSE(e.add_preset(5, u"again", m));
  EXPECT_EQ(m.texts(), std::vector<std::u16string>{u"该编号预置点已存在"});
  struct Case {
    int number;
    std::u16string name;
    std::u16string_view message;
  };
  for (const Case& c :
       {Case{128, u"x", model::kPresetNumberRange}, Case{0, u"x", model::kPresetNumberRange},
        Case{6, std::u16string(32, u'名'), model::kPresetNameTooLong}}) {
    m.clear();
    EXPECT_FALSE(e.add_preset(c.number, c.name, m)) << c.number;
    EXPECT_EQ(m.texts(), std::vector<std::u16string>{std::u16string(c.message)}) << c.number;
  }
  EXPECT_TRUE(e.add_preset(127, std::u16string(31, u'名'), m));
  EXPECT_EQ(e.preset_rows().size(), 2u);
  EXPECT_EQ(e.preset_rows()[0].name, u"门口");
  EXPECT_EQ(e.preset_rows()[1].name.size(), 31u);

  // Renaming a free entry changes nothing; removing frees the entry.
  EXPECT_FALSE(e.rename_preset(9, u"x", m));
  EXPECT_TRUE(e.rename_preset(5, u"后门", m));
  EXPECT_EQ(e.preset(5)->name, u"后门");
  EXPECT_TRUE(e.remove_preset(5, m));
  EXPECT_FALSE(e.preset(5));
  EXPECT_TRUE(e.add_preset(5, u"", m));
}

TEST(PresetEditor, CruiseButtonsAndTheTwoPointRule) {
  for (int protocol : {25, 7}) {
    PresetEditor e;
    e.open({}, protocol);
    Recorder m;
    for (int n : {1, 2, 3}) e.add_preset(n, u"", m);
    EXPECT_FALSE(e.buttons().run);
    EXPECT_FALSE(e.buttons().finish);
    EXPECT_EQ(e.free_presets(), (std::vector<int>{1, 2, 3}));
    const int speed = protocol == 25 ? 4 : 200;
    ASSERT_TRUE(e.add_point(2, 10, speed, m));
    EXPECT_EQ(e.free_presets(), (std::vector<int>{1, 3}));
    EXPECT_TRUE(e.buttons().finish);
    EXPECT_FALSE(e.buttons().run);
    EXPECT_EQ(e.finish(m), protocol != 25) << protocol;
    if (protocol == 25) {
      EXPECT_EQ(m.texts(), std::vector<std::u16string>{u"一条巡航轨迹必须由两个以上续航点组成\n!"});
      EXPECT_FALSE(e.add_point(3, 10, 9, m));  // 1-8 only
      ASSERT_TRUE(e.add_point(3, 10, 8, m));
      EXPECT_TRUE(e.finish(m));
    }
    EXPECT_TRUE(e.buttons().run);
    EXPECT_FALSE(e.buttons().finish);
    EXPECT_TRUE(e.run());
    EXPECT_EQ(e.buttons().run, false);
    EXPECT_EQ(e.buttons().stop, true);
    e.stop();
    EXPECT_TRUE(e.buttons().run);

    // Another path shows its own points; "删除点" follows the selection.
    e.select_path(1);
    EXPECT_TRUE(e.point_rows().empty());
    EXPECT_FALSE(e.buttons().run);
    e.select_path(0);
    e.select_point(0);
    EXPECT_TRUE(e.buttons().remove_point);
    ASSERT_TRUE(e.remove_point(0));
    EXPECT_FALSE(e.buttons().remove_point);
    EXPECT_EQ(e.point_rows().size(), protocol == 25 ? 1u : 0u);
    if (protocol == 25) {
      EXPECT_EQ(e.point_rows()[0].preset, 3);
    }
  }
}

TEST(PresetEditor, APathHoldsEightyPoints) {
  PresetEditor e;
  e.open({}, 7);
  Recorder m;
  e.add_preset(1, u"", m);
  for (int i = 0; i < model::kCruisePoints; ++i) ASSERT_TRUE(e.add_point(1, 3, 3, m)) << i;
  EXPECT_FALSE(e.add_point(1, 3, 3, m));
  EXPECT_EQ(m.texts(), std::vector<std::u16string>{std::u16string(model::kPathFull)});
  EXPECT_FALSE(e.add_point(0, 3, 3, m));  // nothing chosen
  e.clear_path();
  EXPECT_TRUE(e.point_rows().empty());
}

TEST(PresetEditor, SaveAndTheCloseQuestion) {
  TempDir dir;
  const auto file = dir.path() / "p.dat";
  PresetEditor e;
  e.open({}, 25);
  Recorder m;
  int asked = 0;
  auto answer = [&](model::SaveAnswer a) {
    return [&asked, a](std::u16string_view text, std::u16string_view) {
      EXPECT_EQ(text, u"配置已修改,是否保存？");
      ++asked;
      return a;
    };
  };
  EXPECT_TRUE(e.close(answer(model::SaveAnswer::kCancel), file, m));
  e.add_preset(5, u"a", m);
  EXPECT_FALSE(e.close(answer(model::SaveAnswer::kCancel), file, m));
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(e.save(file, m));
  EXPECT_TRUE(e.close(answer(model::SaveAnswer::kCancel), file, m));
  EXPECT_EQ(asked, 1);

  e.set_speed(40);
  EXPECT_TRUE(e.close(answer(model::SaveAnswer::kYes), file, m));
  EXPECT_EQ(model::read_preset_file(file).speed, 40);
  e.add_preset(6, u"b", m);
  EXPECT_TRUE(e.close(answer(model::SaveAnswer::kNo), file, m));
  EXPECT_FALSE(model::read_preset_file(file).presets[6].number);

  // A save that cannot write keeps the window and the question.
  e.add_preset(7, u"c", m);
  EXPECT_FALSE(e.save(dir.path() / "missing" / "p.dat", m));
  EXPECT_EQ(m.texts().back(), model::kPresetSaveFailed);
  EXPECT_TRUE(e.changed());
}

TEST(PresetFile, RoundTripAndDamage) {
  TempDir dir;
  PresetEditor e;
  e.open({}, 7);
  Recorder m;
  e.add_preset(1, u"一", m);
  e.add_preset(127, u"末", m);
  e.add_point(127, 9, 200, m);
  e.select_path(7);
  e.add_point(1, 255, 0, m);
  e.set_speed(63);
  const auto file = dir.path() / "p.dat";
  ASSERT_TRUE(e.save(file, m));
  EXPECT_EQ(model::read_preset_file(file), e.working());
  EXPECT_EQ(model::preset_file_name(u"a/b", 3), u"Preset_a_b_3.dat");

  // Opening what was read asks nothing at close.
  PresetEditor again;
  again.open(model::read_preset_file(file), 7);
  EXPECT_FALSE(again.changed());
  EXPECT_EQ(again.point_rows().size(), 1u);
  EXPECT_TRUE(again.buttons().run);

  const std::string good = model_test::read_file(file);
  std::string flipped = good;
  flipped[100] = static_cast<char>(flipped[100] ^ 1);
  for (const std::string& bad : {std::string(), good.substr(0, good.size() - 1), good + "x",
                                 flipped, std::string("XPRS") + good.substr(4)}) {
    model_test::write_file(file, bad);
    EXPECT_EQ(model::read_preset_file(file), model::PresetBlock{}) << bad.size();
  }
  model::PresetBlock misplaced;
  misplaced.presets[3].number = 4;
  EXPECT_FALSE(model::decode_preset_block(model::encode_preset_block(misplaced)));
  EXPECT_EQ(model::read_preset_file(dir.path() / "none.dat"), model::PresetBlock{});
}

TEST(CruiseTour, VisitsThePointsInOrderAndLoops) {
  model::CruisePath path{};
  EXPECT_FALSE(model::CruiseTour(path).next());
  path[0] = {4, 3, 1};
  path[1] = {9, 0, 1};
  model::CruiseTour tour(path);
  std::vector<std::pair<int, int>> seen;
  for (int i = 0; i < 5; ++i) {
    auto s = tour.next();
    ASSERT_TRUE(s);
    seen.emplace_back(s->preset, s->dwell_s);
  }
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{4, 3}, {9, 1}, {4, 3}, {9, 1}, {4, 3}}));
}

}  // namespace
