// The TWAIN 1.x records and constants this source uses, laid out as Win64 and
// Win32 applications and Source Managers lay them out: packed to 2 bytes, with
// pointer-sized handles (8 bytes on Win64, 4 on Win32). Every record's size
// and field offsets are checked below for the architecture being built, so a
// layout mistake fails the build instead of corrupting a caller.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint8_t TW_UINT8;
typedef int8_t TW_INT8;
typedef uint16_t TW_UINT16;
typedef int16_t TW_INT16;
typedef uint32_t TW_UINT32;
typedef int32_t TW_INT32;
typedef uint16_t TW_BOOL;
typedef void *TW_HANDLE;
typedef void *TW_MEMREF;
typedef char TW_STR32[34];
typedef char TW_STR64[66];
typedef char TW_STR128[130];
typedef char TW_STR255[256];

#pragma pack(push, 2)

struct TW_FIX32 {
    TW_INT16 Whole;
    TW_UINT16 Frac;
};

struct TW_VERSION {
    TW_UINT16 MajorNum;
    TW_UINT16 MinorNum;
    TW_UINT16 Language;
    TW_UINT16 Country;
    TW_STR32 Info;
};

struct TW_IDENTITY {
    TW_UINT32 Id;
    TW_VERSION Version;
    TW_UINT16 ProtocolMajor;
    TW_UINT16 ProtocolMinor;
    TW_UINT32 SupportedGroups;
    TW_STR32 Manufacturer;
    TW_STR32 ProductFamily;
    TW_STR32 ProductName;
};

struct TW_CAPABILITY {
    TW_UINT16 Cap;
    TW_UINT16 ConType;
    TW_HANDLE hContainer;
};

struct TW_ONEVALUE {
    TW_UINT16 ItemType;
    TW_UINT32 Item;
};

struct TW_ENUMERATION {
    TW_UINT16 ItemType;
    TW_UINT32 NumItems;
    TW_UINT32 CurrentIndex;
    TW_UINT32 DefaultIndex;
    TW_UINT8 ItemList[1];
};

struct TW_ARRAY {
    TW_UINT16 ItemType;
    TW_UINT32 NumItems;
    TW_UINT8 ItemList[1];
};

struct TW_RANGE {
    TW_UINT16 ItemType;
    TW_UINT32 MinValue;
    TW_UINT32 MaxValue;
    TW_UINT32 StepSize;
    TW_UINT32 DefaultValue;
    TW_UINT32 CurrentValue;
};

struct TW_FRAME {
    TW_FIX32 Left;
    TW_FIX32 Top;
    TW_FIX32 Right;
    TW_FIX32 Bottom;
};

struct TW_USERINTERFACE {
    TW_BOOL ShowUI;
    TW_BOOL ModalUI;
    TW_HANDLE hParent;
};

struct TW_PENDINGXFERS {
    TW_UINT16 Count;
    TW_UINT32 EOJ;
};

struct TW_STATUS {
    TW_UINT16 ConditionCode;
    TW_UINT16 Reserved;
};

struct TW_EVENT {
    TW_MEMREF pEvent;
    TW_UINT16 TWMessage;
};

struct TW_IMAGEINFO {
    TW_FIX32 XResolution;
    TW_FIX32 YResolution;
    TW_INT32 ImageWidth;
    TW_INT32 ImageLength;
    TW_INT16 SamplesPerPixel;
    TW_INT16 BitsPerSample[8];
    TW_INT16 BitsPerPixel;
    TW_BOOL Planar;
    TW_INT16 PixelType;
    TW_UINT16 Compression;
};

struct TW_IMAGELAYOUT {
    TW_FRAME Frame;
    TW_UINT32 DocumentNumber;
    TW_UINT32 PageNumber;
    TW_UINT32 FrameNumber;
};

struct TW_SETUPMEMXFER {
    TW_UINT32 MinBufSize;
    TW_UINT32 MaxBufSize;
    TW_UINT32 Preferred;
};

struct TW_SETUPFILEXFER {
    TW_STR255 FileName;
    TW_UINT16 Format;
    TW_INT16 VRefNum;
};

struct TW_MEMORY {
    TW_UINT32 Flags;
    TW_UINT32 Length;
    TW_MEMREF TheMem;
};

struct TW_IMAGEMEMXFER {
    TW_UINT16 Compression;
    TW_UINT32 BytesPerRow;
    TW_UINT32 Columns;
    TW_UINT32 Rows;
    TW_UINT32 XOffset;
    TW_UINT32 YOffset;
    TW_UINT32 BytesWritten;
    TW_MEMORY Memory;
};

struct TW_ELEMENT8 {
    TW_UINT8 Index;
    TW_UINT8 Channel1;
    TW_UINT8 Channel2;
    TW_UINT8 Channel3;
};

struct TW_PALETTE8 {
    TW_UINT16 NumColors;
    TW_UINT16 PaletteType;
    TW_ELEMENT8 Colors[256];
};

#pragma pack(pop)

// TW_BY_ARCH(win64, win32): the number for the architecture being built.
#if defined(_WIN64)
#define TW_BY_ARCH(win64, win32) (win64)
#elif defined(_WIN32)
#define TW_BY_ARCH(win64, win32) (win32)
#elif defined(QX_TWAIN_HOST_LAYOUT)
// The fuzz builds compile the readers natively: a 64-bit host lays the records
// out as Win64 does, a 32-bit one (-m32) as Win32 does.
#define TW_BY_ARCH(win64, win32) (sizeof(void *) == 8 ? (win64) : (win32))
#else
#error "TWAIN records are laid out here for Win64 and Win32 only"
#endif

static_assert(sizeof(TW_HANDLE) == TW_BY_ARCH(8, 4) && sizeof(TW_MEMREF) == TW_BY_ARCH(8, 4));

#define TW_CHECK_FIELD(type, field, offset, size)                         \
    static_assert(offsetof(type, field) == (offset), #type "." #field " offset"); \
    static_assert(sizeof(((type *)nullptr)->field) == (size), #type "." #field " size")

static_assert(sizeof(TW_FIX32) == 4);
TW_CHECK_FIELD(TW_FIX32, Whole, 0, 2);
TW_CHECK_FIELD(TW_FIX32, Frac, 2, 2);
static_assert(sizeof(TW_VERSION) == 42);
TW_CHECK_FIELD(TW_VERSION, MajorNum, 0, 2);
TW_CHECK_FIELD(TW_VERSION, MinorNum, 2, 2);
TW_CHECK_FIELD(TW_VERSION, Language, 4, 2);
TW_CHECK_FIELD(TW_VERSION, Country, 6, 2);
TW_CHECK_FIELD(TW_VERSION, Info, 8, 34);
static_assert(sizeof(TW_IDENTITY) == 156);
TW_CHECK_FIELD(TW_IDENTITY, Id, 0, 4);
TW_CHECK_FIELD(TW_IDENTITY, Version, 4, 42);
TW_CHECK_FIELD(TW_IDENTITY, ProtocolMajor, 46, 2);
TW_CHECK_FIELD(TW_IDENTITY, ProtocolMinor, 48, 2);
TW_CHECK_FIELD(TW_IDENTITY, SupportedGroups, 50, 4);
TW_CHECK_FIELD(TW_IDENTITY, Manufacturer, 54, 34);
TW_CHECK_FIELD(TW_IDENTITY, ProductFamily, 88, 34);
TW_CHECK_FIELD(TW_IDENTITY, ProductName, 122, 34);
static_assert(sizeof(TW_CAPABILITY) == TW_BY_ARCH(12, 8));
TW_CHECK_FIELD(TW_CAPABILITY, Cap, 0, 2);
TW_CHECK_FIELD(TW_CAPABILITY, ConType, 2, 2);
TW_CHECK_FIELD(TW_CAPABILITY, hContainer, 4, TW_BY_ARCH(8, 4));
static_assert(sizeof(TW_ONEVALUE) == 6);
TW_CHECK_FIELD(TW_ONEVALUE, ItemType, 0, 2);
TW_CHECK_FIELD(TW_ONEVALUE, Item, 2, 4);
static_assert(sizeof(TW_ENUMERATION) == 16);
TW_CHECK_FIELD(TW_ENUMERATION, ItemType, 0, 2);
TW_CHECK_FIELD(TW_ENUMERATION, NumItems, 2, 4);
TW_CHECK_FIELD(TW_ENUMERATION, CurrentIndex, 6, 4);
TW_CHECK_FIELD(TW_ENUMERATION, DefaultIndex, 10, 4);
TW_CHECK_FIELD(TW_ENUMERATION, ItemList, 14, 1);
static_assert(sizeof(TW_ARRAY) == 8);
TW_CHECK_FIELD(TW_ARRAY, ItemType, 0, 2);
TW_CHECK_FIELD(TW_ARRAY, NumItems, 2, 4);
TW_CHECK_FIELD(TW_ARRAY, ItemList, 6, 1);
static_assert(sizeof(TW_RANGE) == 22);
TW_CHECK_FIELD(TW_RANGE, ItemType, 0, 2);
TW_CHECK_FIELD(TW_RANGE, MinValue, 2, 4);
TW_CHECK_FIELD(TW_RANGE, MaxValue, 6, 4);
TW_CHECK_FIELD(TW_RANGE, StepSize, 10, 4);
TW_CHECK_FIELD(TW_RANGE, DefaultValue, 14, 4);
TW_CHECK_FIELD(TW_RANGE, CurrentValue, 18, 4);
static_assert(sizeof(TW_FRAME) == 16);
TW_CHECK_FIELD(TW_FRAME, Left, 0, 4);
TW_CHECK_FIELD(TW_FRAME, Top, 4, 4);
TW_CHECK_FIELD(TW_FRAME, Right, 8, 4);
TW_CHECK_FIELD(TW_FRAME, Bottom, 12, 4);
static_assert(sizeof(TW_USERINTERFACE) == TW_BY_ARCH(12, 8));
TW_CHECK_FIELD(TW_USERINTERFACE, ShowUI, 0, 2);
TW_CHECK_FIELD(TW_USERINTERFACE, ModalUI, 2, 2);
TW_CHECK_FIELD(TW_USERINTERFACE, hParent, 4, TW_BY_ARCH(8, 4));
static_assert(sizeof(TW_PENDINGXFERS) == 6);
TW_CHECK_FIELD(TW_PENDINGXFERS, Count, 0, 2);
TW_CHECK_FIELD(TW_PENDINGXFERS, EOJ, 2, 4);
static_assert(sizeof(TW_STATUS) == 4);
TW_CHECK_FIELD(TW_STATUS, ConditionCode, 0, 2);
TW_CHECK_FIELD(TW_STATUS, Reserved, 2, 2);
static_assert(sizeof(TW_EVENT) == TW_BY_ARCH(10, 6));
TW_CHECK_FIELD(TW_EVENT, pEvent, 0, TW_BY_ARCH(8, 4));
TW_CHECK_FIELD(TW_EVENT, TWMessage, TW_BY_ARCH(8, 4), 2);
static_assert(sizeof(TW_IMAGEINFO) == 42);
TW_CHECK_FIELD(TW_IMAGEINFO, XResolution, 0, 4);
TW_CHECK_FIELD(TW_IMAGEINFO, YResolution, 4, 4);
TW_CHECK_FIELD(TW_IMAGEINFO, ImageWidth, 8, 4);
TW_CHECK_FIELD(TW_IMAGEINFO, ImageLength, 12, 4);
TW_CHECK_FIELD(TW_IMAGEINFO, SamplesPerPixel, 16, 2);
TW_CHECK_FIELD(TW_IMAGEINFO, BitsPerSample, 18, 16);
TW_CHECK_FIELD(TW_IMAGEINFO, BitsPerPixel, 34, 2);
TW_CHECK_FIELD(TW_IMAGEINFO, Planar, 36, 2);
TW_CHECK_FIELD(TW_IMAGEINFO, PixelType, 38, 2);
TW_CHECK_FIELD(TW_IMAGEINFO, Compression, 40, 2);
static_assert(sizeof(TW_IMAGELAYOUT) == 28);
TW_CHECK_FIELD(TW_IMAGELAYOUT, Frame, 0, 16);
TW_CHECK_FIELD(TW_IMAGELAYOUT, DocumentNumber, 16, 4);
TW_CHECK_FIELD(TW_IMAGELAYOUT, PageNumber, 20, 4);
TW_CHECK_FIELD(TW_IMAGELAYOUT, FrameNumber, 24, 4);
static_assert(sizeof(TW_SETUPMEMXFER) == 12);
TW_CHECK_FIELD(TW_SETUPMEMXFER, MinBufSize, 0, 4);
TW_CHECK_FIELD(TW_SETUPMEMXFER, MaxBufSize, 4, 4);
TW_CHECK_FIELD(TW_SETUPMEMXFER, Preferred, 8, 4);
static_assert(sizeof(TW_SETUPFILEXFER) == 260);
TW_CHECK_FIELD(TW_SETUPFILEXFER, FileName, 0, 256);
TW_CHECK_FIELD(TW_SETUPFILEXFER, Format, 256, 2);
TW_CHECK_FIELD(TW_SETUPFILEXFER, VRefNum, 258, 2);
static_assert(sizeof(TW_MEMORY) == TW_BY_ARCH(16, 12));
TW_CHECK_FIELD(TW_MEMORY, Flags, 0, 4);
TW_CHECK_FIELD(TW_MEMORY, Length, 4, 4);
TW_CHECK_FIELD(TW_MEMORY, TheMem, 8, TW_BY_ARCH(8, 4));
static_assert(sizeof(TW_IMAGEMEMXFER) == TW_BY_ARCH(42, 38));
TW_CHECK_FIELD(TW_IMAGEMEMXFER, Compression, 0, 2);
TW_CHECK_FIELD(TW_IMAGEMEMXFER, BytesPerRow, 2, 4);
TW_CHECK_FIELD(TW_IMAGEMEMXFER, Columns, 6, 4);
TW_CHECK_FIELD(TW_IMAGEMEMXFER, Rows, 10, 4);
TW_CHECK_FIELD(TW_IMAGEMEMXFER, XOffset, 14, 4);
TW_CHECK_FIELD(TW_IMAGEMEMXFER, YOffset, 18, 4);
TW_CHECK_FIELD(TW_IMAGEMEMXFER, BytesWritten, 22, 4);
TW_CHECK_FIELD(TW_IMAGEMEMXFER, Memory, 26, TW_BY_ARCH(16, 12));
static_assert(sizeof(TW_PALETTE8) == 1028);
TW_CHECK_FIELD(TW_PALETTE8, NumColors, 0, 2);
TW_CHECK_FIELD(TW_PALETTE8, PaletteType, 2, 2);
TW_CHECK_FIELD(TW_PALETTE8, Colors, 4, 1024);

#undef TW_CHECK_FIELD
#undef TW_BY_ARCH

// Data groups
constexpr TW_UINT32 DG_CONTROL = 0x0001;
constexpr TW_UINT32 DG_IMAGE = 0x0002;

// Data argument types
constexpr TW_UINT16 DAT_NULL = 0x0000;
constexpr TW_UINT16 DAT_CAPABILITY = 0x0001;
constexpr TW_UINT16 DAT_EVENT = 0x0002;
constexpr TW_UINT16 DAT_IDENTITY = 0x0003;
constexpr TW_UINT16 DAT_PARENT = 0x0004;
constexpr TW_UINT16 DAT_PENDINGXFERS = 0x0005;
constexpr TW_UINT16 DAT_SETUPMEMXFER = 0x0006;
constexpr TW_UINT16 DAT_SETUPFILEXFER = 0x0007;
constexpr TW_UINT16 DAT_STATUS = 0x0008;
constexpr TW_UINT16 DAT_USERINTERFACE = 0x0009;
constexpr TW_UINT16 DAT_XFERGROUP = 0x000A;
constexpr TW_UINT16 DAT_IMAGEINFO = 0x0101;
constexpr TW_UINT16 DAT_IMAGELAYOUT = 0x0102;
constexpr TW_UINT16 DAT_IMAGEMEMXFER = 0x0103;
constexpr TW_UINT16 DAT_IMAGENATIVEXFER = 0x0104;
constexpr TW_UINT16 DAT_IMAGEFILEXFER = 0x0105;
constexpr TW_UINT16 DAT_CIECOLOR = 0x0106;
constexpr TW_UINT16 DAT_GRAYRESPONSE = 0x0107;
constexpr TW_UINT16 DAT_RGBRESPONSE = 0x0108;
constexpr TW_UINT16 DAT_JPEGCOMPRESSION = 0x0109;
constexpr TW_UINT16 DAT_PALETTE8 = 0x010A;

// Messages
constexpr TW_UINT16 MSG_NULL = 0x0000;
constexpr TW_UINT16 MSG_GET = 0x0001;
constexpr TW_UINT16 MSG_GETCURRENT = 0x0002;
constexpr TW_UINT16 MSG_GETDEFAULT = 0x0003;
constexpr TW_UINT16 MSG_GETFIRST = 0x0004;
constexpr TW_UINT16 MSG_GETNEXT = 0x0005;
constexpr TW_UINT16 MSG_SET = 0x0006;
constexpr TW_UINT16 MSG_RESET = 0x0007;
constexpr TW_UINT16 MSG_QUERYSUPPORT = 0x0008;
constexpr TW_UINT16 MSG_XFERREADY = 0x0101;
constexpr TW_UINT16 MSG_CLOSEDSREQ = 0x0102;
constexpr TW_UINT16 MSG_CLOSEDSOK = 0x0103;
constexpr TW_UINT16 MSG_OPENDSM = 0x0301;
constexpr TW_UINT16 MSG_CLOSEDSM = 0x0302;
constexpr TW_UINT16 MSG_OPENDS = 0x0401;
constexpr TW_UINT16 MSG_CLOSEDS = 0x0402;
constexpr TW_UINT16 MSG_USERSELECT = 0x0403;
constexpr TW_UINT16 MSG_DISABLEDS = 0x0501;
constexpr TW_UINT16 MSG_ENABLEDS = 0x0502;
constexpr TW_UINT16 MSG_ENABLEDSUIONLY = 0x0503;
constexpr TW_UINT16 MSG_PROCESSEVENT = 0x0601;
constexpr TW_UINT16 MSG_ENDXFER = 0x0701;

// Return codes
constexpr TW_UINT16 TWRC_SUCCESS = 0;
constexpr TW_UINT16 TWRC_FAILURE = 1;
constexpr TW_UINT16 TWRC_CHECKSTATUS = 2;
constexpr TW_UINT16 TWRC_CANCEL = 3;
constexpr TW_UINT16 TWRC_DSEVENT = 4;
constexpr TW_UINT16 TWRC_NOTDSEVENT = 5;
constexpr TW_UINT16 TWRC_XFERDONE = 6;
constexpr TW_UINT16 TWRC_ENDOFLIST = 7;

// Condition codes
constexpr TW_UINT16 TWCC_SUCCESS = 0;
constexpr TW_UINT16 TWCC_BUMMER = 1;
constexpr TW_UINT16 TWCC_LOWMEMORY = 2;
constexpr TW_UINT16 TWCC_NODS = 3;
constexpr TW_UINT16 TWCC_MAXCONNECTIONS = 4;
constexpr TW_UINT16 TWCC_OPERATIONERROR = 5;
constexpr TW_UINT16 TWCC_BADCAP = 6;
constexpr TW_UINT16 TWCC_BADPROTOCOL = 9;
constexpr TW_UINT16 TWCC_BADVALUE = 10;
constexpr TW_UINT16 TWCC_SEQERROR = 11;
constexpr TW_UINT16 TWCC_BADDEST = 12;
constexpr TW_UINT16 TWCC_CAPUNSUPPORTED = 13;
constexpr TW_UINT16 TWCC_CAPBADOPERATION = 14;

// Container types
constexpr TW_UINT16 TWON_ARRAY = 3;
constexpr TW_UINT16 TWON_ENUMERATION = 4;
constexpr TW_UINT16 TWON_ONEVALUE = 5;
constexpr TW_UINT16 TWON_RANGE = 6;
// The ConType of a capability request that carries no container: the
// source chooses the kind of its reply.
constexpr TW_UINT16 TWON_DONTCARE16 = 0xFFFF;
// The capability requests that carry no container (hContainer null,
// ConType TWON_DONTCARE16): every one but MSG_SET, which alone hands the
// source a value.
constexpr TW_UINT16 NoContainerMessages[] = {MSG_GET, MSG_GETCURRENT, MSG_GETDEFAULT, MSG_RESET,
                                             MSG_QUERYSUPPORT};
constexpr bool CarriesNoContainer(TW_UINT16 message) {
    for (TW_UINT16 listed : NoContainerMessages)
        if (listed == message) return true;
    return false;
}

// Item types
constexpr TW_UINT16 TWTY_INT8 = 0;
constexpr TW_UINT16 TWTY_INT16 = 1;
constexpr TW_UINT16 TWTY_INT32 = 2;
constexpr TW_UINT16 TWTY_UINT8 = 3;
constexpr TW_UINT16 TWTY_UINT16 = 4;
constexpr TW_UINT16 TWTY_UINT32 = 5;
constexpr TW_UINT16 TWTY_BOOL = 6;
constexpr TW_UINT16 TWTY_FIX32 = 7;
constexpr TW_UINT16 TWTY_FRAME = 8;
constexpr TW_UINT16 TWTY_STR32 = 9;
constexpr TW_UINT16 TWTY_STR64 = 10;
constexpr TW_UINT16 TWTY_STR128 = 11;
constexpr TW_UINT16 TWTY_STR255 = 12;

// Bytes of one item of each type in a container, which is also the stride of
// a value list. A type not in the table has no known size: 0, and its items
// cannot be read.
struct TW_ITEMSIZE {
    TW_UINT16 itemType;
    TW_UINT16 bytes;
};
constexpr TW_ITEMSIZE ItemSizes[] = {
    {TWTY_INT8, 1},   {TWTY_INT16, 2},  {TWTY_INT32, 4},  {TWTY_UINT8, 1},
    {TWTY_UINT16, 2}, {TWTY_UINT32, 4}, {TWTY_BOOL, 2},   {TWTY_FIX32, sizeof(TW_FIX32)},
    {TWTY_FRAME, sizeof(TW_FRAME)},     {TWTY_STR32, sizeof(TW_STR32)},
    {TWTY_STR64, sizeof(TW_STR64)},     {TWTY_STR128, sizeof(TW_STR128)},
    {TWTY_STR255, sizeof(TW_STR255)},
};
constexpr TW_UINT16 ItemSize(TW_UINT16 itemType) {
    for (const TW_ITEMSIZE &entry : ItemSizes)
        if (entry.itemType == itemType) return entry.bytes;
    return 0;
}

// Capabilities
constexpr TW_UINT16 CAP_XFERCOUNT = 0x0001;
constexpr TW_UINT16 ICAP_COMPRESSION = 0x0100;
constexpr TW_UINT16 ICAP_PIXELTYPE = 0x0101;
constexpr TW_UINT16 ICAP_UNITS = 0x0102;
constexpr TW_UINT16 ICAP_XFERMECH = 0x0103;
constexpr TW_UINT16 CAP_SUPPORTEDCAPS = 0x1005;
constexpr TW_UINT16 CAP_UICONTROLLABLE = 0x100E;
constexpr TW_UINT16 CAP_DEVICEONLINE = 0x100F;
constexpr TW_UINT16 ICAP_IMAGEFILEFORMAT = 0x110C;
constexpr TW_UINT16 ICAP_PHYSICALWIDTH = 0x1111;
constexpr TW_UINT16 ICAP_PHYSICALHEIGHT = 0x1112;
constexpr TW_UINT16 ICAP_XRESOLUTION = 0x1118;
constexpr TW_UINT16 ICAP_YRESOLUTION = 0x1119;
constexpr TW_UINT16 ICAP_BITORDER = 0x111C;
constexpr TW_UINT16 ICAP_PIXELFLAVOR = 0x111F;
constexpr TW_UINT16 ICAP_PLANARCHUNKY = 0x1120;
constexpr TW_UINT16 ICAP_BITDEPTH = 0x112B;

// Capability query-support bits
constexpr TW_UINT32 TWQC_GET = 0x0001;
constexpr TW_UINT32 TWQC_SET = 0x0002;
constexpr TW_UINT32 TWQC_GETDEFAULT = 0x0004;
constexpr TW_UINT32 TWQC_GETCURRENT = 0x0008;
constexpr TW_UINT32 TWQC_RESET = 0x0010;

// Capability values
constexpr TW_UINT16 TWPT_BW = 0;
constexpr TW_UINT16 TWPT_GRAY = 1;
constexpr TW_UINT16 TWPT_RGB = 2;
constexpr TW_UINT16 TWSX_NATIVE = 0;
constexpr TW_UINT16 TWSX_FILE = 1;
constexpr TW_UINT16 TWSX_MEMORY = 2;
constexpr TW_UINT16 TWPF_CHOCOLATE = 0;
constexpr TW_UINT16 TWPC_CHUNKY = 0;
constexpr TW_UINT16 TWCP_NONE = 0;
constexpr TW_UINT16 TWUN_PIXELS = 5;
constexpr TW_UINT16 TWBO_MSBFIRST = 1;
constexpr TW_UINT16 TWFF_TIFF = 0;
constexpr TW_UINT16 TWFF_BMP = 2;

// The rest of the TWAIN 1.x codes that applications name (qxacquire prints
// and parses them); the source answers none of these.
constexpr TW_UINT32 DG_AUDIO = 0x0004;
constexpr TW_UINT16 MSG_DEVICEEVENT = 0x0104;
constexpr TW_UINT16 MSG_STOPFEEDER = 0x0702;
constexpr TW_UINT16 TWCC_CAPSEQERROR = 15;
constexpr TW_UINT16 TWCC_DENIED = 16;
constexpr TW_UINT16 TWCC_FILEEXISTS = 17;
constexpr TW_UINT16 TWCC_FILENOTFOUND = 18;
constexpr TW_UINT16 TWCC_NOTEMPTY = 19;
constexpr TW_UINT16 TWCC_PAPERJAM = 20;
constexpr TW_UINT16 TWCC_PAPERDOUBLEFEED = 21;
constexpr TW_UINT16 TWCC_FILEWRITEERROR = 22;
constexpr TW_UINT16 TWCC_CHECKDEVICEONLINE = 23;
constexpr TW_UINT16 CAP_AUTHOR = 0x1000;
constexpr TW_UINT16 CAP_CAPTION = 0x1001;
constexpr TW_UINT16 CAP_FEEDERENABLED = 0x1002;
constexpr TW_UINT16 CAP_FEEDERLOADED = 0x1003;
constexpr TW_UINT16 CAP_TIMEDATE = 0x1004;
constexpr TW_UINT16 CAP_EXTENDEDCAPS = 0x1006;
constexpr TW_UINT16 CAP_AUTOFEED = 0x1007;
constexpr TW_UINT16 CAP_CLEARPAGE = 0x1008;
constexpr TW_UINT16 CAP_INDICATORS = 0x100B;
constexpr TW_UINT16 CAP_PAPERDETECTABLE = 0x100D;
constexpr TW_UINT16 CAP_AUTOSCAN = 0x1010;
constexpr TW_UINT16 CAP_THUMBNAILSENABLED = 0x1011;
constexpr TW_UINT16 CAP_DUPLEX = 0x1012;
constexpr TW_UINT16 CAP_DUPLEXENABLED = 0x1013;
constexpr TW_UINT16 CAP_ENABLEDSUIONLY = 0x1014;
constexpr TW_UINT16 CAP_CUSTOMDSDATA = 0x1015;
constexpr TW_UINT16 CAP_JOBCONTROL = 0x1017;
constexpr TW_UINT16 CAP_DEVICETIMEDATE = 0x101A;
constexpr TW_UINT16 CAP_SERIALNUMBER = 0x101B;
constexpr TW_UINT16 ICAP_AUTOBRIGHT = 0x1100;
constexpr TW_UINT16 ICAP_BRIGHTNESS = 0x1101;
constexpr TW_UINT16 ICAP_CONTRAST = 0x1103;
constexpr TW_UINT16 ICAP_CUSTHALFTONE = 0x1104;
constexpr TW_UINT16 ICAP_EXPOSURETIME = 0x1105;
constexpr TW_UINT16 ICAP_FILTER = 0x1106;
constexpr TW_UINT16 ICAP_FLASHUSED = 0x1107;
constexpr TW_UINT16 ICAP_GAMMA = 0x1108;
constexpr TW_UINT16 ICAP_HALFTONES = 0x1109;
constexpr TW_UINT16 ICAP_HIGHLIGHT = 0x110A;
constexpr TW_UINT16 ICAP_LAMPSTATE = 0x110D;
constexpr TW_UINT16 ICAP_LIGHTSOURCE = 0x110E;
constexpr TW_UINT16 ICAP_ORIENTATION = 0x1110;
constexpr TW_UINT16 ICAP_SHADOW = 0x1113;
constexpr TW_UINT16 ICAP_FRAMES = 0x1114;
constexpr TW_UINT16 ICAP_XNATIVERESOLUTION = 0x1116;
constexpr TW_UINT16 ICAP_YNATIVERESOLUTION = 0x1117;
constexpr TW_UINT16 ICAP_MAXFRAMES = 0x111A;
constexpr TW_UINT16 ICAP_TILES = 0x111B;
constexpr TW_UINT16 ICAP_CCITTKFACTOR = 0x111D;
constexpr TW_UINT16 ICAP_LIGHTPATH = 0x111E;
constexpr TW_UINT16 ICAP_ROTATION = 0x1121;
constexpr TW_UINT16 ICAP_SUPPORTEDSIZES = 0x1122;
constexpr TW_UINT16 ICAP_THRESHOLD = 0x1123;
constexpr TW_UINT16 ICAP_XSCALING = 0x1124;
constexpr TW_UINT16 ICAP_YSCALING = 0x1125;
constexpr TW_UINT16 ICAP_BITORDERCODES = 0x1126;
constexpr TW_UINT16 ICAP_PIXELFLAVORCODES = 0x1127;
constexpr TW_UINT16 ICAP_JPEGPIXELTYPE = 0x1128;
constexpr TW_UINT16 ICAP_TIMEFILL = 0x112A;
constexpr TW_UINT16 ICAP_BITDEPTHREDUCTION = 0x112C;
constexpr TW_UINT16 ICAP_UNDEFINEDIMAGESIZE = 0x112D;
constexpr TW_UINT16 ICAP_IMAGEDATASET = 0x112E;
constexpr TW_UINT16 ICAP_EXTIMAGEINFO = 0x112F;
constexpr TW_UINT16 ICAP_MINIMUMHEIGHT = 0x1130;
constexpr TW_UINT16 ICAP_MINIMUMWIDTH = 0x1131;
constexpr TW_UINT16 ICAP_AUTOMATICDESKEW = 0x1136;
constexpr TW_UINT16 ICAP_AUTOMATICROTATE = 0x1137;
constexpr TW_UINT16 TWPT_PALETTE = 3;
constexpr TW_UINT16 TWPT_CMY = 4;
constexpr TW_UINT16 TWPT_CMYK = 5;
constexpr TW_UINT16 TWPT_YUV = 6;
constexpr TW_UINT16 TWPT_YUVK = 7;
constexpr TW_UINT16 TWPT_CIEXYZ = 8;
constexpr TW_UINT16 TWPF_VANILLA = 1;
constexpr TW_UINT16 TWPA_RGB = 0;
constexpr TW_UINT16 TWPA_GRAY = 1;
constexpr TW_UINT16 TWPA_CMY = 2;
constexpr TW_UINT16 TWPC_PLANAR = 1;
constexpr TW_UINT16 TWCP_PACKBITS = 1;
constexpr TW_UINT16 TWCP_GROUP31D = 2;
constexpr TW_UINT16 TWCP_GROUP31DEOL = 3;
constexpr TW_UINT16 TWCP_GROUP32D = 4;
constexpr TW_UINT16 TWCP_GROUP4 = 5;
constexpr TW_UINT16 TWCP_JPEG = 6;
constexpr TW_UINT16 TWCP_LZW = 7;
constexpr TW_UINT16 TWCP_JBIG = 8;
constexpr TW_UINT16 TWCP_PNG = 9;
constexpr TW_UINT16 TWCP_RLE4 = 10;
constexpr TW_UINT16 TWCP_RLE8 = 11;
constexpr TW_UINT16 TWCP_BITFIELDS = 12;
constexpr TW_UINT16 TWUN_INCHES = 0;
constexpr TW_UINT16 TWUN_CENTIMETERS = 1;
constexpr TW_UINT16 TWUN_PICAS = 2;
constexpr TW_UINT16 TWUN_POINTS = 3;
constexpr TW_UINT16 TWUN_TWIPS = 4;
constexpr TW_UINT16 TWBO_LSBFIRST = 0;
constexpr TW_UINT16 TWFF_PICT = 1;
constexpr TW_UINT16 TWFF_XBM = 3;
constexpr TW_UINT16 TWFF_JFIF = 4;
constexpr TW_UINT16 TWFF_FPX = 5;
constexpr TW_UINT16 TWFF_TIFFMULTI = 6;
constexpr TW_UINT16 TWFF_PNG = 7;
constexpr TW_UINT16 TWFF_SPIFF = 8;
constexpr TW_UINT16 TWFF_EXIF = 9;

// Memory flags of TW_MEMORY
constexpr TW_UINT32 TWMF_APPOWNS = 0x0001;
constexpr TW_UINT32 TWMF_DSMOWNS = 0x0002;
constexpr TW_UINT32 TWMF_DSOWNS = 0x0004;
constexpr TW_UINT32 TWMF_POINTER = 0x0008;
constexpr TW_UINT32 TWMF_HANDLE = 0x0010;

// Identity values
constexpr TW_UINT16 TWLG_USA = 13;
constexpr TW_UINT16 TWCY_USA = 1;

// The TWAIN calling convention of the entry points: PASCAL (__stdcall) on
// Win32; Win64 has only one convention and ignores it.
#if defined(_WIN32)
#define TW_CALLINGSTYLE __stdcall
#else
#define TW_CALLINGSTYLE
#endif

// Entry points of a source and of the Source Manager.
typedef TW_UINT16(TW_CALLINGSTYLE *DSENTRYPROC)(TW_IDENTITY *pOrigin, TW_UINT32 DG,
                                               TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF pData);
typedef TW_UINT16(TW_CALLINGSTYLE *DSMENTRYPROC)(TW_IDENTITY *pOrigin, TW_IDENTITY *pDest,
                                                TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                                                TW_MEMREF pData);
