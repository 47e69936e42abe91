// QXEr.dll: the board-selection dialog. Lists the installed boards ("Quorvex
// 0x20 board 0", ...) with OK and Cancel; the `select` key answers it without
// a window.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "board/maker_api.h"
#include "sim_core.h"

namespace {

constexpr uint32_t Chosen = 0;
constexpr uint32_t Cancelled = 2;
constexpr int ListId = 100;
constexpr int LabelId = 101;

struct Choice {
    uint32_t family;
    uint32_t number;
};

// A dialog template in memory: header, then items, each DWORD-aligned.
class TemplateWriter {
public:
    void Header(DWORD style, WORD items, short cx, short cy, const wchar_t *title) {
        Dword(style);
        Dword(0);
        Word(items);
        Word(0), Word(0), Word(static_cast<WORD>(cx)), Word(static_cast<WORD>(cy));
        Word(0);  // no menu
        Word(0);  // standard class
        Text(title);
        Word(8);
        Text(L"MS Shell Dlg");
    }
    void Item(DWORD style, short x, short y, short cx, short cy, WORD id, WORD cls,
              const wchar_t *text) {
        while (words_.size() % 2) Word(0);
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        Word(static_cast<WORD>(x)), Word(static_cast<WORD>(y));
        Word(static_cast<WORD>(cx)), Word(static_cast<WORD>(cy));
        Word(id);
        Word(0xFFFF), Word(cls);
        Text(text);
        Word(0);  // no creation data
    }
    LPCDLGTEMPLATEA Get() const { return reinterpret_cast<LPCDLGTEMPLATEA>(words_.data()); }

private:
    void Word(WORD w) { words_.push_back(w); }
    void Dword(DWORD d) { Word(LOWORD(d)), Word(HIWORD(d)); }
    void Text(const wchar_t *s) {
        do Word(static_cast<WORD>(*s)); while (*s++);
    }
    std::vector<WORD> words_;
};

constexpr WORD ButtonClass = 0x0080, StaticClass = 0x0082, ListClass = 0x0083;

void FillBoardList(HWND list) {
    for (uint32_t family : KV_FAMILIES) {
        uint32_t count = QxsBoardCount(family);
        for (uint32_t number = 0; number < count; ++number) {
            char text[64];
            snprintf(text, sizeof text, "Quorvex 0x%X board %u", family, number);
            LRESULT i = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            SendMessageA(list, LB_SETITEMDATA, i, MAKELPARAM(number, family));
        }
    }
    SendMessageA(list, LB_SETCURSEL, 0, 0);
}

void EndWithSelection(HWND dialog) {
    HWND list = GetDlgItem(dialog, ListId);
    LRESULT i = SendMessageA(list, LB_GETCURSEL, 0, 0);
    if (i == LB_ERR) {
        EndDialog(dialog, Cancelled);
        return;
    }
    LRESULT data = SendMessageA(list, LB_GETITEMDATA, i, 0);
    auto *choice = reinterpret_cast<Choice *>(GetWindowLongPtrA(dialog, DWLP_USER));
    choice->family = HIWORD(data);
    choice->number = LOWORD(data);
    EndDialog(dialog, Chosen);
}

INT_PTR CALLBACK SelectDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrA(dialog, DWLP_USER, lParam);
        FillBoardList(GetDlgItem(dialog, ListId));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK ||
            (LOWORD(wParam) == ListId && HIWORD(wParam) == LBN_DBLCLK))
            EndWithSelection(dialog);
        else if (LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, Cancelled);
        return TRUE;
    }
    return FALSE;
}

HINSTANCE ThisModule() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&SelectDialogProc), &self);
    return self;
}

uint32_t ShowSelectDialog(Choice *choice) {
    TemplateWriter t;
    t.Header(DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU, 4, 200,
             120, L"Select Quorvex Board");
    t.Item(SS_LEFT, 7, 7, 186, 8, LabelId, StaticClass, L"Installed boards:");
    t.Item(LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 7, 18, 186, 74, ListId, ListClass, L"");
    t.Item(BS_DEFPUSHBUTTON | WS_TABSTOP, 89, 99, 50, 14, IDOK, ButtonClass, L"OK");
    t.Item(BS_PUSHBUTTON | WS_TABSTOP, 143, 99, 50, 14, IDCANCEL, ButtonClass, L"Cancel");
    INT_PTR r = DialogBoxIndirectParamA(ThisModule(), t.Get(), GetActiveWindow(), SelectDialogProc,
                                        reinterpret_cast<LPARAM>(choice));
    return r == Chosen ? Chosen : Cancelled;
}

uint32_t SelectBoard(Choice *choice) {
    QxsSettings s;
    QxsGetSettings(&s);
    if (s.selectMode == QXS_SELECT_CANCEL) return Cancelled;
    if (s.selectMode == QXS_SELECT_BOARD) {
        choice->family = s.selectFamily;
        choice->number = s.selectNumber;
        return Chosen;
    }
    return ShowSelectDialog(choice);
}

}  // namespace

extern "C" uint32_t DoBrdOpenDialog(uint32_t arg1, uint32_t arg2, uint32_t *family,
                                    uint32_t *number, uint32_t *out3, uint32_t *out4) {
    Choice choice = {0, 0};
    uint32_t result = SelectBoard(&choice);
    if (result == Chosen) {
        if (family) *family = choice.family;
        if (number) *number = choice.number;
        if (out3) *out3 = 0;
        if (out4) *out4 = 0;
    }
    return QxsEndCall(result, "DoBrdOpenDialog %u %u", arg1, arg2);
}
