// Capabilities: every one the source lists in CAP_SUPPORTEDCAPS (or, when it
// lists none, every one that has a name here and answers) read with
// MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT and MSG_QUERYSUPPORT and printed
// as a table or JSON, one at a time: a capability's values are freed before
// the next one is read; --set; the transfer mechanism and file format.
#include <cstdio>
#include <cstring>

#include "acquire.h"
#include "readers/container_reader.h"
#include "readers/text_format.h"

namespace {

// A capability as the source answers it: MSG_GET's container, whose current
// and default values are those of MSG_GETCURRENT and MSG_GETDEFAULT where the
// source answers them.
struct CapabilityReport : ContainerReply {
    TW_UINT16 cap = 0;
    bool answered = false;
    TW_UINT16 failure = 0;  // condition code of a refused MSG_GET
    std::string unread;     // why MSG_GET's container was not read
    bool hasSupport = false;
    TW_UINT32 support = 0;
};

double FixValue(TW_UINT32 raw) {
    TW_FIX32 fix;
    memcpy(&fix, &raw, sizeof fix);
    return fix.Whole + fix.Frac / 65536.0;
}

// As the table shows it: a code's name, a signed or fixed-point number.
std::string FormatValue(TW_UINT16 cap, const ItemValue &value) {
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
std::string JsonValue(TW_UINT16 cap, const ItemValue &value) {
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

// The values a table cell shows of a list: the first few, and how many there
// are when that is more.
constexpr size_t ShownValues = 8;

std::string ListText(TW_UINT16 cap, const std::vector<ItemValue> &items) {
    std::string text;
    for (size_t i = 0; i < items.size() && i < ShownValues; ++i) text += (i ? " " : "") + FormatValue(cap, items[i]);
    if (items.size() > ShownValues) text += " ... (" + std::to_string(items.size()) + " values)";
    return text;
}

// A request for a capability without a container (the source chooses the
// kind of its reply); the container of a reply is ours, and is freed however
// its reading ends.
struct CapabilityRequest {
    TW_CAPABILITY capability;
    TW_UINT16 result = TWRC_SUCCESS;
    explicit CapabilityRequest(TW_UINT16 cap) : capability{cap, TWON_DONTCARE16, nullptr} {}
    CapabilityRequest(const CapabilityRequest &) = delete;
    CapabilityRequest &operator=(const CapabilityRequest &) = delete;
    ~CapabilityRequest() {
        if (result == TWRC_SUCCESS && capability.hContainer) GlobalFree(capability.hContainer);
    }
};

// One reply of the source for cap to a request without a container, read from
// the container it answers with. False when the source refuses (its condition
// code in *failure, when given) or its container cannot be read (the reason in
// *unread, when given).
template <TW_UINT16 Message>
bool Ask(Session &s, TW_UINT16 cap, ContainerReply *reply, TW_UINT16 *failure = nullptr,
         std::string *unread = nullptr) {
    static_assert(CarriesNoContainer(Message), "a request that hands over a container is SetCapability's");
    CapabilityRequest request(cap);
    request.result = Call(s, ToSource, {DG_CONTROL, DAT_CAPABILITY, Message}, &request.capability);
    if (request.result != TWRC_SUCCESS) {
        if (failure) *failure = ConditionCode(s, ToSource);
        return false;
    }
    std::string why = "the source answered without a container";
    bool read = false;
    if (HGLOBAL container = request.capability.hContainer) {
        const SIZE_T size = GlobalSize(container);
        const auto *block = static_cast<const uint8_t *>(GlobalLock(container));
        if (block) read = ReadContainer(request.capability.ConType, block, size, reply, &why);
        GlobalUnlock(container);
    }
    if (!read && unread) *unread = why;
    return read;
}

// A single value out of a MSG_GETCURRENT or MSG_GETDEFAULT reply.
template <TW_UINT16 Message>
bool SingleValue(Session &s, TW_UINT16 cap, ItemValue *value) {
    ContainerReply reply;
    if (!Ask<Message>(s, cap, &reply)) return false;
    if (reply.conType == TWON_ARRAY) {
        // An array's value is a list.
        *value = ItemValue{TWTY_STR255, 0, ListText(cap, reply.items)};
        return true;
    }
    if (reply.hasCurrent) *value = reply.current;
    return reply.hasCurrent;
}

CapabilityReport ReadCapability(Session &s, TW_UINT16 cap) {
    CapabilityReport report;
    report.cap = cap;
    report.answered = Ask<MSG_GET>(s, cap, &report, &report.failure, &report.unread);
    ContainerReply support;
    report.hasSupport = Ask<MSG_QUERYSUPPORT>(s, cap, &support) && support.hasCurrent;
    report.support = support.current.raw;
    // An array's MSG_GET reply is its current list, shown once: it is not asked for again.
    if (!report.answered || report.conType == TWON_ARRAY) return report;
    bool askCurrent = !report.hasSupport || (report.support & TWQC_GETCURRENT);
    bool askDefault = !report.hasSupport || (report.support & TWQC_GETDEFAULT);
    if (askCurrent && SingleValue<MSG_GETCURRENT>(s, cap, &report.current)) report.hasCurrent = true;
    if (askDefault && SingleValue<MSG_GETDEFAULT>(s, cap, &report.defaultValue)) report.hasDefault = true;
    return report;
}

// Why a capability has no row of values: its refusal, or its unread container.
std::string NotAnswered(const CapabilityReport &report) {
    return report.unread.empty() ? ConditionCodeName(report.failure) : report.unread;
}

std::string Allowed(const CapabilityReport &report) {
    if (report.isRange)
        return FormatValue(report.cap, report.minimum) + ".." +
               FormatValue(report.cap, report.maximum) + " step " +
               FormatValue(report.cap, report.step);
    return ListText(report.cap, report.items);
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

// What --caps prints, a capability at a time, in blocks: stdout is unbuffered
// (so that lines of two threads go out whole), and a list of 65535 values must
// not cost a write each.
class CapabilityListing {
public:
    explicit CapabilityListing(bool json) : json_(json) {
        Add(json ? "[\n" : Formatted(RowFormat, "capability", "container", "item type", "current", "default",
                                      "allowed values", "messages"));
    }
    ~CapabilityListing() { Flush(); }
    CapabilityListing(const CapabilityListing &) = delete;
    CapabilityListing &operator=(const CapabilityListing &) = delete;

    void Print(const CapabilityReport &report) {
        if (json_)
            AddJson(report);
        else
            AddRow(report);
        ++printed_;
    }
    void End() { Add(json_ ? std::string(printed_ ? "\n" : "") + "]\n" : ""); }

private:
    static constexpr const char *RowFormat = "%-22s %-16s %-12s %-18s %-18s %-40s %s\n";
    static constexpr size_t BlockBytes = size_t(1) << 16;

    void Add(const std::string &text) {
        pending_ += text;
        if (pending_.size() >= BlockBytes) Flush();
    }
    void Flush() {
        fwrite(pending_.data(), 1, pending_.size(), stdout);
        pending_.clear();
    }

    void AddRow(const CapabilityReport &report) {
        const std::string name = CapabilityName(report.cap);
        if (!report.answered) {
            Add(Formatted("%-22s (MSG_GET %s: %s)\n", name.c_str(), report.unread.empty() ? "refused" : "not read",
                           NotAnswered(report).c_str()));
            return;
        }
        // An array's current and default values are whole lists, shown once.
        const bool list = report.conType == TWON_ARRAY;
        const std::string current = list ? "(the list)"
                                    : report.hasCurrent ? FormatValue(report.cap, report.current)
                                                        : "-";
        const std::string byDefault = list ? "(the list)"
                                      : report.hasDefault ? FormatValue(report.cap, report.defaultValue)
                                                          : "-";
        // The supported capabilities are the rows of this table.
        const std::string allowed = report.cap == CAP_SUPPORTEDCAPS
                                        ? std::to_string(report.items.size()) + " capabilities: the rows"
                                        : Allowed(report);
        Add(Formatted(RowFormat, name.c_str(), ContainerName(report.conType), ItemTypeName(report.itemType),
                       current.c_str(), byDefault.c_str(), allowed.empty() ? "-" : allowed.c_str(),
                       report.hasSupport ? MessageList(report, " ", Bare).c_str() : "?"));
    }

    // Every value, each written as it comes.
    void AddJson(const CapabilityReport &report) {
        Add(std::string(printed_ ? ",\n" : "") + "  {\"name\": " + JsonString(CapabilityName(report.cap)) +
            ", \"code\": " + std::to_string(report.cap));
        if (!report.answered) {
            Add(", \"error\": " + JsonString(NotAnswered(report)));
        } else {
            Add(", \"container\": " + JsonString(ContainerName(report.conType)) +
                ", \"itemType\": " + JsonString(ItemTypeName(report.itemType)));
            if (report.hasCurrent && report.conType != TWON_ARRAY)
                Add(", \"current\": " + JsonValue(report.cap, report.current));
            if (report.hasDefault && report.conType != TWON_ARRAY)
                Add(", \"default\": " + JsonValue(report.cap, report.defaultValue));
            if (report.isRange) {
                Add(", \"range\": {\"min\": " + JsonValue(report.cap, report.minimum) +
                    ", \"max\": " + JsonValue(report.cap, report.maximum) +
                    ", \"step\": " + JsonValue(report.cap, report.step) + "}");
            } else if (!report.items.empty()) {
                Add(", \"values\": [");
                for (size_t k = 0; k < report.items.size(); ++k)
                    Add((k ? ", " : "") + JsonValue(report.cap, report.items[k]));
                Add("]");
            }
        }
        if (report.hasSupport) Add(", \"messages\": [" + MessageList(report, ", ", JsonStrings) + "]");
        Add("}");
    }

    bool json_;
    size_t printed_ = 0;
    std::string pending_;
};

// The values of cap's MSG_GET reply: an enumeration's or array's items, or the
// one value; false as Ask.
bool ListedValues(Session &s, TW_UINT16 cap, std::vector<TW_UINT32> *values, TW_UINT16 *failure = nullptr,
                  std::string *unread = nullptr) {
    ContainerReply reply;
    if (!Ask<MSG_GET>(s, cap, &reply, failure, unread)) return false;
    for (const ItemValue &item : reply.items) values->push_back(item.raw);
    if (reply.conType == TWON_ONEVALUE) values->push_back(reply.current.raw);
    return true;
}

// The item type the source uses for cap (TWTY_UINT16 when it does not say).
TW_UINT16 ItemTypeOf(Session &s, TW_UINT16 cap) {
    ContainerReply reply;
    return Ask<MSG_GETCURRENT>(s, cap, &reply) ? reply.itemType : TWTY_UINT16;
}

}  // namespace

bool PrintCapabilities(Session &s) {
    std::vector<TW_UINT32> caps;
    CapabilityReport supported;
    supported.cap = CAP_SUPPORTEDCAPS;
    const bool listed = ListedValues(s, CAP_SUPPORTEDCAPS, &caps, &supported.failure, &supported.unread);
    if (!listed)
        fprintf(InfoStream(s),
                "the source does not list its capabilities (CAP_SUPPORTEDCAPS: %s): every "
                "capability qxacquire knows by name was asked, and those that answered are listed\n",
                NotAnswered(supported).c_str());
    CapabilityListing listing(s.options.json);
    if (listed) {
        for (TW_UINT32 cap : caps) listing.Print(ReadCapability(s, static_cast<TW_UINT16>(cap)));
    } else {
        // A source need not list its capabilities: each one with a name here
        // is asked, and its refusal of CAP_SUPPORTEDCAPS leads the list.
        listing.Print(supported);
        for (TW_UINT16 cap : NamedCapabilities()) {
            if (cap == CAP_SUPPORTEDCAPS) continue;
            const CapabilityReport report = ReadCapability(s, cap);
            if (report.answered) listing.Print(report);
        }
    }
    listing.End();
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
    return ListedValues(s, cap, values);
}

bool CurrentValue(Session &s, TW_UINT16 cap, TW_UINT32 *value) {
    ContainerReply reply;
    if (!Ask<MSG_GETCURRENT>(s, cap, &reply) || !reply.hasCurrent) return false;
    *value = reply.current.raw;
    return true;
}
