#include <gtest/gtest.h>

#include "model/config_files.h"
#include "model_test_util.h"

using namespace model;
using model_test::read_file;
using model_test::TempDir;
using model_test::write_file;

namespace {

ServerTable sample_table() {
  ServerTable t;
  reset_table(t);
  for (int i = 0; i < 2; ++i) {
    ServerRecord& s = t.servers[i];
    s.name = i == 0 ? u"测试通道" : u"dev";
    s.display_name = s.name;
    s.address = u"192.168.0.100";
    s.address_extra = -123456789;
    s.second_address = u"0.0.0.0";
    s.second_address_extra = 0x12345678;
    s.user_name = u"admin";
    s.user_password = u"abc";
    s.channel_count = 6;
    s.port = 65535;
    s.device_id = u"1000000" + u16_number(i);
    s.auth_address = u"10.1.2.3";
    s.auth_extra = 70000;
    s.auth_port = 8080;
    s.phone = u"13800000000";
    s.allowed_caller = u"0123456789";
    s.switch1 = 1;
    s.switch3 = 1;
    s.device_password = i == 0 ? u"123456" : u"a";
    for (int k = 0; k < 6; ++k) fill_default_channel(s.channels[k], s, i, k);
  }
  t.servers[0].channels[2].name = u"中文";
  t.servers[0].channels[2].listed = 1;
  t.servers[0].channels[2].play_list_position = 7;
  t.servers[0].channels[2].decoder_address = 255;
  t.servers[0].channels[2].extra = -1;
  return t;
}

// Fields the file does not hold keep their reset values when read back.
void expect_same_stored(const ServerTable& a, const ServerTable& b) {
  for (int i = 0; i < kMaxServers; ++i) {
    ServerRecord x = a.servers[i];
    ServerRecord y = b.servers[i];
    if (!x.used()) {
      EXPECT_FALSE(y.used()) << i;
      continue;
    }
    for (ServerRecord* r : {&x, &y}) {
      r->login_handle = -1;
      r->state = 0;
      r->logged_in = 0;
      r->device_id_copy.clear();
      r->flag1 = r->flag2 = r->flag3 = 0;
      r->reserved.fill(-1);
      for (auto& c : r->channels) {
        c.login_handle = -1;
        c.text.clear();  // the file holds a constant "0" there
      }
    }
    EXPECT_EQ(x, y) << "server " << i;
  }
}

}  // namespace

TEST(ModelChannelCfg, WrittenFileReadsBackFieldForField) {
  TempDir dir;
  const ServerTable table = sample_table();
  ASSERT_TRUE(write_channel_cfg(dir.path(), table));
  ServerTable back;
  reset_table(back);
  PlayList pl;
  pl.count = 9;
  ASSERT_TRUE(read_channel_cfg(dir.path(), back, pl));
  EXPECT_EQ(pl.count, 0);
  expect_same_stored(table, back);
  EXPECT_EQ(back.servers[0].device_password, u"123456");
  EXPECT_EQ(back.servers[0].channels[2].name, u"中文");
  EXPECT_EQ(back.servers[0].channels[2].text, u"0");
  EXPECT_EQ(back.servers[0].channels[6].channel_index, -1);
}

TEST(ModelChannelCfg, LayoutLinesAndCodePage936Bytes) {
  const std::string bytes = format_channel_cfg(sample_table());
  // Every line ends with CR CR LF; the first record opens the file.
  ASSERT_EQ(bytes.rfind("$S\r\r\n0\r\r\nadmin\r\r\nabc\r\r\n6\r\r\n192.168.0.100\r\r\n", 0), 0u);
  // Address extra -123456789 split into halves: -1884 and 13035.
  EXPECT_NE(bytes.find("192.168.0.100\r\r\n-1884\r\r\n13035\r\r\n"), std::string::npos);
  // Name "测试通道" in code page 936, written twice (name and display name), then
  // the port; the bytes are spelled out here independently of the converter.
  const std::string gbk = "\xB2\xE2\xCA\xD4\xCD\xA8\xB5\xC0";
  EXPECT_NE(bytes.find("\r\r\n" + gbk + "\r\r\n65535\r\r\n" + gbk + "\r\r\n"), std::string::npos);
  EXPECT_NE(bytes.find("\r\r\n\xD6\xD0\xCE\xC4\r\r\n"), std::string::npos);  // "中文"
  // Scrambled password "123456": every unit plus 37.
  EXPECT_NE(bytes.find("\r\r\nVWXYZ[\r\r\n$C\r\r\n0\r\r\n0\r\r\n"), std::string::npos);
  // Lines: 2 servers x 25, 12 channels x 33.
  std::size_t lines = 0;
  for (std::size_t p = 0; (p = bytes.find("\r\r\n", p)) != std::string::npos; p += 3) ++lines;
  EXPECT_EQ(lines, 2u * 25 + 12u * 33);
  EXPECT_EQ(bytes.find("\r\n\r"), std::string::npos);
}

TEST(ModelChannelCfg, ReaderTakesCrLfAndLfLines) {
  std::string bytes = format_channel_cfg(sample_table());
  std::string crlf, lf;
  for (std::size_t p = 0; p < bytes.size();) {
    auto e = bytes.find("\r\r\n", p);
    crlf += bytes.substr(p, e - p) + "\r\n";
    lf += bytes.substr(p, e - p) + "\n";
    p = e + 3;
  }
  for (const std::string& variant : {crlf, lf}) {
    ServerTable t;
    reset_table(t);
    parse_channel_cfg(variant, t);
    expect_same_stored(sample_table(), t);
  }
}

TEST(ModelChannelCfg, PasswordCutToSixUnitsAndUnusedLaterRecordsNotWritten) {
  ServerTable t = sample_table();
  t.servers[0].device_password = u"12345678";
  t.servers[1].channel_count = -1;  // ends the scan
  t.servers[2] = t.servers[0];
  const std::string bytes = format_channel_cfg(t);
  ServerTable back;
  reset_table(back);
  parse_channel_cfg(bytes, back);
  EXPECT_EQ(back.servers[0].device_password, u"123456");
  EXPECT_FALSE(back.servers[1].used());
  EXPECT_FALSE(back.servers[2].used());
}

TEST(ModelChannelCfg, TruncatedFileKeepsValuesAfterLastCompleteLine) {
  const std::string bytes = format_channel_cfg(sample_table());
  // Cut inside the port line of server 0 ("65535" becomes "655").
  const auto port_at = bytes.find("65535");
  ServerTable t;
  reset_table(t);
  parse_channel_cfg(bytes.substr(0, port_at + 3), t);
  EXPECT_EQ(t.servers[0].name, u"测试通道");
  EXPECT_EQ(t.servers[0].channel_count, 6);
  EXPECT_EQ(t.servers[0].port, 80);  // the unfinished line is not taken
  EXPECT_TRUE(t.servers[0].display_name.empty());
  EXPECT_EQ(t.servers[0].channels[0].channel_index, -1);
  EXPECT_FALSE(t.servers[1].used());
  // A split int whose low half is missing keeps its old value.
  const auto extra_at = bytes.find("-1884\r\r\n");
  reset_table(t);
  parse_channel_cfg(bytes.substr(0, extra_at + 8), t);
  EXPECT_EQ(t.servers[0].address, u"192.168.0.100");
  EXPECT_EQ(t.servers[0].address_extra, 0);
}

TEST(ModelChannelCfg, RecordsOutsideTheTableAreRejectedWhole) {
  const std::string good = format_channel_cfg(sample_table());
  // A server record with sequence 128 and channel records for server 200 and
  // position 16, each full length, placed before the good records.
  std::string bad = "$S\r\n128\r\n";
  for (int i = 0; i < 23; ++i) bad += "7\r\n";
  bad += "$C\r\n200\r\n0\r\n";
  for (int i = 0; i < 30; ++i) bad += "7\r\n";
  bad += "$C\r\n0\r\n16\r\n";
  for (int i = 0; i < 30; ++i) bad += "7\r\n";
  bad += "$S\r\n-1\r\n";
  for (int i = 0; i < 23; ++i) bad += "7\r\n";
  ServerTable t;
  reset_table(t);
  parse_channel_cfg(bad + good, t);
  expect_same_stored(sample_table(), t);
}

TEST(ModelChannelCfg, SecondCharacterSStartsServerRecord) {
  // "xS" opens a server record; "??" where a marker is expected opens a channel record.
  std::string bytes = "xS\r\n3\r\nu\r\np\r\n4\r\n";
  for (int i = 0; i < 20; ++i) bytes += "0\r\n";
  bytes += "??\r\n3\r\n1\r\n1\r\n0\r\n0\r\n1\r\n";
  ServerTable t;
  reset_table(t);
  parse_channel_cfg(bytes, t);
  EXPECT_EQ(t.servers[3].user_name, u"u");
  EXPECT_EQ(t.servers[3].channel_count, 4);
  EXPECT_EQ(t.servers[3].channels[1].listed, 1);
  EXPECT_EQ(t.servers[3].channels[1].channel_index, 1);
}

TEST(ModelChannelCfg, LineBreaksInsideValuesDoNotShiftTheFile) {
  ServerTable t = sample_table();
  t.servers[0].name = u"a\r\nb";
  ServerTable back;
  reset_table(back);
  parse_channel_cfg(format_channel_cfg(t), back);
  EXPECT_EQ(back.servers[0].name, u"a??b");
  EXPECT_EQ(back.servers[1].device_id, t.servers[1].device_id);
}

TEST(ModelChannelCfg, MissingFileIsCreatedEmptyAndWriteToMissingFolderFails) {
  TempDir dir;
  ServerTable t;
  reset_table(t);
  PlayList pl;
  EXPECT_FALSE(read_channel_cfg(dir.path(), t, pl));
  EXPECT_TRUE(std::filesystem::exists(dir.path() / "ChannelCfg.dat"));
  EXPECT_EQ(std::filesystem::file_size(dir.path() / "ChannelCfg.dat"), 0u);
  EXPECT_FALSE(write_channel_cfg(dir.path() / "nope", sample_table()));
}

TEST(ModelLineNumber, LeadingDigitsWithSign) {
  EXPECT_EQ(line_number("12abc"), 12);
  EXPECT_EQ(line_number("  -7"), -7);
  EXPECT_EQ(line_number("+5"), 5);
  EXPECT_EQ(line_number("x1"), 0);
  EXPECT_EQ(line_number(""), 0);
  EXPECT_EQ(line_number("99999999999999999999"), 2147483647);
  EXPECT_EQ(line_number("-99999999999999999999"), -2147483647 - 1);
}

// ---- "ClientCfg.dat" ----

TEST(ModelClientCfg, EmptyFileGivesDefaults) {
  TempDir dir;
  write_file(dir.path() / "ClientCfg.dat", "");
  ClientSettings s = default_settings(3);
  ASSERT_TRUE(read_client_cfg(dir.path(), s));
  EXPECT_EQ(s.cycle_time, 20);
  EXPECT_EQ(s.pack_minutes, 60);
  EXPECT_EQ(s.pre_record_time, 60);
  EXPECT_EQ(s.switch_record, 1);
  EXPECT_EQ(s.occlusion_record, 1);
  EXPECT_EQ(s.end_drive, 2);
  EXPECT_EQ(s.download_folder, u"C:\\DownLoad");
  EXPECT_EQ(s.snapshot_folder, u"C:\\Picture");
  EXPECT_EQ(s.log_folder, u"C:\\EventLog");
}

TEST(ModelClientCfg, WrittenSettingsReadBack) {
  ClientSettings s = default_settings(2);
  s.cycle_time = 33;
  s.cycle_play = 1;
  s.pack_minutes = 15;
  s.snapshot_folder = u"D:\\图片";
  s.time_sync_time = 235959;
  s.alarm_sound = 1;
  s.alarm_sound_file = u"a.wav";
  for (int d = 0; d < 7; ++d)
    for (int k = 0; k < 4; ++k) {
      auto& seg = s.plan[d][k];
      seg.start_hour = static_cast<std::uint16_t>(d + k);
      seg.start_minute = 5;
      seg.end_hour = static_cast<std::uint16_t>(d + k + 1);
      seg.end_minute = 60;
      seg.start = static_cast<std::uint16_t>(seg.start_hour * 100 + 5);
      seg.end = static_cast<std::uint16_t>(seg.end_hour * 100 + 60);
    }
  s.plan[6][3].end = 2400;
  s.plan[6][3].end_hour = 24;
  s.plan[6][3].end_minute = 0;
  const std::string bytes = format_client_cfg(s);
  EXPECT_EQ(bytes.rfind("33\r\r\n1\r\r\n0\r\r\n15\r\r\n", 0), 0u);
  ClientSettings back = default_settings(2);
  parse_client_cfg(bytes, back);
  // 10:60 reads back as hour 11, minute 0: the file holds only the combined value.
  for (auto& day : s.plan)
    for (auto& seg : day) {
      seg.end_hour = seg.end / 100;
      seg.end_minute = seg.end % 100;
    }
  EXPECT_EQ(back, s);
}

TEST(ModelClientCfg, ReaderClampsValues) {
  std::string bytes =
      "3\n1\n2\n90\n1\n0\n1\n1\nd\ns\nl\n1\n-5\n0\n0\n-1\n0\n1\n-2\n-3\n1\n-4\n-9\n-1\n";
  ClientSettings s = default_settings(1);
  parse_client_cfg(bytes, s);
  EXPECT_EQ(s.cycle_time, 5);
  EXPECT_EQ(s.cycle_play, 1);
  EXPECT_EQ(s.hardware_decoding, 0);  // only exactly 1 is on
  EXPECT_EQ(s.pack_minutes, 60);
  EXPECT_EQ(s.time_sync_time, 0);
  EXPECT_EQ(s.alarm_duration, 30);
  EXPECT_EQ(s.switch_format, 0);
  EXPECT_EQ(s.switch_time, 30);
  EXPECT_EQ(s.occlusion_format, 0);
  EXPECT_EQ(s.occlusion_time, 30);
  EXPECT_EQ(s.pre_record_time, 30);  // -1 reads as 30, not the default 60
  EXPECT_EQ(s.download_folder, u"d");
}

TEST(ModelClientCfg, AlarmSoundLineRule) {
  std::string head;
  for (int i = 0; i < 25; ++i) head += (i >= 8 && i <= 10) ? "x\r\r\n" : "0\r\r\n";
  ClientSettings s = default_settings(1);
  parse_client_cfg(head + "1\r\r\nab\r\r\n", s);
  EXPECT_EQ(s.alarm_sound, 0);
  EXPECT_EQ(s.alarm_sound_file, u"C:\\WINDOWS\\Media\\notify.wav");
  s = default_settings(1);
  parse_client_cfg(head + "1\r\r\nabc\r\r\n", s);
  EXPECT_EQ(s.alarm_sound, 1);
  EXPECT_EQ(s.alarm_sound_file, u"abc");
  // "0" means no path line: the next line is already the first plan value.
  s = default_settings(1);
  parse_client_cfg(head + "0\r\r\n800\r\r\n1200\r\r\n", s);
  EXPECT_EQ(s.alarm_sound, 0);
  EXPECT_EQ(s.plan[0][0].start, 800);
  EXPECT_EQ(s.plan[0][0].end_hour, 12);
}

TEST(ModelClientCfg, PlanTakesAtMost56ValuesAndShortPlanLeavesZeros) {
  std::string head;
  for (int i = 0; i < 26; ++i) head += (i >= 8 && i <= 10) ? "x\n" : "0\n";
  std::string plan;
  for (int i = 0; i < 60; ++i) plan += std::to_string(100 + i) + "\n";
  ClientSettings s = default_settings(1);
  parse_client_cfg(head + plan, s);
  EXPECT_EQ(s.plan[0][0].start, 100);
  EXPECT_EQ(s.plan[6][3].end, 155);
  s.plan[6][3].end = 1;
  parse_client_cfg(head + "100\n200\n", s);
  EXPECT_EQ(s.plan[0][0].end, 200);
  EXPECT_EQ(s.plan[0][1].start, 0);
  EXPECT_EQ(s.plan[6][3].end, 0);
}

TEST(ModelClientCfg, TruncatedFileKeepsLaterDefaults) {
  ClientSettings s = default_settings(4);
  parse_client_cfg("30\r\r\n1\r\r\n1\r\r\n4", s);
  EXPECT_EQ(s.cycle_time, 30);
  EXPECT_EQ(s.hardware_decoding, 1);
  EXPECT_EQ(s.pack_minutes, 60);
  EXPECT_EQ(s.end_drive, 3);
}

TEST(ModelClientCfg, AtomicWriteKeepsOldFileOnFailure) {
  TempDir dir;
  ClientSettings s = default_settings(1);
  ASSERT_TRUE(write_client_cfg(dir.path(), s));
  const std::string before = read_file(dir.path() / "ClientCfg.dat");
  EXPECT_FALSE(write_client_cfg(dir.path() / "missing", s));
  EXPECT_EQ(read_file(dir.path() / "ClientCfg.dat"), before);
  // No temporary file is left beside it.
  int files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++files;
  EXPECT_EQ(files, 1);
}
