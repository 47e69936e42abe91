#include "support/harness.h"

#include "support/box_hook.h"

namespace qx {

namespace {

// Checks of the code shared with the benchmarks fail the running test.
const bool failuresGoToTheTest = [] {
    SetFailureReporter([](const std::string &what) { ADD_FAILURE() << what; });
    return true;
}();

}  // namespace

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

void ExpectOneBox(const std::string &title, const std::string &text) {
    auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_BOX(boxes[0], title, text);
}

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
        Leave(*source);
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
