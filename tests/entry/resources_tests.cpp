// The module's own resources, as another program reads them.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
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

bool InSystemFolder(const char *library) {
    char path[MAX_PATH];
    UINT n = GetSystemDirectoryA(path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return false;
    std::string file = std::string(path, n) + "\\" + library;
    return GetFileAttributesA(file.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The exports, the imports and the architecture as a Source Manager's loader
// finds them: DS_Entry undecorated (no "DS_Entry@20" on Win32), and libraries
// of the system and of the board maker only.
TEST(Resources, OnlyDSEntryIsExported) {
    HMODULE module = LoadLibraryExA("QXTwain.ds", nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(module, nullptr);
    auto base = reinterpret_cast<const uint8_t *>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
    // The headers of the architecture this test is built for: PE32+ or PE32.
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
    EXPECT_EQ(nt->OptionalHeader.Magic, sizeof(void *) == 8 ? IMAGE_NT_OPTIONAL_HDR64_MAGIC
                                                              : IMAGE_NT_OPTIONAL_HDR32_MAGIC);
    EXPECT_EQ(nt->FileHeader.Machine, sizeof(void *) == 8 ? IMAGE_FILE_MACHINE_AMD64
                                                            : IMAGE_FILE_MACHINE_I386);
    const IMAGE_DATA_DIRECTORY &dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY *>(base + dir.VirtualAddress);
    ASSERT_EQ(exports->NumberOfNames, 1u);
    EXPECT_EQ(exports->NumberOfFunctions, 1u);
    auto names = reinterpret_cast<const DWORD *>(base + exports->AddressOfNames);
    EXPECT_STREQ(reinterpret_cast<const char *>(base + names[0]), "DS_Entry");

    const char *maker[] = {"Kvd.dll", "QXD.dll", "QXEr.dll", "QXDiskIO.dll", "Vizpane.dll"};
    int makerImports = 0;
    const IMAGE_DATA_DIRECTORY &imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto *d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress);
         d->Name; ++d) {
        const char *library = reinterpret_cast<const char *>(base + d->Name);
        bool ofMaker = std::any_of(std::begin(maker), std::end(maker),
                                   [&](const char *m) { return lstrcmpiA(m, library) == 0; });
        makerImports += ofMaker;
        EXPECT_TRUE(ofMaker || InSystemFolder(library)) << library;
    }
    EXPECT_EQ(makerImports, 5);
    FreeLibrary(module);
}

}  // namespace
