// SPDX-License-Identifier: MIT
// What the build puts into the program's .exe, read as a data file: manifest,
// the header's defences, version and icon (its imports: windows_exe_imports).

#include "platform/windows/text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

namespace {

class ProgramResources : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(module) << DTR_PROGRAM_EXE; }

    std::string_view resource(LPCWSTR type, int id) const
    {
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
        if (!found) return {};
        return {static_cast<const char*>(LockResource(LoadResource(module, found))), SizeofResource(module, found)};
    }
    const IMAGE_NT_HEADERS& headers() const
    {
        return *reinterpret_cast<const IMAGE_NT_HEADERS*>(base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    }

    // Freed as the process ends.
    static inline const HMODULE module = LoadLibraryExW(platform::widen(DTR_PROGRAM_EXE).c_str(), nullptr,
                                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    // Mapped as an image (LOAD_LIBRARY_AS_IMAGE_RESOURCE), the module's base
    // is its handle without the flag bits, and its headers start there.
    static inline const BYTE* const base =
        reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR {3});
};

TEST_F(ProgramResources, ManifestAsksForPerMonitorDpiAndCommonControls6)
{
    const std::string_view manifest = resource(RT_MANIFEST, 1);
    for (const char* fragment : {"<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2",
                                 "true/pm</dpiAware>", "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                                 "level=\"asInvoker\"", "name=\"DTRPulseOut\" version=\"" DTR_PROJECT_VERSION ".0\""})
        EXPECT_NE(manifest.find(fragment), std::string_view::npos) << fragment;
}

// The loader's defences: ASLR, with 64-bit entropy, and DEP. mingw-w64's ld
// sets them by default (binutils 2.36 on); a link option can drop them.
TEST_F(ProgramResources, HeaderAsksForAslrAndDep)
{
    for (const WORD flag : {IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE, IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA,
                            IMAGE_DLLCHARACTERISTICS_NX_COMPAT})
        EXPECT_TRUE(headers().OptionalHeader.DllCharacteristics & flag) << "0x" << std::hex << flag;
}

TEST_F(ProgramResources, VersionIsTheProjectVersion)
{
    const std::wstring path = platform::widen(DTR_PROGRAM_EXE);
    std::string data(GetFileVersionInfoSizeW(path.c_str(), nullptr), '\0');
    ASSERT_FALSE(data.empty());
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(data.size()), data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    const std::string version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "."
                                + std::to_string(LOWORD(fixed->dwFileVersionMS)) + "."
                                + std::to_string(HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(version, DTR_PROJECT_VERSION);
    wchar_t* product = nullptr;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\StringFileInfo\\040904B0\\ProductName",
                               reinterpret_cast<void**>(&product), &size));
    EXPECT_EQ(std::wstring(product), L"DTR Pulse Out");
}

TEST_F(ProgramResources, IconHasEverySize)
{
    // GRPICONDIR: reserved, type, count; then 14-byte entries, width first (0 means 256).
    const std::string_view group = resource(RT_GROUP_ICON, 1);
    ASSERT_GE(group.size(), 6u);
    const auto count = static_cast<unsigned char>(group[4]) | static_cast<unsigned char>(group[5]) << 8;
    ASSERT_EQ(group.size(), 6u + 14u * static_cast<unsigned>(count));
    std::set<int> sizes;
    for (int i = 0; i < count; ++i) {
        const int width = static_cast<unsigned char>(group[6 + 14 * i]);
        sizes.insert(width ? width : 256);
    }
    EXPECT_EQ(sizes, (std::set<int> {16, 24, 32, 48, 256}));
}

} // namespace
