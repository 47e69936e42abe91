// "QX Test Source": a small TWAIN source for testing applications against
// layouts and behaviours the Quorvex source never shows. It has no device
// and no dialog: MSG_ENABLEDS says MSG_XFERREADY at once through the Source
// Manager, and every frame is the picture of test_pattern.h.
//
// Its settings are read at MSG_OPENDS from the environment variable
// QXTEST_SOURCE: "key=value" words separated by spaces or semicolons, numbers
// in decimal or 0x hex. Unset keys take the default in brackets.
//   pixeltype [1]  TWPT_BW 0, TWPT_GRAY 1, TWPT_RGB 2, TWPT_PALETTE 3
//   bits [8]       bits a pixel: BW 1; grey 4, 8, 16; RGB 16 (bitmaps only),
//                  24, 32 (bitmaps only), 48 (strips only); palette 1, 4, 8
//   width [16], height [8], frames [1] (pending unless CAP_XFERCOUNT says fewer)
//   flavor [0]     ICAP_PIXELFLAVOR: 0 chocolate, 1 vanilla
//   compression [0] reported in DAT_IMAGEINFO and in every strip
//   caps [0]       1: CAP_SUPPORTEDCAPS is answered
//   cancel [0]     the transfer of this frame (1 = the first) ends TWRC_CANCEL
// Native transfers:
//   section [0]    1: a DIB section's HBITMAP instead of a packed DIB
//   topdown [0]    1: rows top line first (negative biHeight)
//   bitfields [0]  16-bit bitmaps: 0 BI_RGB 5-5-5, 1 BI_BITFIELDS 5-6-5
//   bisize, biwidth, biheight, clrused, planes, sizeimage: told in the header
//                  instead of the truth; a clrused below the depth's colours
//                  also cuts the table there, the pixels keeping every index
//   blockbytes     the global block's size (the bitmap cut or left short)
// Memory transfers (strips of `striprows` [3] lines; the buffer holds one):
//   pad [0]        bytes after each line of a strip
//   tile [0]       columns a strip is cut into (0: whole lines); whole bytes
//   bytesperrow, columns, rows, yoffset, byteswritten: told of the first
//                  strip instead of the truth
//   bufferbytes    told in DAT_SETUPMEMXFER (minimum, maximum and preferred)
//   bands          the bands of striprows lines in the order sent, e.g. 2,0,1
//                  (each band's tiles left to right); the frame ends with the last
//   stall [0]      1: every strip after the first is empty (TWRC_SUCCESS, no progress)
// Capabilities:
//   bigcaps=N      40 capabilities from 0x8000 (and CAP_SUPPORTEDCAPS), each a
//                  TW_ARRAY of 65535 TWTY_STR255 (16.8 MB), item k the number k
//                  padded to N characters with dots
//   hog [0]        1, in a 32-bit process: once a bigcaps reply is made, the free
//                  address space is reserved until MSG_CLOSEDS: the application runs out
// A capability request without a container (NoContainerMessages) must say
// TWON_DONTCARE16, as Wine's camera source wants.
// random=SEED: geometry drawn, and lies in any field now and then (random_fields.h).
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <iterator>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "parse_number.h"
#include "random_fields.h"
#include "test_pattern.h"
#include "twain.h"
#include "twain_identity.h"

using testsource::Sample;

namespace {


struct Settings {
    std::map<std::string, std::string> values;
    bool Has(const char *key) const { return values.count(key) != 0; }
    long long Get(const char *key, long long otherwise = 0) const {
        auto found = values.find(key);
        int64_t value = otherwise;
        if (found != values.end()) ParseSignedNumber(found->second, &value);
        return value;
    }
};

Settings ReadSettings() {
    Settings settings;
    char text[4096] = "";
    GetEnvironmentVariableA(testsource::SettingsVariable, text, sizeof text);
    std::string word;
    for (const char *at = text;; ++at) {
        if (*at && *at != ' ' && *at != ';' && *at != '\n' && *at != '\t') {
            word += *at;
            continue;
        }
        size_t equals = word.find('=');
        if (equals != std::string::npos) settings.values[word.substr(0, equals)] = word.substr(equals + 1);
        word.clear();
        if (!*at) break;
    }
    return settings;
}

struct Source {
    TW_IDENTITY identity = {};
    TW_IDENTITY application = {};
    Settings settings;
    TW_UINT16 condition = TWCC_SUCCESS;
    int state = 3;
    uint32_t pixelType = TWPT_GRAY, bits = 8, width = 16, height = 8;
    uint32_t frame = 0;  // frames ended so far
    uint32_t pending = 0;
    int32_t xferCount = -1;
    TW_UINT16 mechanism = TWSX_NATIVE, flavor = TWPF_CHOCOLATE;
    uint32_t nextStrip = 0;  // of the frame being transferred
    std::vector<void *> hogged;  // address space reserved by hog=1
} g;

uint32_t Samples() { return g.pixelType == TWPT_RGB ? 3 : 1; }
uint32_t BitsPerSample() { return g.bits / Samples() < 1 ? 1 : (g.bits == 32 ? 8 : g.bits / Samples()); }

TW_UINT16 Fail(TW_UINT16 condition) {
    g.condition = condition;
    return TWRC_FAILURE;
}

// One line of `columns` pixels from column x0, in TWAIN's order (R, G, B;
// 16-bit samples little-endian) or a bitmap's (B, G, R; 5-5-5 / 5-6-5 words).
void PutLine(uint8_t *out, uint32_t y, uint32_t x0, uint32_t columns, bool bitmap) {
    const uint32_t bits = g.bits;
    if (bits < 8 || (bits == 8 && g.pixelType != TWPT_RGB)) {
        memset(out, 0, (size_t(columns) * bits + 7) / 8);
        for (uint32_t i = 0; i < columns; ++i) {
            uint32_t v = Sample(x0 + i, y, 0, bits), at = i * bits;
            out[at / 8] |= uint8_t(v << (8 - bits - at % 8));
        }
        return;
    }
    for (uint32_t i = 0; i < columns; ++i) {
        const uint32_t x = x0 + i;
        if (bits == 16 && g.pixelType == TWPT_RGB) {
            const bool wideGreen = g.settings.Get("bitfields") != 0;
            uint32_t r = Sample(x, y, 0, 5), gr = Sample(x, y, 1, wideGreen ? 6 : 5), b = Sample(x, y, 2, 5);
            uint32_t word = wideGreen ? r << 11 | gr << 5 | b : r << 10 | gr << 5 | b;
            *out++ = uint8_t(word), *out++ = uint8_t(word >> 8);
            continue;
        }
        const uint32_t samples = Samples(), sampleBits = BitsPerSample();
        for (uint32_t k = 0; k < samples; ++k) {
            uint32_t v = Sample(x, y, bitmap ? samples - 1 - k : k, sampleBits);
            *out++ = uint8_t(v);
            if (sampleBits == 16) *out++ = uint8_t(v >> 8);
        }
        if (bits == 32) *out++ = 0;
    }
}

// ---- native: a packed DIB in global memory, or a DIB section

std::vector<RGBQUAD> BitmapPalette() {
    std::vector<RGBQUAD> palette;
    if (g.bits > 8) return palette;
    for (uint32_t i = 0; i < (1u << g.bits); ++i) {
        uint8_t level = testsource::GreyLevel(i, g.bits);
        if (g.flavor == TWPF_VANILLA) level = uint8_t(255 - level);
        testsource::Colour c = testsource::PaletteColour(i);
        palette.push_back(g.pixelType == TWPT_PALETTE ? RGBQUAD{c.b, c.g, c.r, 0} : RGBQUAD{level, level, level, 0});
    }
    return palette;
}

TW_UINT16 NativeTransfer(TW_HANDLE *handle) {
    const Settings &s = g.settings;
    const bool bitfields = g.bits == 16 && s.Get("bitfields");
    std::vector<RGBQUAD> palette = BitmapPalette();
    if (s.Get("clrused") > 0 && size_t(s.Get("clrused")) < palette.size()) palette.resize(size_t(s.Get("clrused")));
    std::vector<uint8_t> info(sizeof(BITMAPINFOHEADER) + palette.size() * 4 + (bitfields ? 12 : 0));
    auto *header = reinterpret_cast<BITMAPINFOHEADER *>(info.data());
    const size_t stride = (size_t(g.width) * g.bits + 31) / 32 * 4, pixelBytes = stride * g.height;
    *header = {sizeof(BITMAPINFOHEADER), LONG(g.width), s.Get("topdown") ? -LONG(g.height) : LONG(g.height),
               1, WORD(g.bits), DWORD(bitfields ? BI_BITFIELDS : BI_RGB), DWORD(pixelBytes), 2835, 2835,
               DWORD(palette.size()), 0};
    memcpy(header + 1, palette.data(), palette.size() * 4);
    if (bitfields) {
        const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
        memcpy(header + 1, masks, sizeof masks);
    }
    randomfields::Masks(header);
    std::vector<uint8_t> pixels(pixelBytes, 0);
    for (uint32_t y = 0; y < g.height; ++y)
        PutLine(pixels.data() + (s.Get("topdown") ? y : g.height - 1 - y) * stride, y, 0, g.width, true);
    if (s.Get("section")) {
        void *bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO *>(header), DIB_RGB_COLORS, &bits,
                                          nullptr, 0);
        if (!bitmap || !bits) return Fail(TWCC_LOWMEMORY);
        memcpy(bits, pixels.data(), pixels.size());
        *handle = bitmap;
        return TWRC_XFERDONE;
    }
    // What the header tells may be other than the truth.
    header->biSize = DWORD(s.Get("bisize", header->biSize));
    header->biWidth = LONG(s.Get("biwidth", header->biWidth));
    header->biHeight = LONG(s.Get("biheight", header->biHeight));
    header->biClrUsed = DWORD(s.Get("clrused", header->biClrUsed));
    header->biPlanes = WORD(s.Get("planes", header->biPlanes));
    header->biSizeImage = DWORD(s.Get("sizeimage", header->biSizeImage));
    info.insert(info.end(), pixels.begin(), pixels.end());
    size_t blockBytes = size_t(s.Get("blockbytes", info.size()));
    randomfields::Header(reinterpret_cast<BITMAPINFOHEADER *>(info.data()), info.size(), &blockBytes);
    HGLOBAL block = GlobalAlloc(GHND, blockBytes);
    if (!block) return Fail(TWCC_LOWMEMORY);
    memcpy(GlobalLock(block), info.data(), blockBytes < info.size() ? blockBytes : info.size());
    GlobalUnlock(block);
    *handle = block;
    return TWRC_XFERDONE;
}

// ---- memory: strips of striprows lines, each cut into tiles when asked

uint32_t StripRows() { return uint32_t(g.settings.Get("striprows", 3)); }
uint32_t TileColumns() {
    uint32_t tile = uint32_t(g.settings.Get("tile"));
    return tile && tile < g.width ? tile : g.width;
}
uint32_t LineBytes(uint32_t columns) { return uint32_t((uint64_t(columns) * g.bits + 7) / 8 + g.settings.Get("pad")); }
uint32_t BufferBytes() { return LineBytes(g.width) * StripRows(); }

// The bands in the order they are sent: top to bottom unless `bands` says.
std::vector<uint32_t> BandOrder() {
    std::vector<uint32_t> order;
    if (!g.settings.Has("bands")) {
        for (uint32_t band = 0; band < (g.height + StripRows() - 1) / StripRows(); ++band) order.push_back(band);
        return order;
    }
    const std::string &list = g.settings.values.at("bands");
    for (size_t at = 0, comma = 0; comma != std::string::npos; at = comma + 1) {
        comma = list.find(',', at);
        ParseNumber(std::string_view(list).substr(at, comma - at), &order.emplace_back());
    }
    return order;
}

TW_UINT16 MemoryTransfer(TW_IMAGEMEMXFER *xfer) {
    const Settings &s = g.settings;
    if (s.Get("stall") && g.nextStrip) {
        xfer->BytesPerRow = xfer->Columns = xfer->Rows = xfer->BytesWritten = 0;
        return TWRC_SUCCESS;
    }
    const uint32_t tilesAcross = (g.width + TileColumns() - 1) / TileColumns();
    const std::vector<uint32_t> order = BandOrder();
    const uint32_t band = order[g.nextStrip / tilesAcross], tile = g.nextStrip % tilesAcross;
    const uint32_t y0 = band * StripRows(), x0 = tile * TileColumns();
    const uint32_t rows = std::min(StripRows(), g.height - y0), columns = std::min(TileColumns(), g.width - x0);
    const uint32_t lineBytes = LineBytes(columns);
    if (xfer->Memory.Length < lineBytes * rows || !xfer->Memory.TheMem) return Fail(TWCC_BADVALUE);
    auto *out = static_cast<uint8_t *>(xfer->Memory.TheMem);
    memset(out, 0, size_t(lineBytes) * rows);
    for (uint32_t r = 0; r < rows; ++r) PutLine(out + size_t(r) * lineBytes, y0 + r, x0, columns, false);
    const bool first = g.nextStrip++ == 0;
    xfer->Compression = TW_UINT16(s.Get("compression"));
    xfer->BytesPerRow = first ? TW_UINT32(s.Get("bytesperrow", lineBytes)) : lineBytes;
    xfer->Columns = first ? TW_UINT32(s.Get("columns", columns)) : columns;
    xfer->Rows = first ? TW_UINT32(s.Get("rows", rows)) : rows;
    xfer->XOffset = x0;
    xfer->YOffset = first ? TW_UINT32(s.Get("yoffset", y0)) : y0;
    xfer->BytesWritten = first ? TW_UINT32(s.Get("byteswritten", lineBytes * rows)) : lineBytes * rows;
    g.state = 7;
    const bool last = g.nextStrip == tilesAcross * order.size();
    return last ? TWRC_XFERDONE : TWRC_SUCCESS;
}

// ---- capabilities: one value each, and the values it may take

struct Capability {
    TW_UINT16 cap;
    TW_UINT16 itemType;
    TW_UINT32 (*current)();
    TW_UINT32 defaultValue;
    bool (*set)(TW_UINT32 value);  // null: read-only
};

constexpr Capability Capabilities[] = {
    {CAP_XFERCOUNT, TWTY_INT16, [] { return TW_UINT32(uint16_t(g.xferCount)); }, 0xFFFF,
     [](TW_UINT32 v) { return g.xferCount = int16_t(v), true; }},
    {ICAP_XFERMECH, TWTY_UINT16, [] { return TW_UINT32(g.mechanism); }, TWSX_NATIVE,
     [](TW_UINT32 v) { return (v == TWSX_NATIVE || v == TWSX_MEMORY) && (g.mechanism = TW_UINT16(v), true); }},
    {ICAP_PIXELTYPE, TWTY_UINT16, [] { return TW_UINT32(g.pixelType); }, TWPT_GRAY, nullptr},
    {ICAP_BITDEPTH, TWTY_UINT16, [] { return TW_UINT32(g.bits); }, 8, nullptr},
    {ICAP_PIXELFLAVOR, TWTY_UINT16, [] { return TW_UINT32(g.flavor); }, TWPF_CHOCOLATE, nullptr},
    {ICAP_COMPRESSION, TWTY_UINT16, [] { return TW_UINT32(g.settings.Get("compression")); }, TWCP_NONE, nullptr},
    {CAP_SUPPORTEDCAPS, TWTY_UINT16, [] { return TW_UINT32(0); }, 0, nullptr},
};

const Capability *FindCapability(TW_UINT16 cap) {
    for (const Capability &c : Capabilities)
        if (c.cap == cap && (cap != CAP_SUPPORTEDCAPS || g.settings.Get("caps"))) return &c;
    return nullptr;
}

TW_HANDLE OneValue(TW_UINT16 itemType, TW_UINT32 value) {
    HGLOBAL block = GlobalAlloc(GHND, sizeof(TW_ONEVALUE));
    auto *one = static_cast<TW_ONEVALUE *>(GlobalLock(block));
    one->ItemType = itemType;
    one->Item = value;
    GlobalUnlock(block);
    return block;
}

TW_HANDLE SupportedCapsArray() {
    const size_t count = std::size(Capabilities);
    HGLOBAL block = GlobalAlloc(GHND, sizeof(TW_ARRAY) + count * 2);
    auto *array = static_cast<TW_ARRAY *>(GlobalLock(block));
    array->ItemType = TWTY_UINT16;
    array->NumItems = TW_UINT32(count);
    for (size_t i = 0; i < count; ++i) memcpy(array->ItemList + 2 * i, &Capabilities[i].cap, 2);
    GlobalUnlock(block);
    return block;
}

// Every free range of a 32-bit address space, reserved: the largest that fits,
// again and again. (Wine's bookkeeping of a 64-bit one would take gigabytes.)
void Hog() {
    g.hogged.reserve(1 << 14);
    for (SIZE_T size = sizeof(void *) == 4 ? SIZE_T(1) << 31 : 0; size >= (1 << 16) && g.hogged.size() < (1 << 14);)
        if (void *range = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS)) g.hogged.push_back(range);
        else size /= 2;
}

// bigcaps: CAP_SUPPORTEDCAPS lists itself and the 40 capabilities from 0x8000.
TW_UINT16 BigCapabilityMsg(TW_UINT16 message, TW_CAPABILITY *request) {
    const bool listing = request->Cap == CAP_SUPPORTEDCAPS;
    if (!listing && (request->Cap < 0x8000 || request->Cap >= 0x8000 + 40)) return Fail(TWCC_CAPUNSUPPORTED);
    const TW_UINT32 support = TWQC_GET | TWQC_GETCURRENT | TWQC_GETDEFAULT;
    if (message == MSG_QUERYSUPPORT)
        return request->ConType = TWON_ONEVALUE, request->hContainer = OneValue(TWTY_INT32, support), TWRC_SUCCESS;
    if (!CarriesNoContainer(message) || message == MSG_RESET) return Fail(TWCC_CAPBADOPERATION);
    const TW_UINT16 type = listing ? TWTY_UINT16 : TWTY_STR255;
    const TW_UINT32 count = listing ? 41 : 65535;
    const size_t length = size_t(std::min<long long>(g.settings.Get("bigcaps"), 255));
    HGLOBAL block = GlobalAlloc(GHND, offsetof(TW_ARRAY, ItemList) + size_t(count) * ItemSize(type));
    auto *array = block ? static_cast<TW_ARRAY *>(GlobalLock(block)) : nullptr;
    if (!array) return GlobalFree(block), Fail(TWCC_LOWMEMORY);
    array->ItemType = type;
    array->NumItems = count;
    for (TW_UINT32 k = 0; k < count; ++k) {
        char *item = reinterpret_cast<char *>(array->ItemList) + size_t(k) * ItemSize(type);
        const TW_UINT16 cap = TW_UINT16(k ? 0x8000 + k - 1 : CAP_SUPPORTEDCAPS);
        const size_t digits = listing ? 0 : size_t(snprintf(item, sizeof(TW_STR255), "%u", k));
        if (listing) memcpy(item, &cap, 2);
        else if (digits < length) memset(item + digits, '.', length - digits);
    }
    GlobalUnlock(block);
    request->ConType = TWON_ARRAY;
    request->hContainer = block;
    if (!listing && g.settings.Get("hog") && g.hogged.empty()) Hog();
    return TWRC_SUCCESS;
}

TW_UINT16 CapabilityMsg(TW_UINT16 message, TW_CAPABILITY *request) {
    if (CarriesNoContainer(message) && request->ConType != TWON_DONTCARE16) return Fail(TWCC_CAPBADOPERATION);
    if (g.settings.Get("bigcaps")) return BigCapabilityMsg(message, request);
    const Capability *cap = FindCapability(request->Cap);
    if (!cap) return Fail(TWCC_CAPUNSUPPORTED);
    switch (message) {
    case MSG_SET: {
        if (!cap->set || request->ConType != TWON_ONEVALUE || !request->hContainer) return Fail(TWCC_CAPBADOPERATION);
        auto *one = static_cast<TW_ONEVALUE *>(GlobalLock(request->hContainer));
        bool taken = one && cap->set(one->Item);
        GlobalUnlock(request->hContainer);
        return taken ? TWRC_SUCCESS : Fail(TWCC_BADVALUE);
    }
    case MSG_RESET:
        if (cap->set) cap->set(cap->defaultValue);
        [[fallthrough]];
    case MSG_GET:
        if (cap->cap == CAP_SUPPORTEDCAPS) {
            request->ConType = TWON_ARRAY;
            request->hContainer = SupportedCapsArray();
            return TWRC_SUCCESS;
        }
        [[fallthrough]];
    case MSG_GETCURRENT:
    case MSG_GETDEFAULT:
        request->ConType = TWON_ONEVALUE;
        request->hContainer = OneValue(cap->itemType, message == MSG_GETDEFAULT && cap->set ? cap->defaultValue : cap->current());
        return TWRC_SUCCESS;
    case MSG_QUERYSUPPORT:
        request->ConType = TWON_ONEVALUE;
        request->hContainer = OneValue(TWTY_INT32, TWQC_GET | TWQC_GETCURRENT | TWQC_GETDEFAULT |
                                                       (cap->set ? TWQC_SET | TWQC_RESET : 0));
        return TWRC_SUCCESS;
    default: return Fail(TWCC_BADPROTOCOL);
    }
}

// ---- the session

void Tell(TW_UINT16 message) {
    HMODULE manager = GetModuleHandleA("TWAIN_32.DLL");
    if (!manager) manager = GetModuleHandleA("TWAINDSM.DLL");
    auto entry = manager ? reinterpret_cast<DSMENTRYPROC>(reinterpret_cast<void *>(GetProcAddress(manager, "DSM_Entry")))
                         : nullptr;
    if (entry) entry(&g.identity, &g.application, DG_CONTROL, DAT_NULL, message, nullptr);
}

void FillIdentity(TW_IDENTITY *identity) {
    *identity = MakeIdentity(0, {1, 0, "Test 1.0", 1, 9, "QX Tests", "QX Tests", "QX Test Source"});
}

TW_UINT16 Open(TW_IDENTITY *origin, TW_IDENTITY *given) {
    g = Source{};
    g.settings = ReadSettings();
    randomfields::Start(&g.settings.values);
    g.application = *origin;
    FillIdentity(&g.identity);
    if (given) g.identity.Id = given->Id;
    g.pixelType = uint32_t(g.settings.Get("pixeltype", TWPT_GRAY));
    g.bits = uint32_t(g.settings.Get("bits", 8));
    g.width = uint32_t(g.settings.Get("width", 16));
    g.height = uint32_t(g.settings.Get("height", 8));
    g.flavor = TW_UINT16(g.settings.Get("flavor", TWPF_CHOCOLATE));
    g.state = 4;
    return TWRC_SUCCESS;
}

// The frame about to be transferred is the one to cancel.
bool CancelsNow() { return g.settings.Get("cancel") == g.frame + 1; }

TW_UINT16 Control(TW_IDENTITY *origin, TW_UINT16 dat, TW_UINT16 msg, TW_MEMREF data) {
    switch (dat) {
    case DAT_IDENTITY:
        if (msg == MSG_GET) return FillIdentity(static_cast<TW_IDENTITY *>(data)), TWRC_SUCCESS;
        if (msg == MSG_OPENDS) return Open(origin, static_cast<TW_IDENTITY *>(data));
        if (msg == MSG_CLOSEDS) {
            for (void *range : std::exchange(g.hogged, {})) VirtualFree(range, 0, MEM_RELEASE);
            return g.state = 3, TWRC_SUCCESS;
        }
        break;
    case DAT_STATUS:
        static_cast<TW_STATUS *>(data)->ConditionCode = g.condition;
        g.condition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
    case DAT_EVENT:
        static_cast<TW_EVENT *>(data)->TWMessage = MSG_NULL;
        return TWRC_NOTDSEVENT;
    case DAT_CAPABILITY: return CapabilityMsg(msg, static_cast<TW_CAPABILITY *>(data));
    case DAT_USERINTERFACE:
        if (msg == MSG_ENABLEDS) {
            uint32_t frames = uint32_t(g.settings.Get("frames", 1));
            g.pending = g.xferCount > 0 && uint32_t(g.xferCount) < frames ? g.xferCount : frames;
            g.state = 6;
            Tell(MSG_XFERREADY);
            return TWRC_SUCCESS;
        }
        if (msg == MSG_DISABLEDS) return g.state = 4, TWRC_SUCCESS;
        break;
    case DAT_SETUPMEMXFER: {
        const uint32_t bytes = uint32_t(g.settings.Get("bufferbytes", BufferBytes()));
        *static_cast<TW_SETUPMEMXFER *>(data) = {bytes, bytes, bytes};
        randomfields::SetupMemXfer(static_cast<TW_SETUPMEMXFER *>(data));
        return TWRC_SUCCESS;
    }
    case DAT_PENDINGXFERS: {
        auto *xfers = static_cast<TW_PENDINGXFERS *>(data);
        if (msg == MSG_ENDXFER && g.pending) --g.pending, ++g.frame;
        if (msg == MSG_RESET) g.pending = 0;
        g.nextStrip = 0;
        g.state = g.pending ? 6 : 5;
        xfers->Count = TW_UINT16(g.pending);
        return TWRC_SUCCESS;
    }
    default: break;
    }
    return Fail(TWCC_BADPROTOCOL);
}

TW_UINT16 Image(TW_UINT16 dat, TW_MEMREF data) {
    switch (dat) {
    case DAT_IMAGEINFO: {
        TW_IMAGEINFO info = {{72, 0}, {72, 0}, TW_INT32(g.width), TW_INT32(g.height), TW_INT16(Samples()), {}, TW_INT16(g.bits),
                             FALSE, TW_INT16(g.pixelType), TW_UINT16(g.settings.Get("compression"))};
        for (uint32_t k = 0; k < Samples(); ++k) info.BitsPerSample[k] = TW_INT16(BitsPerSample());
        randomfields::ImageInfo(&info);
        *static_cast<TW_IMAGEINFO *>(data) = info;
        return TWRC_SUCCESS;
    }
    case DAT_IMAGELAYOUT: {
        TW_IMAGELAYOUT layout = {{{0, 0}, {0, 0}, {TW_INT16(g.width), 0}, {TW_INT16(g.height), 0}}, 1, 1, g.frame + 1};
        *static_cast<TW_IMAGELAYOUT *>(data) = layout;
        return TWRC_SUCCESS;
    }
    case DAT_PALETTE8: {
        if (g.pixelType != TWPT_PALETTE) return Fail(TWCC_BADPROTOCOL);
        TW_PALETTE8 *palette = static_cast<TW_PALETTE8 *>(data);
        palette->NumColors = TW_UINT16(1u << g.bits);
        palette->PaletteType = TWPA_RGB;
        for (uint32_t i = 0; i < palette->NumColors; ++i) {
            testsource::Colour c = testsource::PaletteColour(i);
            palette->Colors[i] = {TW_UINT8(i), c.r, c.g, c.b};
        }
        randomfields::Palette(palette);
        return TWRC_SUCCESS;
    }
    case DAT_IMAGENATIVEXFER:
        if (g.state != 6) return Fail(TWCC_SEQERROR);
        *static_cast<TW_HANDLE *>(data) = nullptr;
        if (CancelsNow()) return g.state = 7, TWRC_CANCEL;
        g.state = 7;
        return NativeTransfer(static_cast<TW_HANDLE *>(data));
    case DAT_IMAGEMEMXFER:
        if (g.state != 6 && g.state != 7) return Fail(TWCC_SEQERROR);
        if (CancelsNow()) return g.state = 7, TWRC_CANCEL;
        if (randomfields::EmptyStrip(static_cast<TW_IMAGEMEMXFER *>(data), g.frame)) return g.state = 7, TWRC_SUCCESS;
        return randomfields::Strip(static_cast<TW_IMAGEMEMXFER *>(data), MemoryTransfer(static_cast<TW_IMAGEMEMXFER *>(data)));
    default: break;
    }
    return Fail(TWCC_BADPROTOCOL);
}

}  // namespace

extern "C" TW_UINT16 TW_CALLINGSTYLE DS_Entry(TW_IDENTITY *origin, TW_UINT32 group, TW_UINT16 dat, TW_UINT16 msg,
                                              TW_MEMREF data) {
    if (!data && !(dat == DAT_IDENTITY && msg == MSG_CLOSEDS)) return Fail(TWCC_BADVALUE);
    if (group == DG_CONTROL) return Control(origin, dat, msg, data);
    if (group == DG_IMAGE) return Image(dat, data);
    return Fail(TWCC_BADPROTOCOL);
}
