// cap_table_json DEPTH: the capability table the capability tests expect of a
// fresh 320 x 200 board of DEPTH bits, in TWAIN codes, for caps_json_test.py
// to hold qxacquire's --caps --json against (it reads the names' codes from
// the TWAIN header).
#include <cstdio>
#include <cstdlib>

#include "cap_support.h"
#include "parse_number.h"

namespace {

std::string Item(TW_UINT16 itemType, TW_UINT32 raw) {
    char text[32];
    if (itemType == TWTY_INT16) snprintf(text, sizeof text, "%d", static_cast<TW_INT16>(raw));
    else if (itemType == TWTY_FIX32)
        snprintf(text, sizeof text, "%g", static_cast<TW_INT16>(raw) + (raw >> 16) / 65536.0);
    else snprintf(text, sizeof text, "%u", raw);
    return text;
}

}  // namespace

int main(int argc, char **argv) {
    TW_UINT32 depth = 8;
    if (argc > 1) ParseNumber(argv[1], &depth);
    std::vector<qx::Expected> table = qx::FreshTable(depth, 320, 200);
    // ICAP_BITDEPTH answers from the record of the current pixel type.
    TW_UINT16 bitDepthRecord = qx::Find(table, ICAP_PIXELTYPE).currentValue == TWPT_RGB ? 0x9002 : 0x9001;
    std::vector<TW_UINT32> codes = qx::SupportedCodes();
    printf("[\n");
    for (size_t i = 0; i < codes.size(); ++i) {
        const TW_UINT16 code = static_cast<TW_UINT16>(codes[i]);
        const qx::Expected &e = qx::Find(table, code == ICAP_BITDEPTH ? bitDepthRecord : code);
        printf("  {\"code\": %u, \"container\": %u, \"itemType\": %u, \"messages\": %u", code,
               e.getContainer, e.itemType, static_cast<unsigned>(e.messages));
        if (e.getContainer != TWON_ARRAY) printf(", \"current\": %s", Item(e.itemType, e.currentValue).c_str());
        if (e.getContainer != TWON_ONEVALUE) {
            std::string values;
            for (TW_UINT32 v : e.list) values += (values.empty() ? "" : ", ") + Item(e.itemType, v);
            printf(", \"values\": [%s]", values.c_str());
        }
        printf("}%s\n", i + 1 < codes.size() ? "," : "");
    }
    printf("]\n");
    return 0;
}
