// qxacquire's words for TWAIN: names of codes and codes of names, the
// transfer mechanisms it drives, and what to try after a condition code.
// Windows-free, so that the readers of what a source hands over name codes too.
#pragma once

#include <string>
#include <vector>

#include "parse_number.h"
#include "twain.h"

struct Name {
    unsigned value;
    const char *text;
};

const char *DataGroupName(TW_UINT32 group);
const char *DataTypeName(TW_UINT16 dataType);
const char *MessageName(TW_UINT16 message);
const char *ReturnCodeName(TW_UINT16 code);
const char *ConditionCodeName(TW_UINT16 code);
const char *ContainerName(TW_UINT16 conType);
const char *ItemTypeName(TW_UINT16 itemType);
// "MSG_GET", "MSG_SET", ... for the bits of a MSG_QUERYSUPPORT reply.
std::vector<const char *> SupportedMessageNames(TW_UINT32 support);
// "ICAP_PIXELTYPE", or "0x8001" for a code without a name.
std::string CapabilityName(TW_UINT16 cap);
// Every capability that has a name here, in the order of the names' table.
std::vector<TW_UINT16> NamedCapabilities();
// The name of a value of cap ("TWPT_GRAY"), or nullptr when it has none.
const char *CapabilityValueName(TW_UINT16 cap, TW_UINT32 value);
// A capability by name ("ICAP_PIXELTYPE", "pixeltype", "0x0101").
bool CapabilityByName(const std::string &text, TW_UINT16 *cap);
// A value of cap by name ("TWPT_GRAY", "gray") or number, which may be negative.
bool CapabilityValueByName(TW_UINT16 cap, const std::string &text, TW_UINT32 *value);

// The transfer mechanisms qxacquire drives are the named values of
// ICAP_XFERMECH; a mechanism's word is its name without "TWSX_", in lower
// case ("native" of TWSX_NATIVE).
bool IsMechanism(TW_UINT32 mechanism);
std::string MechanismWord(TW_UINT32 mechanism);
bool MechanismByWord(const std::string &word, TW_UINT16 *mechanism);
// "qxacquire transfers by TWSX_NATIVE, TWSX_MEMORY or TWSX_FILE, not <given>".
std::string NotAMechanism(const std::string &given);

// What to try after a failure with this condition code (failure_hints.cpp).
const char *ConditionCodeHint(TW_UINT16 code);
