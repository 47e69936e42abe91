// QXD.dll: the board's qtab mode and the box that shows the board's last failure.
#include <windows.h>

#include "board/maker_api.h"
#include "sim_core.h"

extern "C" uint32_t QXQTabModeRequest(KvBoard, uint32_t request, uint32_t *mode) {
    QxsSettings s;
    QxsGetSettings(&s);
    uint32_t result = 0;
    if (mode) *mode = s.qtabMode;
    else result = 1;
    return QxsEndCall(result, "QXQTabModeRequest %u", request);
}

extern "C" uint32_t QXErrorShow(KvBoard) {
    char text[256];
    QxsGetFailure(text, sizeof text);
    MessageBoxA(GetActiveWindow(), text, "Quorvex Error", MB_OK);
    return QxsEndCall(0, "QXErrorShow");
}
