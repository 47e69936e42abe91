// Capabilities: every one the source lists in CAP_SUPPORTEDCAPS (or, when it
// lists none, every one that has a name here and answers) read with
// MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT and MSG_QUERYSUPPORT and printed
// as a table or JSON; --set; the transfer mechanism and file format.
#include <cstdio>
#include <cstring>

#include "acquire.h"

namespace {

struct Value {
    TW_UINT16 itemType = 0;
    TW_UINT32 raw = 0;  // the scalar types, widened
    std::string text;   // strings and frames
};

struct CapabilityReport {
    TW_UINT16 cap = 0;
    TW_UINT16 conType = 0;
    TW_UINT16 itemType = 0;
    bool answered = false;
    TW_UINT16 failure = 0;  // condition code of a refused MSG_GET
    bool hasCurrent = false, hasDefault = false;
    Value current, defaultValue;
    std::vector<Value> allowed;  // enumeration or array items
    bool isRange = false;
    Value minimum, maximum, step;
    bool hasSupport = false;
    TW_UINT32 support = 0;
};

double FixValue(TW_UINT32 raw) {
    TW_FIX32 fix;
    memcpy(&fix, &raw, sizeof fix);
    return fix.Whole + fix.Frac / 65536.0;
}

Value ReadItem(TW_UINT16 type, const void *at) {
    Value value;
    value.itemType = type;
    size_t size = ItemSize(type);
    if (type == TWTY_FRAME) {
        TW_FIX32 sides[4];
        memcpy(sides, at, sizeof sides);
        char text[96];
        snprintf(text, sizeof text, "%g,%g,%g,%g", sides[0].Whole + sides[0].Frac / 65536.0,
                 sides[1].Whole + sides[1].Frac / 65536.0, sides[2].Whole + sides[2].Frac / 65536.0,
                 sides[3].Whole + sides[3].Frac / 65536.0);
        value.text = text;
    } else if (size > 4) {
        const char *chars = static_cast<const char *>(at);
        value.text.assign(chars, strnlen(chars, size));
    } else if (size) {
        memcpy(&value.raw, at, size);
    }
    return value;
}

// As the table shows it: a code's name, a signed or fixed-point number.
std::string FormatValue(TW_UINT16 cap, const Value &value) {
    char text[48];
    switch (value.itemType) {
        case TWTY_INT8: snprintf(text, sizeof text, "%d", static_cast<TW_INT8>(value.raw)); break;
        case TWTY_INT16: snprintf(text, sizeof text, "%d", static_cast<TW_INT16>(value.raw)); break;
        case TWTY_INT32: snprintf(text, sizeof text, "%d", static_cast<TW_INT32>(value.raw)); break;
        case TWTY_FIX32: snprintf(text, sizeof text, "%g", FixValue(value.raw)); break;
        case TWTY_BOOL: return value.raw ? "TRUE" : "FALSE";
        case TWTY_UINT8:
        case TWTY_UINT16:
        case TWTY_UINT32:
            if (cap == CAP_SUPPORTEDCAPS) return CapabilityName(static_cast<TW_UINT16>(value.raw));
            if (const char *name = CapabilityValueName(cap, value.raw)) return name;
            snprintf(text, sizeof text, "%u", value.raw);
            break;
        default: return value.text;
    }
    return text;
}

std::string JsonString(const std::string &text) {
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
        quoted += c;
    }
    return quoted + "\"";
}

// Numbers stay numbers in JSON (codes too: their names come beside them).
std::string JsonValue(TW_UINT16 cap, const Value &value) {
    switch (value.itemType) {
        case TWTY_INT8: case TWTY_INT16: case TWTY_INT32: case TWTY_FIX32: case TWTY_UINT8:
        case TWTY_UINT16: case TWTY_UINT32:
            return value.itemType == TWTY_UINT16 && (cap == CAP_SUPPORTEDCAPS ||
                                                     CapabilityValueName(cap, value.raw))
                       ? "{\"value\": " + std::to_string(value.raw) +
                             ", \"name\": " + JsonString(FormatValue(cap, value)) + "}"
                       : FormatValue(cap, value);
        case TWTY_BOOL: return value.raw ? "true" : "false";
        default: return JsonString(value.text);
    }
}

// One reply of the source for cap; the container is freed here. A refusal
// that is not reported leaves its condition code in *failure, when given.
template <class Use>
bool Ask(Session &s, TW_UINT16 cap, TW_UINT16 message, Refusal refusal, Use use,
         TW_UINT16 *failure = nullptr) {
    TW_CAPABILITY request = {cap, 0, nullptr};
    TW_UINT16 result = Call(s, ToSource, {DG_CONTROL, DAT_CAPABILITY, message}, &request);
    if (result != TWRC_SUCCESS && refusal == Reported) return Refused(s, result);
    if (result != TWRC_SUCCESS) {
        if (failure) *failure = ConditionCode(s, ToSource);
        return false;
    }
    const void *container = request.hContainer ? GlobalLock(request.hContainer) : nullptr;
    if (container) use(request.ConType, container);
    if (request.hContainer) {
        GlobalUnlock(request.hContainer);
        GlobalFree(request.hContainer);
    }
    if (!container && refusal == Reported)
        return Fail(s, ExitSourceFailed, "the source answered %s of %s without a container",
                    MessageName(message), CapabilityName(cap).c_str());
    return container != nullptr;
}

void ReadList(TW_UINT16 itemType, TW_UINT32 count, const TW_UINT8 *items,
              CapabilityReport *report) {
    report->itemType = itemType;
    size_t size = ItemSize(itemType);
    for (TW_UINT32 i = 0; i < count && size; ++i)
        report->allowed.push_back(ReadItem(itemType, items + i * size));
}

// What a container says: its items, current and default where it holds them.
void ReadContainer(TW_UINT16 conType, const void *container, CapabilityReport *report) {
    report->conType = conType;
    switch (conType) {
        case TWON_ONEVALUE: {
            auto *one = static_cast<const TW_ONEVALUE *>(container);
            report->itemType = one->ItemType;
            report->current = ReadItem(one->ItemType, &one->Item);
            report->hasCurrent = true;
            break;
        }
        case TWON_ENUMERATION: {
            auto *list = static_cast<const TW_ENUMERATION *>(container);
            ReadList(list->ItemType, list->NumItems, list->ItemList, report);
            report->hasCurrent = list->CurrentIndex < report->allowed.size();
            if (report->hasCurrent) report->current = report->allowed[list->CurrentIndex];
            report->hasDefault = list->DefaultIndex < report->allowed.size();
            if (report->hasDefault) report->defaultValue = report->allowed[list->DefaultIndex];
            break;
        }
        case TWON_ARRAY: {
            auto *array = static_cast<const TW_ARRAY *>(container);
            ReadList(array->ItemType, array->NumItems, array->ItemList, report);
            break;
        }
        case TWON_RANGE: {
            auto *range = static_cast<const TW_RANGE *>(container);
            report->itemType = range->ItemType;
            report->isRange = true;
            report->minimum = ReadItem(range->ItemType, &range->MinValue);
            report->maximum = ReadItem(range->ItemType, &range->MaxValue);
            report->step = ReadItem(range->ItemType, &range->StepSize);
            report->current = ReadItem(range->ItemType, &range->CurrentValue);
            report->defaultValue = ReadItem(range->ItemType, &range->DefaultValue);
            report->hasCurrent = report->hasDefault = true;
            break;
        }
        default:
            break;
    }
}

// A single value out of a MSG_GETCURRENT or MSG_GETDEFAULT reply.
bool SingleValue(Session &s, TW_UINT16 cap, TW_UINT16 message, Value *value) {
    return Ask(s, cap, message, Quiet, [&](TW_UINT16 conType, const void *container) {
        CapabilityReport reply;
        ReadContainer(conType, container, &reply);
        if (conType == TWON_ARRAY) {
            // An array's value is the whole list.
            std::string joined;
            for (const Value &item : reply.allowed)
                joined += (joined.empty() ? "" : " ") + FormatValue(cap, item);
            *value = Value{TWTY_STR255, 0, joined};
        } else if (reply.hasCurrent) {
            *value = reply.current;
        }
    });
}

CapabilityReport ReadCapability(Session &s, TW_UINT16 cap) {
    CapabilityReport report;
    report.cap = cap;
    report.answered = Ask(
        s, cap, MSG_GET, Quiet,
        [&](TW_UINT16 conType, const void *c) { ReadContainer(conType, c, &report); },
        &report.failure);
    report.hasSupport = Ask(s, cap, MSG_QUERYSUPPORT, Quiet, [&](TW_UINT16, const void *c) {
        report.support = static_cast<const TW_ONEVALUE *>(c)->Item;
    });
    if (!report.answered) return report;
    bool askCurrent = !report.hasSupport || (report.support & TWQC_GETCURRENT);
    bool askDefault = !report.hasSupport || (report.support & TWQC_GETDEFAULT);
    if (askCurrent && SingleValue(s, cap, MSG_GETCURRENT, &report.current)) report.hasCurrent = true;
    if (askDefault && SingleValue(s, cap, MSG_GETDEFAULT, &report.defaultValue))
        report.hasDefault = true;
    return report;
}

std::string Allowed(const CapabilityReport &report) {
    if (report.isRange)
        return FormatValue(report.cap, report.minimum) + ".." +
               FormatValue(report.cap, report.maximum) + " step " +
               FormatValue(report.cap, report.step);
    std::string list;
    for (const Value &item : report.allowed)
        list += (list.empty() ? "" : " ") + FormatValue(report.cap, item);
    return list;
}

// How a list writes each name: as it is (the table) or as a JSON string.
enum NameForm { Bare, JsonStrings };

std::string MessageList(const CapabilityReport &report, const char *separator, NameForm form) {
    std::string text;
    for (const char *name : SupportedMessageNames(report.support)) {
        if (!text.empty()) text += separator;
        text += form == JsonStrings ? JsonString(name) : std::string(name);
    }
    return text;
}

void PrintTable(const std::vector<CapabilityReport> &reports) {
    const char *format = "%-22s %-16s %-12s %-18s %-18s %-40s %s\n";
    printf(format, "capability", "container", "item type", "current", "default", "allowed values",
           "messages");
    for (const CapabilityReport &report : reports) {
        std::string name = CapabilityName(report.cap);
        if (!report.answered) {
            printf("%-22s (MSG_GET refused: %s)\n", name.c_str(), ConditionCodeName(report.failure));
            continue;
        }
        // An array's current and default values are whole lists, shown once.
        bool list = report.conType == TWON_ARRAY;
        std::string current = list ? "(the list)"
                              : report.hasCurrent ? FormatValue(report.cap, report.current)
                                                  : "-";
        std::string byDefault = list ? "(the list)"
                                : report.hasDefault ? FormatValue(report.cap, report.defaultValue)
                                                    : "-";
        // The supported capabilities are the rows of this table.
        std::string allowed = report.cap == CAP_SUPPORTEDCAPS
                                  ? std::to_string(report.allowed.size()) + " capabilities: the rows"
                                  : Allowed(report);
        printf(format, name.c_str(), ContainerName(report.conType), ItemTypeName(report.itemType),
               current.c_str(), byDefault.c_str(), allowed.empty() ? "-" : allowed.c_str(),
               report.hasSupport ? MessageList(report, " ", Bare).c_str() : "?");
    }
}

void PrintJson(const std::vector<CapabilityReport> &reports) {
    printf("[\n");
    for (size_t i = 0; i < reports.size(); ++i) {
        const CapabilityReport &report = reports[i];
        printf("  {\"name\": %s, \"code\": %u", JsonString(CapabilityName(report.cap)).c_str(),
               report.cap);
        if (!report.answered) {
            printf(", \"error\": %s", JsonString(ConditionCodeName(report.failure)).c_str());
        } else {
            printf(", \"container\": %s, \"itemType\": %s", JsonString(ContainerName(report.conType)).c_str(),
                   JsonString(ItemTypeName(report.itemType)).c_str());
            if (report.hasCurrent && report.conType != TWON_ARRAY)
                printf(", \"current\": %s", JsonValue(report.cap, report.current).c_str());
            if (report.hasDefault && report.conType != TWON_ARRAY)
                printf(", \"default\": %s", JsonValue(report.cap, report.defaultValue).c_str());
            if (report.isRange)
                printf(", \"range\": {\"min\": %s, \"max\": %s, \"step\": %s}",
                       JsonValue(report.cap, report.minimum).c_str(),
                       JsonValue(report.cap, report.maximum).c_str(),
                       JsonValue(report.cap, report.step).c_str());
            else if (!report.allowed.empty()) {
                printf(", \"values\": [");
                for (size_t k = 0; k < report.allowed.size(); ++k)
                    printf("%s%s", k ? ", " : "", JsonValue(report.cap, report.allowed[k]).c_str());
                printf("]");
            }
        }
        if (report.hasSupport) printf(", \"messages\": [%s]", MessageList(report, ", ", JsonStrings).c_str());
        printf("}%s\n", i + 1 < reports.size() ? "," : "");
    }
    printf("]\n");
}

// The values of cap's MSG_GET reply: an enumeration's or array's items, or the
// one value. A quiet refusal leaves its condition code in *failure, when given.
bool ListedValues(Session &s, TW_UINT16 cap, Refusal refusal, std::vector<TW_UINT32> *values,
                  TW_UINT16 *failure = nullptr) {
    return Ask(
        s, cap, MSG_GET, refusal,
        [&](TW_UINT16 conType, const void *container) {
            CapabilityReport reply;
            ReadContainer(conType, container, &reply);
            for (const Value &item : reply.allowed) values->push_back(item.raw);
            if (conType == TWON_ONEVALUE) values->push_back(reply.current.raw);
        },
        failure);
}

// The item type the source uses for cap (TWTY_UINT16 when it does not say).
TW_UINT16 ItemTypeOf(Session &s, TW_UINT16 cap) {
    TW_UINT16 type = TWTY_UINT16;
    Ask(s, cap, MSG_GETCURRENT, Quiet, [&](TW_UINT16, const void *container) {
        type = static_cast<const TW_ONEVALUE *>(container)->ItemType;
    });
    return type;
}

}  // namespace

bool PrintCapabilities(Session &s, bool json) {
    std::vector<TW_UINT32> caps;
    std::vector<CapabilityReport> reports;
    CapabilityReport supported;
    supported.cap = CAP_SUPPORTEDCAPS;
    if (ListedValues(s, CAP_SUPPORTEDCAPS, Quiet, &caps, &supported.failure)) {
        for (TW_UINT32 cap : caps) reports.push_back(ReadCapability(s, static_cast<TW_UINT16>(cap)));
    } else {
        // A source need not list its capabilities: each one with a name here
        // is asked, and its refusal of CAP_SUPPORTEDCAPS leads the list.
        fprintf(InfoStream(s),
                "the source does not list its capabilities (CAP_SUPPORTEDCAPS: %s): every "
                "capability qxacquire knows by name was asked, and those that answered are listed\n",
                ConditionCodeName(supported.failure));
        reports.push_back(supported);
        for (TW_UINT16 cap : NamedCapabilities()) {
            if (cap == CAP_SUPPORTEDCAPS) continue;
            CapabilityReport report = ReadCapability(s, cap);
            if (report.answered) reports.push_back(report);
        }
    }
    if (json)
        PrintJson(reports);
    else
        PrintTable(reports);
    return true;
}

bool SetCapability(Session &s, TW_UINT16 cap, TW_UINT16 itemType, TW_UINT32 value, Refusal refusal) {
    HGLOBAL handle = GlobalAlloc(GHND, sizeof(TW_ONEVALUE));
    auto *one = handle ? static_cast<TW_ONEVALUE *>(GlobalLock(handle)) : nullptr;
    if (!one) {
        if (handle) GlobalFree(handle);
        return Fail(s, ExitSourceFailed, "no memory for a capability container");
    }
    one->ItemType = itemType;
    one->Item = value;
    GlobalUnlock(handle);
    TW_CAPABILITY request = {cap, TWON_ONEVALUE, handle};
    TW_UINT16 result = Call(s, ToSource, {DG_CONTROL, DAT_CAPABILITY, MSG_SET}, &request);
    GlobalFree(handle);
    if (result == TWRC_SUCCESS || result == TWRC_CHECKSTATUS) return true;
    if (refusal == Reported) return Refused(s, result);
    ConditionCode(s, ToSource);  // read, so that it does not linger
    return false;
}

bool ApplySettings(Session &s) {
    for (const CapabilitySetting &setting : s.options.settings) {
        TW_UINT16 cap = 0;
        TW_UINT32 value = 0;
        if (!CapabilityByName(setting.name, &cap))
            return Fail(s, ExitBadCommandLine, "unknown capability \"%s\"", setting.name.c_str());
        if (!CapabilityValueByName(cap, setting.value, &value))
            return Fail(s, ExitBadCommandLine, "%s has no value \"%s\"", CapabilityName(cap).c_str(),
                        setting.value.c_str());
        TW_UINT16 itemType = ItemTypeOf(s, cap);
        // A fixed-point capability takes a whole number as that many units.
        if (itemType == TWTY_FIX32) value = (value & 0xFFFF);
        if (!SetCapability(s, cap, itemType, value)) return false;
        printf("set %s = %s\n", CapabilityName(cap).c_str(), setting.value.c_str());
    }
    return true;
}

bool AllowedValues(Session &s, TW_UINT16 cap, std::vector<TW_UINT32> *values) {
    return ListedValues(s, cap, Quiet, values);
}

bool CurrentValue(Session &s, TW_UINT16 cap, TW_UINT32 *value) {
    bool found = false;
    Ask(s, cap, MSG_GETCURRENT, Quiet, [&](TW_UINT16 conType, const void *container) {
        CapabilityReport reply;
        ReadContainer(conType, container, &reply);
        if ((found = reply.hasCurrent)) *value = reply.current.raw;
    });
    return found;
}
