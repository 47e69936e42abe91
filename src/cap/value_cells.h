// Where the capability records keep their values: storage that lives as long
// as the module, so what an application set survives a close and reopen.
// Items are in internal form (TWTY_FIX32 as float).
#pragma once

#include <array>

#include "twain.h"

// Value list, default and current of one capability.
template <class T, size_t N> struct CapabilityCells {
    std::array<T, N> list;
    T defaultValue;
    T currentValue;
};

constexpr size_t SUPPORTED_CAPABILITY_COUNT = 17;

struct ValueCells {
    // One list serves as value list, default and current.
    std::array<TW_UINT16, SUPPORTED_CAPABILITY_COUNT> supportedCaps = {
        CAP_SUPPORTEDCAPS, ICAP_XFERMECH,      ICAP_PIXELFLAVOR,  ICAP_PLANARCHUNKY,
        ICAP_COMPRESSION,  ICAP_PHYSICALWIDTH, ICAP_PHYSICALHEIGHT, ICAP_UNITS,
        CAP_DEVICEONLINE,  ICAP_PIXELTYPE,     ICAP_BITDEPTH,     ICAP_BITORDER,
        ICAP_XRESOLUTION,  ICAP_YRESOLUTION,   CAP_XFERCOUNT,     ICAP_IMAGEFILEFORMAT,
        CAP_UICONTROLLABLE};
    CapabilityCells<TW_UINT16, 1> pixelFlavor = {{TWPF_CHOCOLATE}, TWPF_CHOCOLATE, TWPF_CHOCOLATE};
    CapabilityCells<TW_UINT16, 3> xferMech = {
        {TWSX_NATIVE, TWSX_FILE, TWSX_MEMORY}, TWSX_NATIVE, TWSX_NATIVE};
    CapabilityCells<TW_UINT16, 1> planarChunky = {{TWPC_CHUNKY}, TWPC_CHUNKY, TWPC_CHUNKY};
    CapabilityCells<TW_UINT16, 1> compression = {{TWCP_NONE}, TWCP_NONE, TWCP_NONE};
    // Each one cell: value list, default and current. Set from the board.
    float physicalWidth = 0.0f;
    float physicalHeight = 0.0f;
    CapabilityCells<TW_UINT16, 1> units = {{TWUN_PIXELS}, TWUN_PIXELS, TWUN_PIXELS};
    CapabilityCells<TW_BOOL, 2> deviceOnline = {{1, 0}, 1, 1};
    // Bit depth per pixel type; a 10-, 12- or 14-bit board makes grey 16.
    CapabilityCells<TW_UINT16, 2> grayBitDepth = {{8, 16}, 8, 8};
    CapabilityCells<TW_UINT16, 1> rgbBitDepth = {{24}, 24, 24};
    // The one type the board delivers: list, default and current come from
    // the board at every open.
    CapabilityCells<TW_UINT16, 1> pixelType = {{TWPT_GRAY}, TWPT_GRAY, TWPT_GRAY};
    CapabilityCells<TW_UINT16, 1> bitOrder = {{TWBO_MSBFIRST}, TWBO_MSBFIRST, TWBO_MSBFIRST};
    // Shared by ICAP_XRESOLUTION and ICAP_YRESOLUTION.
    CapabilityCells<float, 1> resolution = {{1.0f}, 1.0f, 1.0f};
    CapabilityCells<TW_INT16, 26> xferCount = {
        {-1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23,
         24, 25},
        -1,
        -1};
    CapabilityCells<TW_UINT16, 2> imageFileFormat = {{TWFF_BMP, TWFF_TIFF}, TWFF_BMP, TWFF_BMP};
    CapabilityCells<TW_BOOL, 2> uiControllable = {{1, 0}, 1, 1};
};
