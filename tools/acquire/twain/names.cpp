// TWAIN names for the codes that travel through DSM_Entry, and back.
#include "twain/names.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

// Every name below is the TWAIN header's constant, spelt once.
#define TW_NAME(code) Name{code, #code}

constexpr Name GroupNames[] = {TW_NAME(DG_CONTROL), TW_NAME(DG_IMAGE), TW_NAME(DG_AUDIO)};

constexpr Name DataTypeNames[] = {
    TW_NAME(DAT_NULL),          TW_NAME(DAT_CAPABILITY),     TW_NAME(DAT_EVENT),
    TW_NAME(DAT_IDENTITY),      TW_NAME(DAT_PARENT),         TW_NAME(DAT_PENDINGXFERS),
    TW_NAME(DAT_SETUPMEMXFER),  TW_NAME(DAT_SETUPFILEXFER),  TW_NAME(DAT_STATUS),
    TW_NAME(DAT_USERINTERFACE), TW_NAME(DAT_XFERGROUP),      TW_NAME(DAT_IMAGEINFO),
    TW_NAME(DAT_IMAGELAYOUT),   TW_NAME(DAT_IMAGEMEMXFER),   TW_NAME(DAT_IMAGENATIVEXFER),
    TW_NAME(DAT_IMAGEFILEXFER), TW_NAME(DAT_PALETTE8),
};

constexpr Name MessageNames[] = {
    TW_NAME(MSG_NULL),        TW_NAME(MSG_GET),          TW_NAME(MSG_GETCURRENT),
    TW_NAME(MSG_GETDEFAULT),  TW_NAME(MSG_GETFIRST),     TW_NAME(MSG_GETNEXT),
    TW_NAME(MSG_SET),         TW_NAME(MSG_RESET),        TW_NAME(MSG_QUERYSUPPORT),
    TW_NAME(MSG_XFERREADY),   TW_NAME(MSG_CLOSEDSREQ),   TW_NAME(MSG_CLOSEDSOK),
    TW_NAME(MSG_DEVICEEVENT), TW_NAME(MSG_OPENDSM),      TW_NAME(MSG_CLOSEDSM),
    TW_NAME(MSG_OPENDS),      TW_NAME(MSG_CLOSEDS),      TW_NAME(MSG_USERSELECT),
    TW_NAME(MSG_DISABLEDS),   TW_NAME(MSG_ENABLEDS),     TW_NAME(MSG_ENABLEDSUIONLY),
    TW_NAME(MSG_PROCESSEVENT), TW_NAME(MSG_ENDXFER),     TW_NAME(MSG_STOPFEEDER),
};

constexpr Name ReturnCodeNames[] = {
    TW_NAME(TWRC_SUCCESS), TW_NAME(TWRC_FAILURE),     TW_NAME(TWRC_CHECKSTATUS), TW_NAME(TWRC_CANCEL),
    TW_NAME(TWRC_DSEVENT), TW_NAME(TWRC_NOTDSEVENT), TW_NAME(TWRC_XFERDONE),    TW_NAME(TWRC_ENDOFLIST),
};

constexpr Name ConditionCodeNames[] = {
    TW_NAME(TWCC_SUCCESS),         TW_NAME(TWCC_BUMMER),         TW_NAME(TWCC_LOWMEMORY),
    TW_NAME(TWCC_NODS),            TW_NAME(TWCC_MAXCONNECTIONS), TW_NAME(TWCC_OPERATIONERROR),
    TW_NAME(TWCC_BADCAP),          TW_NAME(TWCC_BADPROTOCOL),    TW_NAME(TWCC_BADVALUE),
    TW_NAME(TWCC_SEQERROR),       TW_NAME(TWCC_BADDEST),       TW_NAME(TWCC_CAPUNSUPPORTED),
    TW_NAME(TWCC_CAPBADOPERATION), TW_NAME(TWCC_CAPSEQERROR),  TW_NAME(TWCC_DENIED),
    TW_NAME(TWCC_FILEEXISTS),     TW_NAME(TWCC_FILENOTFOUND),  TW_NAME(TWCC_NOTEMPTY),
    TW_NAME(TWCC_PAPERJAM),       TW_NAME(TWCC_PAPERDOUBLEFEED), TW_NAME(TWCC_FILEWRITEERROR),
    TW_NAME(TWCC_CHECKDEVICEONLINE),
};

constexpr Name ContainerNames[] = {
    TW_NAME(TWON_ARRAY), TW_NAME(TWON_ENUMERATION), TW_NAME(TWON_ONEVALUE), TW_NAME(TWON_RANGE)};

constexpr Name ItemTypeNames[] = {
    TW_NAME(TWTY_INT8),    TW_NAME(TWTY_INT16),  TW_NAME(TWTY_INT32),   TW_NAME(TWTY_UINT8),
    TW_NAME(TWTY_UINT16),  TW_NAME(TWTY_UINT32), TW_NAME(TWTY_BOOL),    TW_NAME(TWTY_FIX32),
    TW_NAME(TWTY_FRAME),   TW_NAME(TWTY_STR32),  TW_NAME(TWTY_STR64),  TW_NAME(TWTY_STR128),
    TW_NAME(TWTY_STR255),
};

constexpr Name CapabilityNames[] = {
    TW_NAME(CAP_XFERCOUNT),         TW_NAME(ICAP_COMPRESSION),
    TW_NAME(ICAP_PIXELTYPE),        TW_NAME(ICAP_UNITS),
    TW_NAME(ICAP_XFERMECH),         TW_NAME(CAP_AUTHOR),
    TW_NAME(CAP_CAPTION),           TW_NAME(CAP_FEEDERENABLED),
    TW_NAME(CAP_FEEDERLOADED),      TW_NAME(CAP_TIMEDATE),
    TW_NAME(CAP_SUPPORTEDCAPS),     TW_NAME(CAP_EXTENDEDCAPS),
    TW_NAME(CAP_AUTOFEED),          TW_NAME(CAP_CLEARPAGE),
    TW_NAME(CAP_INDICATORS),        TW_NAME(CAP_PAPERDETECTABLE),
    TW_NAME(CAP_UICONTROLLABLE),    TW_NAME(CAP_DEVICEONLINE),
    TW_NAME(CAP_AUTOSCAN),          TW_NAME(CAP_THUMBNAILSENABLED),
    TW_NAME(CAP_DUPLEX),            TW_NAME(CAP_DUPLEXENABLED),
    TW_NAME(CAP_ENABLEDSUIONLY),    TW_NAME(CAP_CUSTOMDSDATA),
    TW_NAME(CAP_JOBCONTROL),        TW_NAME(CAP_DEVICETIMEDATE),
    TW_NAME(CAP_SERIALNUMBER),      TW_NAME(ICAP_AUTOBRIGHT),
    TW_NAME(ICAP_BRIGHTNESS),       TW_NAME(ICAP_CONTRAST),
    TW_NAME(ICAP_CUSTHALFTONE),     TW_NAME(ICAP_EXPOSURETIME),
    TW_NAME(ICAP_FILTER),           TW_NAME(ICAP_FLASHUSED),
    TW_NAME(ICAP_GAMMA),            TW_NAME(ICAP_HALFTONES),
    TW_NAME(ICAP_HIGHLIGHT),        TW_NAME(ICAP_IMAGEFILEFORMAT),
    TW_NAME(ICAP_LAMPSTATE),        TW_NAME(ICAP_LIGHTSOURCE),
    TW_NAME(ICAP_ORIENTATION),      TW_NAME(ICAP_PHYSICALWIDTH),
    TW_NAME(ICAP_PHYSICALHEIGHT),   TW_NAME(ICAP_SHADOW),
    TW_NAME(ICAP_FRAMES),           TW_NAME(ICAP_XNATIVERESOLUTION),
    TW_NAME(ICAP_YNATIVERESOLUTION), TW_NAME(ICAP_XRESOLUTION),
    TW_NAME(ICAP_YRESOLUTION),      TW_NAME(ICAP_MAXFRAMES),
    TW_NAME(ICAP_TILES),            TW_NAME(ICAP_BITORDER),
    TW_NAME(ICAP_CCITTKFACTOR),     TW_NAME(ICAP_LIGHTPATH),
    TW_NAME(ICAP_PIXELFLAVOR),      TW_NAME(ICAP_PLANARCHUNKY),
    TW_NAME(ICAP_ROTATION),         TW_NAME(ICAP_SUPPORTEDSIZES),
    TW_NAME(ICAP_THRESHOLD),        TW_NAME(ICAP_XSCALING),
    TW_NAME(ICAP_YSCALING),         TW_NAME(ICAP_BITORDERCODES),
    TW_NAME(ICAP_PIXELFLAVORCODES), TW_NAME(ICAP_JPEGPIXELTYPE),
    TW_NAME(ICAP_TIMEFILL),         TW_NAME(ICAP_BITDEPTH),
    TW_NAME(ICAP_BITDEPTHREDUCTION), TW_NAME(ICAP_UNDEFINEDIMAGESIZE),
    TW_NAME(ICAP_IMAGEDATASET),     TW_NAME(ICAP_EXTIMAGEINFO),
    TW_NAME(ICAP_MINIMUMHEIGHT),    TW_NAME(ICAP_MINIMUMWIDTH),
    TW_NAME(ICAP_AUTOMATICDESKEW),  TW_NAME(ICAP_AUTOMATICROTATE),
};

// Values of the capabilities whose values are TWAIN codes.
constexpr Name PixelTypes[] = {TW_NAME(TWPT_BW),    TW_NAME(TWPT_GRAY),    TW_NAME(TWPT_RGB),
                               TW_NAME(TWPT_PALETTE), TW_NAME(TWPT_CMY), TW_NAME(TWPT_CMYK),
                               TW_NAME(TWPT_YUV),   TW_NAME(TWPT_YUVK),    TW_NAME(TWPT_CIEXYZ)};
// The transfers qxacquire drives, in the order its texts name them.
constexpr Name Mechanisms[] = {TW_NAME(TWSX_NATIVE), TW_NAME(TWSX_MEMORY), TW_NAME(TWSX_FILE)};
constexpr const char MechanismPrefix[] = "TWSX_";
constexpr Name PixelFlavors[] = {TW_NAME(TWPF_CHOCOLATE), TW_NAME(TWPF_VANILLA)};
constexpr Name PlanarChunky[] = {TW_NAME(TWPC_CHUNKY), TW_NAME(TWPC_PLANAR)};
constexpr Name Compressions[] = {TW_NAME(TWCP_NONE),    TW_NAME(TWCP_PACKBITS), TW_NAME(TWCP_GROUP31D),
                                 TW_NAME(TWCP_GROUP31DEOL), TW_NAME(TWCP_GROUP32D),
                                 TW_NAME(TWCP_GROUP4),  TW_NAME(TWCP_JPEG),     TW_NAME(TWCP_LZW),
                                 TW_NAME(TWCP_JBIG),    TW_NAME(TWCP_PNG),      TW_NAME(TWCP_RLE4),
                                 TW_NAME(TWCP_RLE8),   TW_NAME(TWCP_BITFIELDS)};
constexpr Name Units[] = {TW_NAME(TWUN_INCHES), TW_NAME(TWUN_CENTIMETERS), TW_NAME(TWUN_PICAS),
                          TW_NAME(TWUN_POINTS), TW_NAME(TWUN_TWIPS),       TW_NAME(TWUN_PIXELS)};
constexpr Name BitOrders[] = {TW_NAME(TWBO_LSBFIRST), TW_NAME(TWBO_MSBFIRST)};
constexpr Name FileFormatNames[] = {TW_NAME(TWFF_TIFF),  TW_NAME(TWFF_PICT),      TW_NAME(TWFF_BMP),
                                TW_NAME(TWFF_XBM),   TW_NAME(TWFF_JFIF),      TW_NAME(TWFF_FPX),
                                TW_NAME(TWFF_TIFFMULTI), TW_NAME(TWFF_PNG),   TW_NAME(TWFF_SPIFF),
                                TW_NAME(TWFF_EXIF)};
// TW_BOOL takes the Windows values of FALSE and TRUE.
constexpr Name Booleans[] = {{0, "FALSE"}, {1, "TRUE"}};

// The messages of MSG_QUERYSUPPORT's bits.
constexpr Name SupportedMessages[] = {{TWQC_GET, "MSG_GET"},
                                      {TWQC_SET, "MSG_SET"},
                                      {TWQC_GETDEFAULT, "MSG_GETDEFAULT"},
                                      {TWQC_GETCURRENT, "MSG_GETCURRENT"},
                                      {TWQC_RESET, "MSG_RESET"}};

struct ValueNames {
    TW_UINT16 cap;
    const Name *names;
    size_t count;
};

template <size_t N>
constexpr ValueNames Values(TW_UINT16 cap, const Name (&names)[N]) {
    return {cap, names, N};
}

constexpr ValueNames CapabilityValues[] = {
    Values(ICAP_PIXELTYPE, PixelTypes),     Values(ICAP_XFERMECH, Mechanisms),
    Values(ICAP_PIXELFLAVOR, PixelFlavors), Values(ICAP_PLANARCHUNKY, PlanarChunky),
    Values(ICAP_COMPRESSION, Compressions), Values(ICAP_UNITS, Units),
    Values(ICAP_BITORDER, BitOrders),       Values(ICAP_IMAGEFILEFORMAT, FileFormatNames),
};

const char *Find(const Name *names, size_t count, unsigned value) {
    for (size_t i = 0; i < count; ++i)
        if (names[i].value == value) return names[i].text;
    return nullptr;
}

template <size_t N>
const char *Lookup(const Name (&names)[N], unsigned value) {
    const char *text = Find(names, N, value);
    return text ? text : "?";
}

// Equal but for the case of ASCII letters (names are ASCII).
bool SameIgnoringCase(const char *name, const std::string &text) {
    if (strlen(name) != text.size()) return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (tolower(static_cast<unsigned char>(name[i])) != tolower(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

// "TWPT_GRAY" matches "TWPT_GRAY", "twpt_gray" and "gray".
bool NameMatches(const char *name, const std::string &text) {
    if (SameIgnoringCase(name, text)) return true;
    const char *underscore = strchr(name, '_');
    return underscore && SameIgnoringCase(underscore + 1, text);
}

}  // namespace

const char *DataGroupName(TW_UINT32 group) { return Lookup(GroupNames, group); }
const char *DataTypeName(TW_UINT16 dataType) { return Lookup(DataTypeNames, dataType); }
const char *MessageName(TW_UINT16 message) { return Lookup(MessageNames, message); }
const char *ReturnCodeName(TW_UINT16 code) { return Lookup(ReturnCodeNames, code); }
const char *ConditionCodeName(TW_UINT16 code) { return Lookup(ConditionCodeNames, code); }
const char *ContainerName(TW_UINT16 conType) { return Lookup(ContainerNames, conType); }
const char *ItemTypeName(TW_UINT16 itemType) { return Lookup(ItemTypeNames, itemType); }

std::vector<const char *> SupportedMessageNames(TW_UINT32 support) {
    std::vector<const char *> names;
    for (const Name &name : SupportedMessages)
        if (support & name.value) names.push_back(name.text);
    return names;
}

std::string CapabilityName(TW_UINT16 cap) {
    if (const char *name = Find(CapabilityNames, std::size(CapabilityNames), cap)) return name;
    char text[8];
    snprintf(text, sizeof text, "0x%04X", cap);
    return text;
}

std::vector<TW_UINT16> NamedCapabilities() {
    std::vector<TW_UINT16> caps;
    for (const Name &name : CapabilityNames) caps.push_back(static_cast<TW_UINT16>(name.value));
    return caps;
}

const char *CapabilityValueName(TW_UINT16 cap, TW_UINT32 value) {
    for (const ValueNames &values : CapabilityValues)
        if (values.cap == cap) return Find(values.names, values.count, value);
    return nullptr;
}

bool CapabilityByName(const std::string &text, TW_UINT16 *cap) {
    for (const Name &name : CapabilityNames)
        if (NameMatches(name.text, text)) {
            *cap = static_cast<TW_UINT16>(name.value);
            return true;
        }
    TW_UINT32 number;
    if (!ParseNumber(text, &number) || number > 0xFFFF) return false;
    *cap = static_cast<TW_UINT16>(number);
    return true;
}

bool CapabilityValueByName(TW_UINT16 cap, const std::string &text, TW_UINT32 *value) {
    ValueNames named = Values(cap, Booleans);
    for (const ValueNames &values : CapabilityValues)
        if (values.cap == cap) named = values;
    for (size_t i = 0; i < named.count; ++i)
        if (NameMatches(named.names[i].text, text)) {
            *value = named.names[i].value;
            return true;
        }
    // A signed capability takes a negative number, as its two's complement.
    int64_t number = 0;
    if (!ParseSignedNumber(text, &number) || number < INT32_MIN) return false;
    *value = static_cast<TW_UINT32>(number);
    return true;
}

bool IsMechanism(TW_UINT32 mechanism) {
    return Find(Mechanisms, std::size(Mechanisms), mechanism) != nullptr;
}

std::string MechanismWord(TW_UINT32 mechanism) {
    const char *name = Find(Mechanisms, std::size(Mechanisms), mechanism);
    std::string word = name ? name + strlen(MechanismPrefix) : "";
    for (char &c : word) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return word;
}

bool MechanismByWord(const std::string &word, TW_UINT16 *mechanism) {
    for (const Name &name : Mechanisms)
        if (word == MechanismWord(name.value)) {
            *mechanism = static_cast<TW_UINT16>(name.value);
            return true;
        }
    return false;
}

std::string NotAMechanism(const std::string &given) {
    std::string text = "qxacquire transfers by ";
    for (size_t i = 0; i < std::size(Mechanisms); ++i)
        text += std::string(i == 0 ? "" : i + 1 < std::size(Mechanisms) ? ", " : " or ") +
                Mechanisms[i].text;
    return text + ", not " + given;
}
