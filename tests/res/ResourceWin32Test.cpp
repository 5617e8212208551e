// The compiled resources as Windows sees them: this program links zeta7_rc,
// so its own icon, version record and manifest are the program's.
#include <gtest/gtest.h>
#include <windows.h>

#include <cwctype>
#include <string>

#include "MainDialogTemplate.h"

namespace {

// The RT_ICON image Windows would pick from the group for size × size.
const BITMAPINFOHEADER* IconImageFor(int size, DWORD* bytes) {
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC group =
      FindResourceW(self, MAKEINTRESOURCEW(IDR_MAINFRAME), MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
  if (!group) return nullptr;
  auto* dir = static_cast<BYTE*>(LockResource(LoadResource(self, group)));
  const int id = LookupIconIdFromDirectoryEx(dir, TRUE, size, size, LR_DEFAULTCOLOR);
  HRSRC image = FindResourceW(self, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(3));  // RT_ICON
  if (!image) return nullptr;
  *bytes = SizeofResource(self, image);
  return static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(self, image)));
}

class ResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t path[MAX_PATH];
    ASSERT_NE(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    ASSERT_NE(size, 0u) << "no version record";
    m_version.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, &m_version[0]));
  }
  std::wstring VersionString(const wchar_t* name) {
    void* value = nullptr;
    UINT chars = 0;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\041104b0\\") + name;
    if (!VerQueryValueW(m_version.data(), key.c_str(), &value, &chars) || chars == 0)
      return L"(missing)";
    return std::wstring(static_cast<const wchar_t*>(value));
  }
  std::string m_version;
};

TEST_F(ResourceTest, IconHasTheClassicEntryAndTheModernSizes) {
  const struct {
    int size;
    int bits;
  } cases[] = {{16, 32}, {32, 4}, {48, 32}};
  for (const auto& c : cases) {
    DWORD bytes = 0;
    const BITMAPINFOHEADER* image = IconImageFor(c.size, &bytes);
    ASSERT_NE(image, nullptr) << c.size;
    ASSERT_GE(bytes, sizeof(BITMAPINFOHEADER)) << c.size;
    EXPECT_EQ(image->biWidth, c.size);
    EXPECT_EQ(image->biHeight, 2 * c.size) << "colour rows and mask rows";
    EXPECT_EQ(image->biBitCount, c.bits) << c.size;
  }
  DWORD bytes = 0;
  const auto* large = reinterpret_cast<const unsigned char*>(IconImageFor(256, &bytes));
  ASSERT_NE(large, nullptr);
  ASSERT_GT(bytes, 24u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(large), 8),
            std::string("\x89PNG\r\n\x1a\n", 8));
  EXPECT_EQ(large[16] << 24 | large[17] << 16 | large[18] << 8 | large[19], 256) << "PNG width";
  EXPECT_NE(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME)), nullptr);
}

TEST_F(ResourceTest, VersionRecordNumbersAndTranslation) {
  void* value = nullptr;
  UINT bytes = 0;
  ASSERT_TRUE(VerQueryValueW(m_version.data(), L"\\", &value, &bytes));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010002u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010002u);

  ASSERT_TRUE(VerQueryValueW(m_version.data(), L"\\VarFileInfo\\Translation", &value, &bytes));
  ASSERT_EQ(bytes, 4u) << "exactly one translation";
  const auto* pair = static_cast<const WORD*>(value);
  EXPECT_EQ(pair[0], 0x0411);
  EXPECT_EQ(pair[1], 1200);
}

TEST_F(ResourceTest, VersionRecordStrings) {
  const struct {
    const wchar_t* name;
    const wchar_t* value;
  } cases[] = {
      {L"FileDescription", L"ZETA-7設定ユーティリティ"},
      {L"OriginalFilename", L"ZETA-7設定ユーティリティ.exe"},
      {L"FileVersion", L"1, 2, 0, 0"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(VersionString(c.name), c.value) << static_cast<const void*>(c.name);
}

TEST_F(ResourceTest, ManifestAsksForNoElevation) {
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const std::string manifest(static_cast<const char*>(LockResource(LoadResource(self, found))),
                             SizeofResource(self, found));
  // Common controls 6 and the DPI awareness are met below, as they take effect.
  for (const char* part : {"level=\"asInvoker\" uiAccess=\"false\"",
                           "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})  // Windows 10 and 11
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

// The loader took the manifest: comctl32 comes from the side-by-side store
// (version 6), and the process is per-monitor DPI aware.
TEST_F(ResourceTest, ManifestTakesEffect) {
  HMODULE comctl = LoadLibraryW(L"comctl32.dll");
  ASSERT_NE(comctl, nullptr);
  wchar_t path[MAX_PATH];
  ASSERT_NE(GetModuleFileNameW(comctl, path, MAX_PATH), 0u);
  std::wstring lower(path);
  for (wchar_t& ch : lower) ch = static_cast<wchar_t>(towlower(ch));
  EXPECT_NE(lower.find(L"\\winsxs\\"), std::wstring::npos);
  EXPECT_NE(lower.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6."),
            std::wstring::npos);

  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  using GetContext = DPI_AWARENESS_CONTEXT(WINAPI*)();
  using GetAwareness = DPI_AWARENESS(WINAPI*)(DPI_AWARENESS_CONTEXT);
  auto context = reinterpret_cast<GetContext>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
  auto awareness = reinterpret_cast<GetAwareness>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
  if (!context || !awareness) GTEST_SKIP() << "system has no DPI awareness contexts";
  EXPECT_EQ(awareness(context()), DPI_AWARENESS_PER_MONITOR_AWARE);
}

}  // namespace
