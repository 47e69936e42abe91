// DAT_IMAGEINFO: the image about to be transferred, from the board's frame
// size and the current capability values.
#include "cap/capability_table.h"
#include "ds/errors.h"
#include "ds/operations.h"
#include "ds/source_context.h"
#include "xfer/fix32.h"
#include "xfer/frame.h"

namespace {

// TWAIN's "resolution not stated".
constexpr float UNSTATED_RESOLUTION = -1.0f;
constexpr TW_INT16 COLOUR_BITS = 24;
constexpr TW_INT16 COLOUR_SAMPLES = 3;
constexpr TW_INT16 COLOUR_BITS_PER_SAMPLE = 8;
// Four samples of 8 bits are stated for colour although three are delivered.
constexpr int COLOUR_SAMPLE_ENTRIES = 4;

TW_UINT16 Fail(TW_UINT16 code) { return FailOperation(OperationText::ImageInfo, code); }

}  // namespace

TW_UINT16 ImageInfoMsg(const OperationRequest *request) {
    if (g_source.sourceState != STATE_READY) return Fail(TWCC_SEQERROR);
    if (request->message != MSG_GET) return Fail(TWCC_BADPROTOCOL);
    auto *info = static_cast<TW_IMAGEINFO *>(request->data);
    if (!info) return FailMissingData();

    info->XResolution = info->YResolution = Fix32From(UNSTATED_RESOLUTION);
    FrameGeometry frame = ReadFrameGeometry({KV_IMAGE_WIDTH, KV_IMAGE_HEIGHT});
    info->ImageWidth = static_cast<TW_INT32>(frame.width);
    info->ImageLength = static_cast<TW_INT32>(frame.height);
    info->PixelType = static_cast<TW_INT16>(CurrentPixelType());
    info->BitsPerPixel = static_cast<TW_INT16>(CurrentBitDepthFor(info->PixelType));
    info->Planar = FALSE;
    info->Compression = TWCP_NONE;
    for (TW_INT16 &bits : info->BitsPerSample) bits = 0;
    if (info->BitsPerPixel >= COLOUR_BITS) {
        info->SamplesPerPixel = COLOUR_SAMPLES;
        for (int i = 0; i < COLOUR_SAMPLE_ENTRIES; ++i)
            info->BitsPerSample[i] = COLOUR_BITS_PER_SAMPLE;
    } else {
        info->SamplesPerPixel = 1;
        info->BitsPerSample[0] = info->BitsPerPixel;
    }
    return TWRC_SUCCESS;
}
