#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/process.h"

using namespace platform;
namespace fs = std::filesystem;

namespace {

struct TempDir {
  fs::path path;
  TempDir() {
    path = fs::temp_directory_path() / ("brevanta-test-" + std::to_string(::getpid()) + "-" +
                                        std::to_string(reinterpret_cast<std::uintptr_t>(this)));
    fs::create_directories(path);
  }
  ~TempDir() { fs::remove_all(path); }
};

std::string read_all(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Drives, ExplicitRootsAreLetteredFromC) {
  TempDir a, b;
  const std::string list = a.path.string() + "::" + b.path.string();
  ::setenv(kDrivesEnv, list.c_str(), 1);
  auto drives = recording_drives();
  ASSERT_EQ(drives.size(), 2u);
  EXPECT_EQ(drives[0].letter, 'C');
  EXPECT_EQ(drives[0].root, a.path);
  EXPECT_EQ(drives[1].letter, 'D');
  ASSERT_TRUE(drive_by_letter('d'));
  EXPECT_EQ(drive_by_letter('d')->root, b.path);
  EXPECT_FALSE(drive_by_letter('E'));
  auto space = disk_space(a.path);
  ASSERT_TRUE(space);
  EXPECT_GT(space->total, 0u);
  EXPECT_LE(space->free, space->total);
  EXPECT_FALSE(disk_space(a.path / "missing"));
  ::unsetenv(kDrivesEnv);
}

TEST(Drives, MountTableSurveyGivesDiskFilesystemsOnly) {
  ::unsetenv(kDrivesEnv);
  for (auto& d : recording_drives()) {
    EXPECT_NE(d.root, fs::path("/proc"));
    EXPECT_NE(d.root, fs::path("/sys"));
    EXPECT_GE(d.letter, 'C');
  }
}

TEST(Files, OwnerOnlyAndAtomicReplace) {
  TempDir dir;
  const fs::path f = dir.path / "AdminInfo.db";
  ASSERT_TRUE(write_owner_only(f, std::string("a\0b", 3)));
  struct stat st{};
  ASSERT_EQ(::stat(f.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(read_all(f), std::string("a\0b", 3));

  const fs::path g = dir.path / "ClientCfg.dat";
  ASSERT_TRUE(write_file_atomic(g, "old"));
  ASSERT_TRUE(write_file_atomic(g, "new contents"));
  EXPECT_EQ(read_all(g), "new contents");
  EXPECT_FALSE(write_file_atomic(dir.path / "no-such-folder" / "x", "y"));
  int leftovers = 0;
  for (auto& e : fs::directory_iterator(dir.path)) leftovers += e.path().filename() != "AdminInfo.db" &&
                                                                 e.path().filename() != "ClientCfg.dat";
  EXPECT_EQ(leftovers, 0);
}

TEST(Process, ProgramDirHoldsThisTest) {
  EXPECT_TRUE(fs::exists(program_dir() / "platform_tests"));
}

}  // namespace
