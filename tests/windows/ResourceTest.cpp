// The version record and icon that windres linked into the executables.

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "Process.h"

namespace quillo {
namespace {

class VersionRecord {
 public:
  explicit VersionRecord(const std::wstring& file) {
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    if (size == 0) return;
    data_.resize(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, data_.data())) data_.clear();
  }
  bool present() const { return !data_.empty(); }

  const VS_FIXEDFILEINFO* fixed() const {
    void* value = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(data_.data(), L"\\", &value, &size) || size < sizeof(VS_FIXEDFILEINFO)) {
      return nullptr;
    }
    return static_cast<const VS_FIXEDFILEINFO*>(value);
  }

  std::vector<DWORD> translations() const {
    void* value = nullptr;
    UINT size = 0;
    if (!VerQueryValueW(data_.data(), L"\\VarFileInfo\\Translation", &value, &size)) return {};
    const auto* words = static_cast<const WORD*>(value);
    std::vector<DWORD> out;
    for (UINT i = 0; i + 1 < size / sizeof(WORD); i += 2) {
      out.push_back(MAKELONG(words[i + 1], words[i]));  // language in the high word
    }
    return out;
  }

  // nullopt when the field is absent.
  std::optional<std::wstring> field(const std::wstring& name) const {
    void* value = nullptr;
    UINT size = 0;
    const std::wstring path = L"\\StringFileInfo\\041103A4\\" + name;
    if (!VerQueryValueW(data_.data(), path.c_str(), &value, &size)) return std::nullopt;
    std::wstring text(static_cast<const wchar_t*>(value), size);
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
  }

 private:
  std::vector<unsigned char> data_;
};

void ExpectTheProgramsRecord(const std::wstring& file) {
  const VersionRecord record(file);
  ASSERT_TRUE(record.present()) << "no version record";
  const VS_FIXEDFILEINFO* fixed = record.fixed();
  ASSERT_NE(fixed, nullptr);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00000005u);  // 0.5
  EXPECT_EQ(fixed->dwFileVersionLS, 0x0008001Bu);  // 8.27
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00000005u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x0008001Bu);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS__WINDOWS32));
  EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);
  EXPECT_EQ(record.translations(), std::vector<DWORD>{MAKELONG(932, 0x0411)});
  EXPECT_EQ(record.field(L"FileVersion"), L"0.5.8.27");
  EXPECT_EQ(record.field(L"ProductVersion"), L"1.0.0.0");
  for (const wchar_t* name :
       {L"CompanyName", L"FileDescription", L"InternalName", L"LegalCopyright", L"LegalTrademarks",
        L"OriginalFilename", L"ProductName", L"Comments"}) {
    EXPECT_EQ(record.field(name), L"") << "field present and empty";
  }
}

TEST(Resources, TestProgramCarriesTheVersionRecord) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  ExpectTheProgramsRecord(self);
}

TEST(Resources, ProgramsCarryTheVersionRecordAndIcon) {
  for (const wchar_t* name : {L"quillo-cli.exe", L"quillo.exe"}) {
    const std::wstring program = testing::OwnDirectory() + L"\\" + name;
    SCOPED_TRACE(std::string(program.begin(), program.end()));
    ExpectTheProgramsRecord(program);

    HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC group = FindResourceW(module, L"MAINICON", MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_NE(group, nullptr);
    // The group's directory: reserved, type 1 (icon), count, then 14-byte entries.
    const auto* directory = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    ASSERT_NE(directory, nullptr);
    EXPECT_EQ(directory[2], 1);
    // 16 colours at 1x, 1.5x and 2x.
    ASSERT_EQ(directory[4], 3);
    for (const int side : {32, 48, 64}) {
      const BYTE* entry = directory + 6 + 14 * (side / 16 - 2);
      EXPECT_EQ(entry[0], side);  // width
      EXPECT_EQ(entry[1], side);  // height
      EXPECT_EQ(entry[2], 16);    // colours
    }
    FreeLibrary(module);
  }
}

}  // namespace
}  // namespace quillo
