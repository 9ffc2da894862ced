#include "model/users.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "platform/files.h"
#include "platform/text.h"

namespace model {
namespace {

void put_unit(std::string& out, char16_t unit) {
  out += static_cast<char>(unit & 0xFF);
  out += static_cast<char>(unit >> 8);
}

char16_t unit_at(std::string_view bytes, std::size_t unit) {
  return static_cast<char16_t>(static_cast<unsigned char>(bytes[unit * 2]) |
                               (static_cast<unsigned char>(bytes[unit * 2 + 1]) << 8));
}

// A field of 20 units, zero-padded, each unit plus the constant.
void put_field(std::string& out, std::u16string_view text, char16_t constant) {
  for (std::size_t i = 0; i < kFieldUnits; ++i)
    put_unit(out, static_cast<char16_t>((i < text.size() ? text[i] : 0) + constant));
}

std::u16string get_field(std::string_view bytes, std::size_t first_unit, char16_t constant) {
  std::u16string out;
  for (std::size_t i = 0; i < kFieldUnits; ++i) {
    const auto c = static_cast<char16_t>(unit_at(bytes, first_unit + i) - constant);
    if (c == 0) break;
    out += c;
  }
  return out;
}

// Leading decimal digits of UTF-16 units (optional sign), saturated to 32 bits.
std::int64_t leading_number(std::u16string_view units) {
  std::size_t i = 0;
  bool negative = false;
  if (i < units.size() && (units[i] == u'-' || units[i] == u'+')) negative = units[i++] == u'-';
  std::int64_t v = 0;
  for (; i < units.size() && units[i] >= u'0' && units[i] <= u'9'; ++i)
    v = std::min<std::int64_t>(v * 10 + (units[i] - u'0'), 1LL << 32);
  return negative ? -v : v;
}

std::optional<std::string> read_whole(const std::filesystem::path& path) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const Right kRights[] = {
    {0x1, u"画面分割", u"画面分割", true},
    {0x2, u"查看通道视频", u"查看通道视频", true},
    {0x4, u"视频浏览", u"视频浏览", true},
    {0x8, u"云台控制", u"云台控制", false},
    {0x10, u"亮度、色度、对比度调节及恢复默认", u"色度、亮度、对比度调节及恢复默认", false},
    {0x80, u"语音对讲", u"语音对讲", false},
    {0x100, u"本地文件检索、回放", u"本地文件检索、回放", false},
    {0x200, u"远程文件检索、回放", u"远程文件检索、回放", false},
    {0x400, u"在线抓图", u"在线抓图", false},
    {0x800, u"手动录像", u"手动录像", false},
    {0x2000, u"布防撤防", u"布防撤防", false},
    {0x4000, u"查看日志", u"查看日志", true},
    {0x8000, u"本地设置", u"本地设置", false},
    {0x40000, u"服务器管理", u"服务器管理", false},
    {0x2000000, u"远程升级、重启、格式化", u"远程升级、重启、格式化", false},
    {0x4000000, u"最小化及退出", u"最小化及退出", false},
    {0x8000000, u"预置位设置", u"预置位设置", false},
    {0x10000000, u"报警输出", u"报警输出", false},
};

constexpr std::uint32_t kListingOrder[] = {
    0x4,  0x2,   0x8,   0x1,    0x4000, 0x4000000, 0x400,     0x800,     0x10,
    0x80, 0x100, 0x200, 0x2000, 0x8000, 0x40000,   0x8000000, 0x2000000, 0x10000000};

}  // namespace

std::string encode_admin(const AdminRecord& admin) {
  std::string out;
  put_field(out, admin.name, kAdminFileConstant);
  put_unit(out, u' ');
  put_field(out, admin.password, kAdminFileConstant);
  return out;
}

std::optional<AdminRecord> decode_admin(std::string_view bytes) {
  if (bytes.size() != kAdminFileSize) return std::nullopt;
  return AdminRecord{get_field(bytes, 0, kAdminFileConstant),
                     get_field(bytes, 21, kAdminFileConstant)};
}

std::string encode_rights_field(std::int32_t rights) {
  const std::string digits = std::to_string(rights);
  std::string out;
  for (std::size_t i = 0; i < 16; ++i)
    put_unit(out, i < digits.size() ? static_cast<char16_t>(digits[i]) : u'\0');
  return out;
}

std::string encode_user(const UserRecord& user) {
  std::string out;
  put_field(out, user.name, kUserFileConstant);
  put_field(out, user.password, kUserFileConstant);
  put_field(out, user.contact, kUserFileConstant);
  out += encode_rights_field(user.rights);
  return out;
}

std::optional<UserRecord> decode_user(std::string_view bytes) {
  if (bytes.size() != kUserFileSize) return std::nullopt;
  UserRecord u;
  u.name = get_field(bytes, 0, kUserFileConstant);
  u.password = get_field(bytes, 20, kUserFileConstant);
  u.contact = get_field(bytes, 40, kUserFileConstant);
  std::u16string digits;
  for (std::size_t i = 0; i < 16; ++i) digits += unit_at(bytes, 60 + i);
  const std::int64_t v = leading_number(digits);
  // A rights word is 32 bits; larger texts keep their low bits as the original did.
  u.rights = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
  return u;
}

std::string encode_flag(int flag) {
  std::string out;
  put_unit(out, static_cast<char16_t>((flag ? u'1' : u'0') + kFlagFileConstant));
  put_unit(out, static_cast<char16_t>(kFlagFileConstant));
  return out;
}

int decode_flag(std::string_view bytes) {
  std::string buf(8, '\0');
  std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 8), buf.begin());
  std::u16string units;
  for (std::size_t i = 0; i < 4; ++i)
    units += static_cast<char16_t>(unit_at(buf, i) - kFlagFileConstant);
  const std::int64_t v = leading_number(units);
  return static_cast<int>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

std::span<const Right> rights_table() {
  return kRights;
}

std::vector<std::u16string> rights_listing(std::int32_t rights_word) {
  std::vector<std::u16string> out{std::u16string(kLockScreenRight)};
  for (std::uint32_t bit : kListingOrder) {
    if (!has_right(rights_word, bit)) continue;
    for (const Right& r : kRights)
      if (r.bit == bit) out.emplace_back(r.list_text);
  }
  return out;
}

bool check_right(std::int32_t rights_word, std::uint32_t bit, MessageSink& messages) {
  if (has_right(rights_word, bit)) return true;
  messages.info(kNoRight);
  return false;
}

bool valid_user_file_name(std::u16string_view name) {
  if (name.empty()) return false;
  for (char16_t c : name)
    if (c == u'/' || c == u'\\' || c == u'.' || c == u'\0' || c == u':') return false;
  return true;
}

std::filesystem::path UserFiles::user_path(std::u16string_view name) const {
  return folder_ / (platform::utf8_from_u16(name) + kUserFileSuffix);
}

bool UserFiles::has_admin() const {
  auto admin = read_admin();
  return admin && !admin->name.empty();
}

std::optional<AdminRecord> UserFiles::read_admin() const {
  auto bytes = read_whole(admin_path());
  if (!bytes) return std::nullopt;
  return decode_admin(*bytes);
}

bool UserFiles::write_admin(const AdminRecord& admin) const {
  return platform::write_owner_only(admin_path(), encode_admin(admin));
}

bool UserFiles::remove_admin() const {
  std::error_code ec;
  return std::filesystem::remove(admin_path(), ec);
}

std::optional<UserRecord> UserFiles::read_user(std::u16string_view name) const {
  if (!valid_user_file_name(name)) return std::nullopt;
  auto bytes = read_whole(user_path(name));
  if (!bytes) return std::nullopt;
  return decode_user(*bytes);
}

bool UserFiles::user_exists(std::u16string_view name) const {
  std::error_code ec;
  return valid_user_file_name(name) && std::filesystem::is_regular_file(user_path(name), ec);
}

bool UserFiles::write_user(const UserRecord& user) const {
  if (!valid_user_file_name(user.name)) return false;
  return platform::write_owner_only(user_path(user.name), encode_user(user));
}

bool UserFiles::write_user_rights(std::u16string_view name, std::int32_t rights) const {
  if (!valid_user_file_name(name)) return false;
  auto bytes = read_whole(user_path(name));
  if (!bytes || bytes->size() != kUserFileSize) return false;
  bytes->replace(kRightsOffset, 32, encode_rights_field(rights));
  return platform::write_owner_only(user_path(name), *bytes);
}

bool UserFiles::remove_user(std::u16string_view name) const {
  std::error_code ec;
  return valid_user_file_name(name) && std::filesystem::remove(user_path(name), ec);
}

std::vector<std::u16string> UserFiles::user_names() const {
  std::vector<std::u16string> names;
  std::error_code ec;
  for (auto it = std::filesystem::directory_iterator(folder_, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    const std::string file = it->path().filename().string();
    if (file.size() <= 4 || file.compare(file.size() - 4, 4, kUserFileSuffix) != 0) continue;
    names.push_back(platform::u16_from_utf8(file.substr(0, file.find('.'))));
  }
  std::sort(names.begin(), names.end());
  return names;
}

int UserFiles::read_flag() const {
  auto bytes = read_whole(flag_path());
  if (!bytes) return 1;
  return decode_flag(*bytes);
}

bool UserFiles::write_flag(int flag) const {
  return platform::write_owner_only(flag_path(), encode_flag(flag));
}

}  // namespace model
