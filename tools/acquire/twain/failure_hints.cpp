// What to try after a failure, by the condition code that says what failed.
#include "twain/names.h"

namespace {

// A 32-bit source has a 32-bit address space: the 64-bit build is the cure
// for a frame too large for it.
constexpr const char *LowMemory =
    sizeof(void *) == 4 ? "not enough memory: a smaller frame, or the 64-bit qxacquire (bin\\qxacquire.exe)"
                        : "not enough memory: a smaller frame, or free memory used by other programs";

constexpr const char *NoSuchCapability = "the source has no such capability: --caps lists those it has";

constexpr Name Hints[] = {
    {TWCC_BUMMER, "the source failed without saying why: its boxes, if any, and --verbose tell more"},
    {TWCC_LOWMEMORY, LowMemory},
    {TWCC_NODS, "no such source: install one, or see with --list which there are"},
    {TWCC_MAXCONNECTIONS, "the source is in use: close the application that has it open"},
    {TWCC_OPERATIONERROR, "the device failed: check that it is connected and its driver installed"},
    {TWCC_BADCAP, NoSuchCapability},
    {TWCC_CAPUNSUPPORTED, NoSuchCapability},
    {TWCC_CAPBADOPERATION, "the source does not allow that on this capability: --caps shows the messages each takes"},
    {TWCC_CAPSEQERROR, "the capability does not take that value with the others as they are: set them in another order"},
    {TWCC_BADVALUE, "a value the source does not take: --caps shows the values it allows"},
    {TWCC_BADPROTOCOL, "the source does not do this: another --mech may serve"},
    {TWCC_SEQERROR, "a protocol fault: the call came in a state that does not take it (qxacquire's or the source's fault; --verbose shows the calls)"},
    {TWCC_BADDEST, "a protocol fault: the Source Manager does not know the source the call went to"},
    {TWCC_DENIED, "the file may not be written there: choose another --out folder"},
    {TWCC_FILEEXISTS, "the file is there already and the source does not replace it: choose another --out folder"},
    {TWCC_FILENOTFOUND, "the file or its folder was not found: check --out"},
    {TWCC_FILEWRITEERROR, "the file could not be written: check the disk's free space and --out"},
    {TWCC_CHECKDEVICEONLINE, "the device is off line: check that it is connected and switched on"},
};

}  // namespace

const char *ConditionCodeHint(TW_UINT16 code) {
    for (const Name &hint : Hints)
        if (hint.value == code) return hint.text;
    return "--verbose shows every call and its result";
}
