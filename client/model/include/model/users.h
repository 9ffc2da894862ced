// The local user store: "AdminInfo.db", one ".usr" file per ordinary user and
// the start-up identity flag "User.cfg"; the rights word and its check.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/messages.h"

namespace model {

inline constexpr const char* kAdminFileName = "AdminInfo.db";
inline constexpr const char* kUserFlagFileName = "User.cfg";
inline constexpr const char* kUserFileSuffix = ".usr";

// Added to every 16-bit unit of the files' scrambled fields.
inline constexpr char16_t kAdminFileConstant = 317;
inline constexpr char16_t kUserFileConstant = 529;
inline constexpr char16_t kFlagFileConstant = 743;

inline constexpr std::size_t kAdminFileSize = 82;
inline constexpr std::size_t kUserFileSize = 152;
inline constexpr std::size_t kFieldUnits = 20;
inline constexpr std::size_t kRightsOffset = 120;

inline constexpr std::int32_t kAdministrator = -1;
inline constexpr std::int32_t kBasicRights = 0x4007;

struct AdminRecord {
  std::u16string name;
  std::u16string password;
};

struct UserRecord {
  std::u16string name;
  std::u16string password;
  std::u16string contact;
  std::int32_t rights = 0;
};

// Byte images of the files (the fields keep their first 20 units).
std::string encode_admin(const AdminRecord& admin);
std::optional<AdminRecord> decode_admin(std::string_view bytes);  // nullopt: not 82 bytes
std::string encode_user(const UserRecord& user);
std::optional<UserRecord> decode_user(std::string_view bytes);  // nullopt: not 152 bytes
std::string encode_rights_field(std::int32_t rights);           // the 32 bytes at offset 120
std::string encode_flag(int flag);
int decode_flag(std::string_view bytes);

// One right of the rights word.
struct Right {
  std::uint32_t bit;
  std::u16string_view caption;    // check box in the add-user and edit-rights dialogs
  std::u16string_view list_text;  // line of the rights list
  bool basic;                     // every user holds it
};
// The 18 grantable rights in bit order (the order of the check boxes).
std::span<const Right> rights_table();
inline constexpr std::u16string_view kLockScreenRight = u"锁定屏幕";
// The rights list: "锁定屏幕" first, then the list texts of the set bits in the
// listing order (the list box sorts them for display).
std::vector<std::u16string> rights_listing(std::int32_t rights);

// Right bits other parts of the client test.
namespace rights {
inline constexpr std::uint32_t kSplitScreen = 0x1;
inline constexpr std::uint32_t kShowChannel = 0x2;
inline constexpr std::uint32_t kPreview = 0x4;
inline constexpr std::uint32_t kPtz = 0x8;
inline constexpr std::uint32_t kImageAdjust = 0x10;
inline constexpr std::uint32_t kTalkback = 0x80;
inline constexpr std::uint32_t kLocalPlayback = 0x100;
inline constexpr std::uint32_t kRemotePlayback = 0x200;
inline constexpr std::uint32_t kSnapshot = 0x400;
inline constexpr std::uint32_t kManualRecord = 0x800;
inline constexpr std::uint32_t kArming = 0x2000;
inline constexpr std::uint32_t kEventLog = 0x4000;
inline constexpr std::uint32_t kLocalSettings = 0x8000;
inline constexpr std::uint32_t kDeviceStatus = 0x20000;
inline constexpr std::uint32_t kServerManagement = 0x40000;
inline constexpr std::uint32_t kRemoteMaintenance = 0x2000000;
inline constexpr std::uint32_t kExit = 0x4000000;
inline constexpr std::uint32_t kPresets = 0x8000000;
inline constexpr std::uint32_t kAlarmOutput = 0x10000000;
}  // namespace rights

inline bool has_right(std::int32_t rights_word, std::uint32_t bit) {
  return (static_cast<std::uint32_t>(rights_word) & bit) != 0;
}
// The guard of a command: true when the right is held, else the rights message.
bool check_right(std::int32_t rights_word, std::uint32_t bit, MessageSink& messages);

// The three files in one folder (the program's current directory).
class UserFiles {
 public:
  explicit UserFiles(std::filesystem::path folder) : folder_(std::move(folder)) {}
  const std::filesystem::path& folder() const { return folder_; }

  std::filesystem::path admin_path() const { return folder_ / kAdminFileName; }
  std::filesystem::path flag_path() const { return folder_ / kUserFlagFileName; }
  std::filesystem::path user_path(std::u16string_view name) const;

  // An administrator exists only with a complete record that names one.
  bool has_admin() const;
  std::optional<AdminRecord> read_admin() const;
  bool write_admin(const AdminRecord& admin) const;
  bool remove_admin() const;

  // nullopt when absent or damaged (not 152 bytes).
  std::optional<UserRecord> read_user(std::u16string_view name) const;
  bool user_exists(std::u16string_view name) const;
  bool write_user(const UserRecord& user) const;
  bool write_user_rights(std::u16string_view name, std::int32_t rights) const;
  bool remove_user(std::u16string_view name) const;
  // Names of the "*.usr" files (up to the first "."), sorted.
  std::vector<std::u16string> user_names() const;

  // The start-up identity flag: 1 (the default when absent) asks for a login.
  int read_flag() const;
  bool write_flag(int flag) const;

 private:
  std::filesystem::path folder_;
};

// User names become file names: they may not leave the folder or hide a ".".
bool valid_user_file_name(std::u16string_view name);

}  // namespace model
