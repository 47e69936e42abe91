// Loading the Source Manager and calling it, with every call and its outcome printed.
#include <cstdarg>
#include <cstdio>

#include "demo.h"

namespace {

struct Name {
    unsigned value;
    const char *text;
};

constexpr Name DataTypeNames[] = {
    {DAT_NULL, "DAT_NULL"},
    {DAT_CAPABILITY, "DAT_CAPABILITY"},
    {DAT_EVENT, "DAT_EVENT"},
    {DAT_IDENTITY, "DAT_IDENTITY"},
    {DAT_PARENT, "DAT_PARENT"},
    {DAT_PENDINGXFERS, "DAT_PENDINGXFERS"},
    {DAT_SETUPMEMXFER, "DAT_SETUPMEMXFER"},
    {DAT_SETUPFILEXFER, "DAT_SETUPFILEXFER"},
    {DAT_STATUS, "DAT_STATUS"},
    {DAT_USERINTERFACE, "DAT_USERINTERFACE"},
    {DAT_XFERGROUP, "DAT_XFERGROUP"},
    {DAT_IMAGEINFO, "DAT_IMAGEINFO"},
    {DAT_IMAGELAYOUT, "DAT_IMAGELAYOUT"},
    {DAT_IMAGEMEMXFER, "DAT_IMAGEMEMXFER"},
    {DAT_IMAGENATIVEXFER, "DAT_IMAGENATIVEXFER"},
    {DAT_IMAGEFILEXFER, "DAT_IMAGEFILEXFER"},
};

constexpr Name MessageNames[] = {
    {MSG_NULL, "MSG_NULL"},
    {MSG_GET, "MSG_GET"},
    {MSG_GETCURRENT, "MSG_GETCURRENT"},
    {MSG_GETDEFAULT, "MSG_GETDEFAULT"},
    {MSG_GETFIRST, "MSG_GETFIRST"},
    {MSG_GETNEXT, "MSG_GETNEXT"},
    {MSG_SET, "MSG_SET"},
    {MSG_RESET, "MSG_RESET"},
    {MSG_XFERREADY, "MSG_XFERREADY"},
    {MSG_CLOSEDSREQ, "MSG_CLOSEDSREQ"},
    {MSG_CLOSEDSOK, "MSG_CLOSEDSOK"},
    {MSG_OPENDSM, "MSG_OPENDSM"},
    {MSG_CLOSEDSM, "MSG_CLOSEDSM"},
    {MSG_OPENDS, "MSG_OPENDS"},
    {MSG_CLOSEDS, "MSG_CLOSEDS"},
    {MSG_USERSELECT, "MSG_USERSELECT"},
    {MSG_DISABLEDS, "MSG_DISABLEDS"},
    {MSG_ENABLEDS, "MSG_ENABLEDS"},
    {MSG_PROCESSEVENT, "MSG_PROCESSEVENT"},
    {MSG_ENDXFER, "MSG_ENDXFER"},
};

constexpr Name ReturnCodeNames[] = {
    {TWRC_SUCCESS, "TWRC_SUCCESS"},         {TWRC_FAILURE, "TWRC_FAILURE"},
    {TWRC_CHECKSTATUS, "TWRC_CHECKSTATUS"}, {TWRC_CANCEL, "TWRC_CANCEL"},
    {TWRC_DSEVENT, "TWRC_DSEVENT"},         {TWRC_NOTDSEVENT, "TWRC_NOTDSEVENT"},
    {TWRC_XFERDONE, "TWRC_XFERDONE"},       {TWRC_ENDOFLIST, "TWRC_ENDOFLIST"},
};

constexpr Name ConditionCodeNames[] = {
    {TWCC_SUCCESS, "TWCC_SUCCESS"},
    {TWCC_BUMMER, "TWCC_BUMMER"},
    {TWCC_LOWMEMORY, "TWCC_LOWMEMORY"},
    {TWCC_NODS, "TWCC_NODS"},
    {TWCC_MAXCONNECTIONS, "TWCC_MAXCONNECTIONS"},
    {TWCC_OPERATIONERROR, "TWCC_OPERATIONERROR"},
    {TWCC_BADCAP, "TWCC_BADCAP"},
    {TWCC_BADPROTOCOL, "TWCC_BADPROTOCOL"},
    {TWCC_BADVALUE, "TWCC_BADVALUE"},
    {TWCC_SEQERROR, "TWCC_SEQERROR"},
    {TWCC_BADDEST, "TWCC_BADDEST"},
    {TWCC_CAPUNSUPPORTED, "TWCC_CAPUNSUPPORTED"},
    {TWCC_CAPBADOPERATION, "TWCC_CAPBADOPERATION"},
};

template <size_t N>
const char *Lookup(const Name (&names)[N], unsigned value) {
    for (const Name &name : names)
        if (name.value == value) return name.text;
    return "?";
}

// DAT_STATUS straight through DSM_Entry (not Call: that would report the report).
TW_UINT16 AskStatus(TW_IDENTITY *dest) {
    TW_STATUS status = {};
    if (g_demo.dsmEntry(&g_demo.app, dest, DG_CONTROL, DAT_STATUS, MSG_GET, &status) !=
        TWRC_SUCCESS)
        return 0xFFFF;
    return status.ConditionCode;
}

void PrintConditionCode(const char *whose, TW_UINT16 code) {
    if (code == 0xFFFF)
        printf("      DAT_STATUS of the %s failed\n", whose);
    else
        printf("      condition code (%s): %s (%u)\n", whose, Lookup(ConditionCodeNames, code),
               code);
}

}  // namespace

Demo g_demo;

const char *ReturnCodeName(TW_UINT16 code) { return Lookup(ReturnCodeNames, code); }
const char *MessageName(TW_UINT16 message) { return Lookup(MessageNames, message); }

void Step(const char *format, ...) {
    va_list args;
    va_start(args, format);
    printf("* ");
    vprintf(format, args);
    printf("\n");
    va_end(args);
}

bool Fail(const char *format, ...) {
    va_list args;
    va_start(args, format);
    printf("! ");
    vprintf(format, args);
    printf("\n");
    va_end(args);
    g_demo.failed = true;
    return false;
}

bool LoadSourceManager() {
    g_demo.dsmLibrary = LoadLibraryA("TWAIN_32.DLL");
    if (!g_demo.dsmLibrary)
        return Fail("LoadLibraryA(\"TWAIN_32.DLL\") failed (%lu)", GetLastError());
    char path[MAX_PATH] = "";
    GetModuleFileNameA(g_demo.dsmLibrary, path, sizeof path);
    g_demo.dsmEntry = reinterpret_cast<DSMENTRYPROC>(
        reinterpret_cast<void *>(GetProcAddress(g_demo.dsmLibrary, "DSM_Entry")));
    if (!g_demo.dsmEntry) return Fail("%s exports no DSM_Entry", path);
    Step("Source Manager loaded: %s", path);
    if (!GetProcAddress(g_demo.dsmLibrary, "DSM_DevNotificationCount"))
        Step(
            "note: this is not the development Source Manager (under Wine, set "
            "WINEDLLOVERRIDES=twain_32=n,b)");
    return true;
}

TW_UINT16 Call(TW_IDENTITY *dest, TW_UINT32 group, TW_UINT16 dataType, TW_UINT16 message,
               TW_MEMREF data) {
    TW_UINT16 result = g_demo.dsmEntry(&g_demo.app, dest, group, dataType, message, data);
    printf("    %s / %s / %s -> %s\n", group == DG_IMAGE ? "DG_IMAGE" : "DG_CONTROL",
           Lookup(DataTypeNames, dataType), MessageName(message), ReturnCodeName(result));
    if (result == TWRC_FAILURE || result == TWRC_CANCEL) QueryStatus(dest);
    return result;
}

TW_UINT16 QueryStatus(TW_IDENTITY *dest) {
    TW_UINT16 code = AskStatus(dest);
    PrintConditionCode(dest ? "source" : "Source Manager", code);
    // A triplet the Source Manager refused never reached the source.
    if (dest && (code == TWCC_SUCCESS || code == 0xFFFF)) {
        TW_UINT16 own = AskStatus(nullptr);
        if (own != TWCC_SUCCESS) PrintConditionCode("Source Manager", own);
    }
    return code;
}

void PrintIdentity(const char *what, const TW_IDENTITY &identity) {
    printf("    %s: Id %u, \"%.34s\" / \"%.34s\" / \"%.34s\"\n", what, identity.Id,
           identity.Manufacturer, identity.ProductFamily, identity.ProductName);
    printf("      version %u.%u \"%.34s\", protocol %u.%u, groups 0x%X\n",
           identity.Version.MajorNum, identity.Version.MinorNum, identity.Version.Info,
           identity.ProtocolMajor, identity.ProtocolMinor, identity.SupportedGroups);
}
