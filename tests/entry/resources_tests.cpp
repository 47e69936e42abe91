// The module's own resources, as another program reads them.
#include <cstring>
#include <vector>

#include "support/harness.h"

namespace {

// A transcript on purpose: Source Managers and installers read these texts.
TEST(Resources, StringTableIconAndVersionBlock) {
    qx::ConfigureBoard();
    HMODULE module = LoadLibraryExA("QXTwain.ds", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    const char *expected[] = {"Quorvex, Inc", "Quorvex", "Quorvex Camera Interface",
                              "Version 2001"};
    for (UINT id = 0; id < 4; ++id) {
        char text[64] = {};
        EXPECT_GT(LoadStringA(module, id, text, sizeof text), 0) << id;
        EXPECT_STREQ(text, expected[id]);
    }
    EXPECT_NE(FindResourceA(module, "TW_DS_ICO", MAKEINTRESOURCEA(14)), nullptr);  // RT_GROUP_ICON
    EXPECT_NE(FindResourceA(module, MAKEINTRESOURCEA(1010), MAKEINTRESOURCEA(5)), nullptr);
    FreeLibrary(module);

    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA("QXTwain.ds", &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoA("QXTwain.ds", 0, size, block.data()));
    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void **>(&fixed), &length));
    EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), 1);
    EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), 603);
    char *name = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\OriginalFilename",
                               reinterpret_cast<void **>(&name), &length));
    EXPECT_STREQ(name, "QXTwain.ds");
}

TEST(Resources, OnlyDSEntryIsExported) {
    HMODULE module = LoadLibraryExA("QXTwain.ds", nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(module, nullptr);
    auto base = reinterpret_cast<const uint8_t *>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS64 *>(base + dos->e_lfanew);
    EXPECT_EQ(nt->OptionalHeader.Magic, IMAGE_NT_OPTIONAL_HDR64_MAGIC);
    const IMAGE_DATA_DIRECTORY &dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + dir.VirtualAddress);
    ASSERT_EQ(exports->NumberOfNames, 1u);
    EXPECT_EQ(exports->NumberOfFunctions, 1u);
    auto names = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
    EXPECT_STREQ(reinterpret_cast<const char *>(base + names[0]), "DS_Entry");
    FreeLibrary(module);
}

}  // namespace
