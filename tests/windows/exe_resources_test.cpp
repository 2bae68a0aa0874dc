// SPDX-License-Identifier: MIT
// What the build puts into the program's .exe, read as a data file: manifest,
// imports, the header's defences, version and icon.

#include "platform/windows/text.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
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
    std::set<std::string> imports() const;

    // Freed as the process ends.
    static inline const HMODULE module = LoadLibraryExW(platform::widen(DTR_PROGRAM_EXE).c_str(), nullptr,
                                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    // Mapped as an image (LOAD_LIBRARY_AS_IMAGE_RESOURCE), the module's base
    // is its handle without the flag bits, and its headers start there.
    static inline const BYTE* const base =
        reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(module) & ~ULONG_PTR {3});
};

// "kernel32.dll CloseHandle": every function the image imports, by name.
// Addresses in the image are offsets from its base.
std::set<std::string> ProgramResources::imports() const
{
    const auto& directory = headers().OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    std::set<std::string> imports;
    for (auto* dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress); dll->Name; ++dll) {
        std::string name = reinterpret_cast<const char*>(base + dll->Name);
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const DWORD thunks = dll->OriginalFirstThunk ? dll->OriginalFirstThunk : dll->FirstThunk;
        for (auto* thunk = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + thunks); thunk->u1.AddressOfData; ++thunk) {
            std::string function = name + ' ';
            if (IMAGE_SNAP_BY_ORDINAL(thunk->u1.Ordinal))
                function.append("#").append(std::to_string(IMAGE_ORDINAL(thunk->u1.Ordinal)));
            else
                function.append(reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + thunk->u1.AddressOfData)->Name);
            imports.insert(function);
        }
    }
    return imports;
}

TEST_F(ProgramResources, ManifestAsksForPerMonitorDpiAndCommonControls6)
{
    const std::string_view manifest = resource(RT_MANIFEST, 1);
    for (const char* fragment : {"<dpiAwareness xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">PerMonitorV2",
                                 "true/pm</dpiAware>", "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                                 "level=\"asInvoker\"", "name=\"DTRPulseOut\" version=\"" DTR_PROJECT_VERSION ".0\""})
        EXPECT_NE(manifest.find(fragment), std::string_view::npos) << fragment;
    // Its entries for Windows 7, 8 and 8.1 rest on what the program imports:
    // the functions checked against those systems, tests/windows/exe-imports.
    std::ifstream listed(DTR_EXE_IMPORTS);
    ASSERT_TRUE(listed) << DTR_EXE_IMPORTS;
    std::set<std::string> checked;
    for (std::string line; std::getline(listed, line);)
        if (!line.empty() && line.front() != '#') checked.insert(line);
    const std::set<std::string> imported = imports();
    for (const auto& name : imported) EXPECT_TRUE(checked.contains(name)) << "a new import: " << name;
    for (const auto& name : checked) EXPECT_TRUE(imported.contains(name)) << "no longer imported: " << name;
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
