#include "SessionFixtures.h"

#include <limits.h>
#include <lz4.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>

namespace quillo::browser::testing {
namespace {

void PutUint32(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void PutInt32(std::string& out, std::int32_t value) {
  PutUint32(out, static_cast<std::uint32_t>(value));
}

void PadTo4(std::string& out) {
  while (out.size() % 4 != 0) out.push_back('\0');
}

}  // namespace

TempHome::TempHome() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillo-home-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempHome::~TempHome() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::filesystem::path TempHome::write(const std::filesystem::path& relative,
                                      std::string_view content) const {
  const std::filesystem::path target = path_ / relative;
  std::filesystem::create_directories(target.parent_path());
  std::ofstream out(target, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + target.string());
  return target;
}

void TempHome::link(const std::filesystem::path& relative, const std::string& target) const {
  const std::filesystem::path at = path_ / relative;
  std::filesystem::create_directories(at.parent_path());
  std::filesystem::remove(at);
  std::filesystem::create_symlink(target, at);
}

std::string MozLz4(std::string_view content) {
  std::string out("mozLz40\0", 8);
  PutUint32(out, static_cast<std::uint32_t>(content.size()));
  const int bound = LZ4_compressBound(static_cast<int>(content.size()));
  std::string block(static_cast<std::size_t>(bound), '\0');
  const int size =
      LZ4_compress_default(content.data(), block.data(), static_cast<int>(content.size()), bound);
  if (size <= 0) throw std::runtime_error("LZ4 compression failed");
  out.append(block, 0, static_cast<std::size_t>(size));
  return out;
}

std::string FirefoxSessionJson(const std::vector<std::vector<std::string>>& windows) {
  nlohmann::json session = {{"version", {"sessionrestore", 1}},
                            {"windows", nlohmann::json::array()}};
  for (const auto& urls : windows) {
    nlohmann::json tabs = nlohmann::json::array();
    for (const std::string& url : urls) {
      tabs.push_back({{"entries", {{{"url", url}, {"title", "t"}}}}, {"index", 1}});
    }
    session["windows"].push_back({{"tabs", tabs}, {"selected", 1}});
  }
  return session.dump();
}

std::string ThisHost() {
  char name[HOST_NAME_MAX + 1] = {};
  ::gethostname(name, sizeof name - 1);
  return name;
}

std::string LiveFirefoxLock() { return "127.0.0.1:+" + std::to_string(::getpid()); }

std::string LiveChromiumLock() { return ThisHost() + "-" + std::to_string(::getpid()); }

long DeadPid() {
  long pid = 4194303;  // the largest pid_max Linux allows
  std::ifstream("/proc/sys/kernel/pid_max") >> pid;
  for (--pid; pid > 1; --pid) {
    if (!std::filesystem::exists("/proc/" + std::to_string(pid))) return pid;
  }
  throw std::runtime_error("no free process id");
}

SnssWriter::SnssWriter(std::int32_t version) : bytes_("SNSS") { PutInt32(bytes_, version); }

SnssWriter& SnssWriter::record(std::uint8_t id, std::string_view payload) {
  const std::size_t size = payload.size() + 1;
  bytes_.push_back(static_cast<char>(size & 0xFF));
  bytes_.push_back(static_cast<char>(size >> 8));
  bytes_.push_back(static_cast<char>(id));
  bytes_.append(payload);
  return *this;
}

SnssWriter& SnssWriter::raw(std::string_view bytes) {
  bytes_.append(bytes);
  return *this;
}

SnssWriter& SnssWriter::dropLast(std::size_t count) {
  bytes_.resize(bytes_.size() - count);
  return *this;
}

SnssWriter& SnssWriter::setTabWindow(std::int32_t window, std::int32_t tab) {
  std::string payload;
  PutInt32(payload, window);
  PutInt32(payload, tab);
  return record(0, payload);
}

SnssWriter& SnssWriter::setTabIndex(std::int32_t tab, std::int32_t index) {
  std::string payload;
  PutInt32(payload, tab);
  PutInt32(payload, index);
  return record(2, payload);
}

SnssWriter& SnssWriter::navigation(std::int32_t tab, std::int32_t index, std::string_view url) {
  std::string body;
  PutInt32(body, tab);
  PutInt32(body, index);
  PutInt32(body, static_cast<std::int32_t>(url.size()));
  body.append(url);
  PadTo4(body);
  const std::u16string title = u"T\u30bf";
  PutInt32(body, static_cast<std::int32_t>(title.size()));
  for (char16_t unit : title) {
    body.push_back(static_cast<char>(unit & 0xFF));
    body.push_back(static_cast<char>(unit >> 8));
  }
  PadTo4(body);
  PutInt32(body, 0);  // empty page state
  PutInt32(body, 1);  // transition type
  std::string payload;
  PutUint32(payload, static_cast<std::uint32_t>(body.size()));
  return record(6, payload + body);
}

SnssWriter& SnssWriter::selectNavigation(std::int32_t tab, std::int32_t index) {
  std::string payload;
  PutInt32(payload, tab);
  PutInt32(payload, index);
  return record(7, payload);
}

SnssWriter& SnssWriter::tabClosed(std::int32_t tab) {
  std::string payload;
  PutInt32(payload, tab);
  PutInt32(payload, 0);  // padding before the 64-bit close time
  payload.append(8, '\x01');
  return record(16, payload);
}

SnssWriter& SnssWriter::windowClosed(std::int32_t window) {
  std::string payload;
  PutInt32(payload, window);
  PutInt32(payload, 0);
  payload.append(8, '\x01');
  return record(17, payload);
}

SnssWriter& SnssWriter::pruned(std::int32_t tab, std::int32_t index, std::int32_t count) {
  std::string payload;
  PutInt32(payload, tab);
  PutInt32(payload, index);
  PutInt32(payload, count);
  return record(24, payload);
}

SnssWriter& SnssWriter::tab(std::int32_t window, std::int32_t tabId, std::int32_t index,
                            std::string_view url) {
  return setTabWindow(window, tabId)
      .setTabIndex(tabId, index)
      .navigation(tabId, 0, url)
      .selectNavigation(tabId, 0);
}

}  // namespace quillo::browser::testing
