// Reading capabilities (whatever container the source answers with) and
// choosing the transfer mechanism.
#include <cstdio>
#include <cstring>
#include <string>

#include "demo.h"

namespace {

struct CapabilityName {
    TW_UINT16 cap;
    const char *name;
};

constexpr CapabilityName Shown[] = {
    {ICAP_PIXELTYPE, "ICAP_PIXELTYPE"},         {ICAP_BITDEPTH, "ICAP_BITDEPTH"},
    {ICAP_PHYSICALWIDTH, "ICAP_PHYSICALWIDTH"}, {ICAP_PHYSICALHEIGHT, "ICAP_PHYSICALHEIGHT"},
    {ICAP_XFERMECH, "ICAP_XFERMECH"},
};

size_t ItemSize(TW_UINT16 type) {
    switch (type) {
        case TWTY_INT8:
        case TWTY_UINT8:
            return 1;
        case TWTY_INT16:
        case TWTY_UINT16:
        case TWTY_BOOL:
            return 2;
        case TWTY_INT32:
        case TWTY_UINT32:
        case TWTY_FIX32:
            return 4;
        default:
            return 0;
    }
}

// One value of a scalar item type, read from where it is stored.
std::string FormatItem(TW_UINT16 type, const void *at) {
    char text[48];
    TW_UINT32 raw = 0;
    memcpy(&raw, at, ItemSize(type));
    switch (type) {
        case TWTY_INT8:
            snprintf(text, sizeof text, "%d", static_cast<TW_INT8>(raw));
            break;
        case TWTY_INT16:
            snprintf(text, sizeof text, "%d", static_cast<TW_INT16>(raw));
            break;
        case TWTY_INT32:
            snprintf(text, sizeof text, "%d", static_cast<TW_INT32>(raw));
            break;
        case TWTY_FIX32: {
            TW_FIX32 fix;
            memcpy(&fix, &raw, sizeof fix);
            snprintf(text, sizeof text, "%.3f", fix.Whole + fix.Frac / 65536.0);
            break;
        }
        case TWTY_UINT8:
        case TWTY_UINT16:
        case TWTY_UINT32:
        case TWTY_BOOL:
            snprintf(text, sizeof text, "%u", raw);
            break;
        default:
            snprintf(text, sizeof text, "(item type %u)", type);
    }
    return text;
}

std::string FormatList(TW_UINT16 type, const TW_UINT8 *items, TW_UINT32 count) {
    std::string list;
    size_t size = ItemSize(type);
    for (TW_UINT32 i = 0; i < count && size; ++i) {
        if (i) list += ", ";
        list += FormatItem(type, items + i * size);
    }
    return list;
}

std::string FormatContainer(TW_UINT16 conType, const void *container) {
    switch (conType) {
        case TWON_ONEVALUE: {
            auto *one = static_cast<const TW_ONEVALUE *>(container);
            return "one value " + FormatItem(one->ItemType, &one->Item);
        }
        case TWON_ENUMERATION: {
            auto *e = static_cast<const TW_ENUMERATION *>(container);
            return "enumeration {" + FormatList(e->ItemType, e->ItemList, e->NumItems) +
                   "}, current #" + std::to_string(e->CurrentIndex) + ", default #" +
                   std::to_string(e->DefaultIndex);
        }
        case TWON_RANGE: {
            auto *r = static_cast<const TW_RANGE *>(container);
            return "range " + FormatItem(r->ItemType, &r->MinValue) + " .. " +
                   FormatItem(r->ItemType, &r->MaxValue) + " step " +
                   FormatItem(r->ItemType, &r->StepSize) + ", current " +
                   FormatItem(r->ItemType, &r->CurrentValue);
        }
        case TWON_ARRAY: {
            auto *a = static_cast<const TW_ARRAY *>(container);
            return "array {" + FormatList(a->ItemType, a->ItemList, a->NumItems) + "}";
        }
        default:
            return "container type " + std::to_string(conType);
    }
}

void PrintCapability(const CapabilityName &shown) {
    TW_CAPABILITY cap = {shown.cap, 0, nullptr};
    printf("    %s:\n", shown.name);
    if (Call(&g_demo.source, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &cap) != TWRC_SUCCESS) return;
    void *container = cap.hContainer ? GlobalLock(cap.hContainer) : nullptr;
    if (!container) {
        printf("      (no container came back)\n");
        return;
    }
    printf("      %s\n", FormatContainer(cap.ConType, container).c_str());
    GlobalUnlock(cap.hContainer);
    GlobalFree(cap.hContainer);
}

}  // namespace

void PrintCapabilities() {
    Step("reading capabilities");
    for (const CapabilityName &shown : Shown) PrintCapability(shown);
}

void ChooseTransferMechanism() {
    TW_UINT16 mechanism = TWSX_NATIVE;
    if (g_demo.options.transfer == TransferKind::Memory) mechanism = TWSX_MEMORY;
    if (g_demo.options.transfer == TransferKind::File) mechanism = TWSX_FILE;
    Step("setting ICAP_XFERMECH to %u", mechanism);
    HGLOBAL handle = GlobalAlloc(GHND, sizeof(TW_ONEVALUE));
    auto *one = handle ? static_cast<TW_ONEVALUE *>(GlobalLock(handle)) : nullptr;
    if (!one) {
        if (handle) GlobalFree(handle);
        Fail("no memory for the capability container");
        return;
    }
    one->ItemType = TWTY_UINT16;
    one->Item = mechanism;
    GlobalUnlock(handle);
    TW_CAPABILITY cap = {ICAP_XFERMECH, TWON_ONEVALUE, handle};
    if (Call(&g_demo.source, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &cap) != TWRC_SUCCESS)
        Step("the source kept its transfer mechanism; going on with the %s transfer anyway",
             mechanism == TWSX_MEMORY ? "memory" : "file");
    GlobalFree(handle);
}
