#include "random_fields.h"

#include <cstdlib>
#include <cstring>
#include <iterator>

#include "parse_number.h"

namespace randomfields {

namespace {

// Where lies go; each place lies at a rate drawn per seed, often never.
enum Place { InHeader, InMasks, InBlock, InInfo, InSetup, InPalette, InStrip, Empty, Endless, Places };

struct Draws {
    bool active = false;
    uint64_t state = 0;
    uint32_t liesPerMille[Places] = {};
    uint32_t frame = 0;  // 1 + the frame whose strips are going
    bool stalls = false, endless = false;
} r;

uint64_t Next() {  // splitmix64
    uint64_t z = (r.state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

uint32_t Below(uint32_t n) { return n ? uint32_t(Next() % n) : 0; }
bool Lies(Place place) { return r.active && Below(1000) < r.liesPerMille[place]; }

// A number of any magnitude, edges likely: 2^k - 1, 2^k, 2^k + 1, 0, ~0, ~1, or bits below 2^(k+1).
uint32_t Wild() {
    const uint32_t power = uint32_t(1) << Below(32);
    switch (Below(5)) {
    case 0: return power - 1;
    case 1: return power;
    case 2: return power + 1;
    case 3: return 0u - Below(3);
    default: return uint32_t(Next()) & (power * 2 - 1);
    }
}

// The field as it is, or now and then a lie: near the truth or anywhere.
template <class T>
T Maybe(Place place, T truth) {
    if (!Lies(place)) return truth;
    return T(Below(2) ? Wild() : uint32_t(truth) + Below(9) - 4);
}

// Each field as it is, or now and then a lie.
template <class... Fields>
void MaybeEach(Place place, Fields &...fields) {
    ((fields = Maybe(place, fields)), ...);
}

uint32_t Size() { return 1 + Below(Below(8) ? 64 : 1200); }

}  // namespace

void Start(std::map<std::string, std::string> *settings) {
    r = Draws{};
    auto seed = settings->find("random");
    if (seed == settings->end()) return;
    r.active = true;
    uint32_t seedValue = 0;
    ParseNumber(seed->second, &seedValue);
    r.state = seedValue;
    constexpr uint32_t Rates[] = {0, 0, 0, 20, 100, 330};
    for (uint32_t &rate : r.liesPerMille) rate = Rates[Below(std::size(Rates))];
    // Pixel types and depths the source draws right, for both transfers or one of them.
    constexpr uint32_t Forms[][2] = {{TWPT_BW, 1}, {TWPT_GRAY, 4}, {TWPT_GRAY, 8}, {TWPT_GRAY, 16},
                                     {TWPT_PALETTE, 1}, {TWPT_PALETTE, 4}, {TWPT_PALETTE, 8}, {TWPT_RGB, 16},
                                     {TWPT_RGB, 24}, {TWPT_RGB, 32}, {TWPT_RGB, 48}};
    const uint32_t *form = Forms[Below(std::size(Forms))], width = Size(), height = Size();
    auto set = [settings](const char *key, uint32_t value) { (*settings)[key] = std::to_string(value); };
    set("pixeltype", form[0]);
    set("bits", form[1]);
    set("width", width);
    set("height", height);
    set("flavor", Below(4) == 0);
    set("section", Below(3) == 0);
    set("topdown", Below(2));
    set("bitfields", Below(2));
    set("pad", Below(3) ? 0 : Below(8));
    set("tile", Below(3) ? 0 : 8 * (1 + Below(width / 8 + 1)));
    set("striprows", 1 + Below(height + 1));
}

void Masks(BITMAPINFOHEADER *header) {
    if (!r.active || header->biCompression != BI_BITFIELDS) return;
    DWORD masks[3];
    memcpy(masks, header + 1, sizeof masks);
    for (DWORD &mask : masks)
        if (Lies(InMasks)) mask = Below(2) ? Wild() : ((2u << Below(16)) - 1) << Below(17);  // or one run of ones
    memcpy(header + 1, masks, sizeof masks);
}

void Header(BITMAPINFOHEADER *h, size_t size, size_t *blockBytes) {
    MaybeEach(InHeader, h->biSize, h->biWidth, h->biHeight, h->biBitCount, h->biCompression, h->biClrUsed);
    // Cut within the header, short of the rows, or longer than the bitmap.
    if (Lies(InBlock)) *blockBytes = Below(3) == 0 ? Below(sizeof *h) : Below(2) ? Below(uint32_t(size)) : size + Below(65536);
}

void ImageInfo(TW_IMAGEINFO *i) {
    MaybeEach(InInfo, i->ImageWidth, i->ImageLength, i->SamplesPerPixel, i->BitsPerSample[0], i->BitsPerPixel,
              i->Planar, i->PixelType, i->Compression);
}

void SetupMemXfer(TW_SETUPMEMXFER *s) {
    MaybeEach(InSetup, s->MinBufSize, s->MaxBufSize, s->Preferred);
}

void Palette(TW_PALETTE8 *palette) {
    MaybeEach(InPalette, palette->NumColors, palette->PaletteType);
}

bool EmptyStrip(TW_IMAGEMEMXFER *x, uint32_t frame) {
    if (!r.active) return false;
    if (r.frame != frame + 1) {
        r.frame = frame + 1;
        r.stalls = Lies(Empty) && Below(3) == 0;
        r.endless = Lies(Endless);
    }
    if (!r.stalls && !Lies(Empty)) return false;
    // No bytes, and no rows or no columns.
    x->Compression = TWCP_NONE;
    x->BytesPerRow = x->XOffset = x->YOffset = x->BytesWritten = 0;
    x->Rows = Below(2) ? 0 : Wild();
    x->Columns = x->Rows ? 0 : Wild();
    return true;
}

TW_UINT16 Strip(TW_IMAGEMEMXFER *x, TW_UINT16 result) {
    if (!r.active || (result != TWRC_SUCCESS && result != TWRC_XFERDONE)) return result;
    MaybeEach(InStrip, x->Compression, x->BytesPerRow, x->Columns, x->Rows, x->XOffset, x->YOffset,
              x->BytesWritten);
    return result == TWRC_XFERDONE && r.endless ? TWRC_SUCCESS : result;
}

}  // namespace randomfields
