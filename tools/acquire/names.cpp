// TWAIN names for the codes that travel through DSM_Entry, and back.
#include <cstdlib>
#include <cstring>

#include "acquire.h"

namespace {

constexpr Name GroupNames[] = {{0x0001, "DG_CONTROL"}, {0x0002, "DG_IMAGE"}, {0x0004, "DG_AUDIO"}};

constexpr Name DataTypeNames[] = {
    {0x0000, "DAT_NULL"},          {0x0001, "DAT_CAPABILITY"},     {0x0002, "DAT_EVENT"},
    {0x0003, "DAT_IDENTITY"},      {0x0004, "DAT_PARENT"},         {0x0005, "DAT_PENDINGXFERS"},
    {0x0006, "DAT_SETUPMEMXFER"},  {0x0007, "DAT_SETUPFILEXFER"},  {0x0008, "DAT_STATUS"},
    {0x0009, "DAT_USERINTERFACE"}, {0x000a, "DAT_XFERGROUP"},      {0x0101, "DAT_IMAGEINFO"},
    {0x0102, "DAT_IMAGELAYOUT"},   {0x0103, "DAT_IMAGEMEMXFER"},   {0x0104, "DAT_IMAGENATIVEXFER"},
    {0x0105, "DAT_IMAGEFILEXFER"},
};

constexpr Name MessageNames[] = {
    {0x0000, "MSG_NULL"},        {0x0001, "MSG_GET"},          {0x0002, "MSG_GETCURRENT"},
    {0x0003, "MSG_GETDEFAULT"},  {0x0004, "MSG_GETFIRST"},     {0x0005, "MSG_GETNEXT"},
    {0x0006, "MSG_SET"},         {0x0007, "MSG_RESET"},        {0x0008, "MSG_QUERYSUPPORT"},
    {0x0101, "MSG_XFERREADY"},   {0x0102, "MSG_CLOSEDSREQ"},   {0x0103, "MSG_CLOSEDSOK"},
    {0x0104, "MSG_DEVICEEVENT"}, {0x0301, "MSG_OPENDSM"},      {0x0302, "MSG_CLOSEDSM"},
    {0x0401, "MSG_OPENDS"},      {0x0402, "MSG_CLOSEDS"},      {0x0403, "MSG_USERSELECT"},
    {0x0501, "MSG_DISABLEDS"},   {0x0502, "MSG_ENABLEDS"},     {0x0503, "MSG_ENABLEDSUIONLY"},
    {0x0601, "MSG_PROCESSEVENT"}, {0x0701, "MSG_ENDXFER"},     {0x0702, "MSG_STOPFEEDER"},
};

constexpr Name ReturnCodeNames[] = {
    {0, "TWRC_SUCCESS"}, {1, "TWRC_FAILURE"},     {2, "TWRC_CHECKSTATUS"}, {3, "TWRC_CANCEL"},
    {4, "TWRC_DSEVENT"}, {5, "TWRC_NOTDSEVENT"}, {6, "TWRC_XFERDONE"},    {7, "TWRC_ENDOFLIST"},
};

constexpr Name ConditionCodeNames[] = {
    {0, "TWCC_SUCCESS"},         {1, "TWCC_BUMMER"},         {2, "TWCC_LOWMEMORY"},
    {3, "TWCC_NODS"},            {4, "TWCC_MAXCONNECTIONS"}, {5, "TWCC_OPERATIONERROR"},
    {6, "TWCC_BADCAP"},          {9, "TWCC_BADPROTOCOL"},    {10, "TWCC_BADVALUE"},
    {11, "TWCC_SEQERROR"},       {12, "TWCC_BADDEST"},       {13, "TWCC_CAPUNSUPPORTED"},
    {14, "TWCC_CAPBADOPERATION"}, {15, "TWCC_CAPSEQERROR"},  {16, "TWCC_DENIED"},
    {17, "TWCC_FILEEXISTS"},     {18, "TWCC_FILENOTFOUND"},  {19, "TWCC_NOTEMPTY"},
    {20, "TWCC_PAPERJAM"},       {21, "TWCC_PAPERDOUBLEFEED"}, {22, "TWCC_FILEWRITEERROR"},
    {23, "TWCC_CHECKDEVICEONLINE"},
};

constexpr Name ContainerNames[] = {
    {3, "TWON_ARRAY"}, {4, "TWON_ENUMERATION"}, {5, "TWON_ONEVALUE"}, {6, "TWON_RANGE"}};

constexpr Name ItemTypeNames[] = {
    {0, "TWTY_INT8"},    {1, "TWTY_INT16"},  {2, "TWTY_INT32"},   {3, "TWTY_UINT8"},
    {4, "TWTY_UINT16"},  {5, "TWTY_UINT32"}, {6, "TWTY_BOOL"},    {7, "TWTY_FIX32"},
    {8, "TWTY_FRAME"},   {9, "TWTY_STR32"},  {10, "TWTY_STR64"},  {11, "TWTY_STR128"},
    {12, "TWTY_STR255"},
};

constexpr Name CapabilityNames[] = {
    {0x0001, "CAP_XFERCOUNT"},         {0x0100, "ICAP_COMPRESSION"},
    {0x0101, "ICAP_PIXELTYPE"},        {0x0102, "ICAP_UNITS"},
    {0x0103, "ICAP_XFERMECH"},         {0x1000, "CAP_AUTHOR"},
    {0x1001, "CAP_CAPTION"},           {0x1002, "CAP_FEEDERENABLED"},
    {0x1003, "CAP_FEEDERLOADED"},      {0x1004, "CAP_TIMEDATE"},
    {0x1005, "CAP_SUPPORTEDCAPS"},     {0x1006, "CAP_EXTENDEDCAPS"},
    {0x1007, "CAP_AUTOFEED"},          {0x1008, "CAP_CLEARPAGE"},
    {0x100b, "CAP_INDICATORS"},        {0x100d, "CAP_PAPERDETECTABLE"},
    {0x100e, "CAP_UICONTROLLABLE"},    {0x100f, "CAP_DEVICEONLINE"},
    {0x1010, "CAP_AUTOSCAN"},          {0x1011, "CAP_THUMBNAILSENABLED"},
    {0x1012, "CAP_DUPLEX"},            {0x1013, "CAP_DUPLEXENABLED"},
    {0x1014, "CAP_ENABLEDSUIONLY"},    {0x1015, "CAP_CUSTOMDSDATA"},
    {0x1017, "CAP_JOBCONTROL"},        {0x101a, "CAP_DEVICETIMEDATE"},
    {0x101b, "CAP_SERIALNUMBER"},      {0x1100, "ICAP_AUTOBRIGHT"},
    {0x1101, "ICAP_BRIGHTNESS"},       {0x1103, "ICAP_CONTRAST"},
    {0x1104, "ICAP_CUSTHALFTONE"},     {0x1105, "ICAP_EXPOSURETIME"},
    {0x1106, "ICAP_FILTER"},           {0x1107, "ICAP_FLASHUSED"},
    {0x1108, "ICAP_GAMMA"},            {0x1109, "ICAP_HALFTONES"},
    {0x110a, "ICAP_HIGHLIGHT"},        {0x110c, "ICAP_IMAGEFILEFORMAT"},
    {0x110d, "ICAP_LAMPSTATE"},        {0x110e, "ICAP_LIGHTSOURCE"},
    {0x1110, "ICAP_ORIENTATION"},      {0x1111, "ICAP_PHYSICALWIDTH"},
    {0x1112, "ICAP_PHYSICALHEIGHT"},   {0x1113, "ICAP_SHADOW"},
    {0x1114, "ICAP_FRAMES"},           {0x1116, "ICAP_XNATIVERESOLUTION"},
    {0x1117, "ICAP_YNATIVERESOLUTION"}, {0x1118, "ICAP_XRESOLUTION"},
    {0x1119, "ICAP_YRESOLUTION"},      {0x111a, "ICAP_MAXFRAMES"},
    {0x111b, "ICAP_TILES"},            {0x111c, "ICAP_BITORDER"},
    {0x111d, "ICAP_CCITTKFACTOR"},     {0x111e, "ICAP_LIGHTPATH"},
    {0x111f, "ICAP_PIXELFLAVOR"},      {0x1120, "ICAP_PLANARCHUNKY"},
    {0x1121, "ICAP_ROTATION"},         {0x1122, "ICAP_SUPPORTEDSIZES"},
    {0x1123, "ICAP_THRESHOLD"},        {0x1124, "ICAP_XSCALING"},
    {0x1125, "ICAP_YSCALING"},         {0x1126, "ICAP_BITORDERCODES"},
    {0x1127, "ICAP_PIXELFLAVORCODES"}, {0x1128, "ICAP_JPEGPIXELTYPE"},
    {0x112a, "ICAP_TIMEFILL"},         {0x112b, "ICAP_BITDEPTH"},
    {0x112c, "ICAP_BITDEPTHREDUCTION"}, {0x112d, "ICAP_UNDEFINEDIMAGESIZE"},
    {0x112e, "ICAP_IMAGEDATASET"},     {0x112f, "ICAP_EXTIMAGEINFO"},
    {0x1130, "ICAP_MINIMUMHEIGHT"},    {0x1131, "ICAP_MINIMUMWIDTH"},
    {0x1136, "ICAP_AUTOMATICDESKEW"},  {0x1137, "ICAP_AUTOMATICROTATE"},
};

// Values of the capabilities whose values are TWAIN codes.
constexpr Name PixelTypes[] = {{0, "TWPT_BW"},    {1, "TWPT_GRAY"},    {2, "TWPT_RGB"},
                               {3, "TWPT_PALETTE"}, {4, "TWPT_CMY"}, {5, "TWPT_CMYK"},
                               {6, "TWPT_YUV"},   {7, "TWPT_YUVK"},    {8, "TWPT_CIEXYZ"}};
constexpr Name Mechanisms[] = {{0, "TWSX_NATIVE"}, {1, "TWSX_FILE"}, {2, "TWSX_MEMORY"}};
constexpr Name PixelFlavors[] = {{0, "TWPF_CHOCOLATE"}, {1, "TWPF_VANILLA"}};
constexpr Name PlanarChunky[] = {{0, "TWPC_CHUNKY"}, {1, "TWPC_PLANAR"}};
constexpr Name Compressions[] = {{0, "TWCP_NONE"},    {1, "TWCP_PACKBITS"}, {2, "TWCP_GROUP31D"},
                                 {3, "TWCP_GROUP31DEOL"}, {4, "TWCP_GROUP32D"},
                                 {5, "TWCP_GROUP4"},  {6, "TWCP_JPEG"},     {7, "TWCP_LZW"},
                                 {8, "TWCP_JBIG"},    {9, "TWCP_PNG"},      {10, "TWCP_RLE4"},
                                 {11, "TWCP_RLE8"},   {12, "TWCP_BITFIELDS"}};
constexpr Name Units[] = {{0, "TWUN_INCHES"}, {1, "TWUN_CENTIMETERS"}, {2, "TWUN_PICAS"},
                          {3, "TWUN_POINTS"}, {4, "TWUN_TWIPS"},       {5, "TWUN_PIXELS"}};
constexpr Name BitOrders[] = {{0, "TWBO_LSBFIRST"}, {1, "TWBO_MSBFIRST"}};
constexpr Name FileFormats[] = {{0, "TWFF_TIFF"},  {1, "TWFF_PICT"},      {2, "TWFF_BMP"},
                                {3, "TWFF_XBM"},   {4, "TWFF_JFIF"},      {5, "TWFF_FPX"},
                                {6, "TWFF_TIFFMULTI"}, {7, "TWFF_PNG"},   {8, "TWFF_SPIFF"},
                                {9, "TWFF_EXIF"}};
constexpr Name Booleans[] = {{0, "FALSE"}, {1, "TRUE"}};

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
    Values(0x0101, PixelTypes),   Values(0x0103, Mechanisms), Values(0x111f, PixelFlavors),
    Values(0x1120, PlanarChunky), Values(0x0100, Compressions), Values(0x0102, Units),
    Values(0x111c, BitOrders),    Values(0x110c, FileFormats),
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

// "TWPT_GRAY" matches "TWPT_GRAY", "twpt_gray" and "gray".
bool NameMatches(const char *name, const std::string &text) {
    if (lstrcmpiA(name, text.c_str()) == 0) return true;
    const char *underscore = strchr(name, '_');
    return underscore && lstrcmpiA(underscore + 1, text.c_str()) == 0;
}

bool ParseNumber(const std::string &text, TW_UINT32 *value) {
    if (text.empty()) return false;
    char *end = nullptr;
    long long parsed = strtoll(text.c_str(), &end, 0);
    if (*end != 0 || parsed < -0x80000000LL || parsed > 0xFFFFFFFFLL) return false;
    *value = static_cast<TW_UINT32>(parsed);
    return true;
}

}  // namespace

const char *DataGroupName(TW_UINT32 group) { return Lookup(GroupNames, group); }
const char *DataTypeName(TW_UINT16 dataType) { return Lookup(DataTypeNames, dataType); }
const char *MessageName(TW_UINT16 message) { return Lookup(MessageNames, message); }
const char *ReturnCodeName(TW_UINT16 code) { return Lookup(ReturnCodeNames, code); }
const char *ConditionCodeName(TW_UINT16 code) { return Lookup(ConditionCodeNames, code); }
const char *ContainerName(TW_UINT16 conType) { return Lookup(ContainerNames, conType); }
const char *ItemTypeName(TW_UINT16 itemType) { return Lookup(ItemTypeNames, itemType); }

std::string CapabilityName(TW_UINT16 cap) {
    if (const char *name = Find(CapabilityNames, std::size(CapabilityNames), cap)) return name;
    char text[8];
    snprintf(text, sizeof text, "0x%04X", cap);
    return text;
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
    const Name *names = Booleans;
    size_t count = std::size(Booleans);
    for (const ValueNames &values : CapabilityValues)
        if (values.cap == cap) names = values.names, count = values.count;
    for (size_t i = 0; i < count; ++i)
        if (NameMatches(names[i].text, text)) {
            *value = names[i].value;
            return true;
        }
    return ParseNumber(text, value);
}
