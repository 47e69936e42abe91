#include "support/harness.h"

#include <cstdio>
#include <cstring>
#include <fstream>

#include "support/box_hook.h"

namespace qx {

namespace {

typedef int (*ConfigureProc)(const char *);

template <class T> T Export(HMODULE module, const char *name) {
    return reinterpret_cast<T>(reinterpret_cast<void *>(GetProcAddress(module, name)));
}

HMODULE BoardLibrary() {
    static HMODULE kvd = LoadLibraryA("Kvd.dll");
    return kvd;
}

void CopyName(char (&field)[34], const char *text) {
    memset(field, 0, sizeof field);
    strncpy(field, text, sizeof field - 1);
}

}  // namespace

TW_IDENTITY AppIdentity(TW_UINT32 id, TW_UINT16 protocolMajor, TW_UINT16 protocolMinor) {
    TW_IDENTITY identity = {};
    identity.Id = id;
    identity.Version.MajorNum = 2;
    identity.Version.MinorNum = 1;
    identity.Version.Language = TWLG_USA;
    identity.Version.Country = TWCY_USA;
    CopyName(identity.Version.Info, "Test application");
    identity.ProtocolMajor = protocolMajor;
    identity.ProtocolMinor = protocolMinor;
    identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
    CopyName(identity.Manufacturer, "QXTwain tests");
    CopyName(identity.ProductFamily, "Tests");
    CopyName(identity.ProductName, "Test application");
    return identity;
}

TW_IDENTITY OpenedSourceIdentity(TW_UINT32 id) {
    TW_IDENTITY identity = {};
    identity.Id = id;
    identity.Version.MajorNum = 1;
    identity.Version.MinorNum = 603;
    identity.Version.Language = TWLG_USA;
    identity.Version.Country = TWCY_USA;
    CopyName(identity.Version.Info, "Version 2001");
    identity.ProtocolMajor = 1;
    identity.ProtocolMinor = 6;
    identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
    CopyName(identity.Manufacturer, "Quorvex, Inc");
    CopyName(identity.ProductFamily, "Quorvex");
    CopyName(identity.ProductName, "Quorvex Camera Interface");
    return identity;
}

LoadedSource::LoadedSource() : app(AppIdentity()), opened(OpenedSourceIdentity()) {
    module = LoadLibraryA("QXTwain.ds");
    if (module) entry = Export<DSENTRYPROC>(module, "DS_Entry");
    EXPECT_NE(entry, nullptr) << "QXTwain.ds did not load";
}

LoadedSource::~LoadedSource() {
    if (module) FreeLibrary(module);
}

TW_UINT16 LoadedSource::Call(TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg, void *data) {
    return CallAs(&app, dg, dat, msg, data);
}

TW_UINT16 LoadedSource::CallAs(TW_IDENTITY *origin, TW_UINT32 dg, TW_UINT16 dat, TW_UINT16 msg,
                               void *data) {
    return entry(origin, dg, dat, msg, data);
}

TW_UINT16 LoadedSource::Status() {
    TW_STATUS status = {0xEEEE, 0xEEEE};
    EXPECT_EQ(Call(DG_CONTROL, DAT_STATUS, MSG_GET, &status), TWRC_SUCCESS);
    EXPECT_EQ(status.Reserved, 0);
    return status.ConditionCode;
}

TW_UINT16 LoadedSource::Open() {
    opened = OpenedSourceIdentity();
    return Call(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &opened);
}

TW_UINT16 LoadedSource::Close() { return Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr); }

TW_UINT16 LoadedSource::Enable(bool showUI, HWND parent) {
    TW_USERINTERFACE ui = {static_cast<TW_BOOL>(showUI ? 1 : 0), 1, parent};
    return Call(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &ui);
}

TW_UINT16 LoadedSource::Disable() {
    TW_USERINTERFACE ui = {0, 0, nullptr};
    return Call(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &ui);
}

int LoadedSource::PendingCount() {
    TW_PENDINGXFERS pending = {0xBEEF, 0};
    if (Call(DG_CONTROL, DAT_PENDINGXFERS, MSG_GET, &pending) != TWRC_SUCCESS) return -1;
    return pending.Count;
}

TW_UINT16 LoadedSource::Capability(TW_UINT16 msg, TW_CAPABILITY *cap) {
    return Call(DG_CONTROL, DAT_CAPABILITY, msg, cap);
}

std::string BoardLogPath() {
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    char name[64];
    snprintf(name, sizeof name, "qxsim-log-%lu.txt", GetCurrentProcessId());
    return std::string(folder) + name;
}

void ConfigureBoard(const std::string &keys) {
    std::string path = BoardLogPath();
    DeleteFileA(path.c_str());
    auto configure = Export<ConfigureProc>(BoardLibrary(), "KvSimConfigure");
    ASSERT_NE(configure, nullptr) << "Kvd.dll has no KvSimConfigure";
    std::string text = "log = " + path + "\n" + keys;
    ASSERT_EQ(configure(text.c_str()), 0) << "bad board configuration:\n" << text;
}

std::vector<std::string> BoardLog() {
    std::vector<std::string> lines;
    std::ifstream in(BoardLogPath());
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> BoardLogMatching(const std::string &prefix) {
    std::vector<std::string> lines;
    for (const std::string &line : BoardLog())
        if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
    return lines;
}

uint32_t RampSample(uint32_t x, uint32_t y, uint32_t frame, uint32_t depth, bool highBits) {
    uint32_t mask = (1u << depth) - 1;
    uint32_t value = (x + 3 * y + 5 * frame) & mask;
    if (highBits) value |= ~mask & 0xFFFF;
    return value;
}

uint8_t RampByte(uint32_t x, uint32_t y, uint32_t frame, uint32_t k) {
    return static_cast<uint8_t>(x + 3 * y + 5 * frame + 80 * k);
}

std::vector<Box> Boxes() {
    std::vector<Box> boxes;
    for (int i = 0; i < BoxHookCount(); ++i) {
        CaughtBox caught;
        if (!BoxHookGet(i, &caught)) break;
        bool onlyOk = caught.buttons == (1u << IDOK);
        boxes.push_back({caught.owner, caught.thread, caught.title, caught.text,
                         onlyOk && !caught.hasIcon, caught.buttons, caught.hasIcon != 0});
    }
    return boxes;
}

void ClearBoxes() { BoxHookClear(); }

SIZE_T CommittedPrivateBytes() {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const uint8_t *address = nullptr; VirtualQuery(address, &info, sizeof info) == sizeof info;
         address = static_cast<const uint8_t *>(info.BaseAddress) + info.RegionSize) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
    }
    return total;
}

void SetDialogAction(const char *title, int command, int listIndex) {
    BoxHookSetDialogAction(title, command, listIndex);
}

void PumpMessages(DWORD ms) {
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(1);
    } while (GetTickCount() - start < ms);
}

bool WaitForBoxes(size_t n, DWORD ms) {
    return PumpUntil([n] { return static_cast<size_t>(BoxHookCount()) >= n; }, ms);
}

void SourceTest::SetUp() {
    ASSERT_TRUE(BoxHookStart());
    ClearBoxes();
    ClearNotifications();
    ConfigureBoard(BoardConfig());
    source = std::make_unique<LoadedSource>();
    ASSERT_NE(source->entry, nullptr);
}

void SourceTest::TearDown() {
    if (source && source->entry) {
        // Whatever state the test left: undo it so the module can be unloaded.
        source->Disable();
        source->Close();
    }
    source.reset();
}

}  // namespace qx

namespace qx {

namespace {

struct DsmRecordApi {
    int (*count)();
    BOOL (*get)(int, Notification *);
    void (*clear)();
};

const DsmRecordApi &DsmRecord() {
    static DsmRecordApi api = [] {
        HMODULE dsm = LoadLibraryA("TWAIN_32.DLL");
        DsmRecordApi a{};
        if (dsm) {
            a.count = Export<int (*)()>(dsm, "DSM_DevNotificationCount");
            a.get = Export<BOOL (*)(int, Notification *)>(dsm, "DSM_DevNotificationGet");
            a.clear = Export<void (*)()>(dsm, "DSM_DevNotificationClear");
        }
        return a;
    }();
    return api;
}

}  // namespace

std::vector<Notification> Notifications() {
    std::vector<Notification> all;
    const DsmRecordApi &api = DsmRecord();
    EXPECT_TRUE(api.count && api.get) << "the development Source Manager is not loaded";
    if (!api.count || !api.get) return all;
    for (int i = 0, n = api.count(); i < n; ++i) {
        Notification note;
        if (api.get(i, &note)) all.push_back(note);
    }
    return all;
}

void ClearNotifications() {
    if (DsmRecord().clear) DsmRecord().clear();
}

}  // namespace qx
