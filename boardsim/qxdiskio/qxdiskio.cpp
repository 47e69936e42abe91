// QXDiskIO.dll: QXIOWriteSingle writes one image as BMP, or as TIFF when the
// name ends in .tif or .tiff; QXIOErrorShow explains its error codes.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "board/maker_api.h"
#include "image_file.h"
#include "sim_core.h"

namespace {

// The largest file written: the files' 32-bit size fields, read signed by
// many programs, stop at 2 GB.
constexpr uint64_t LargestFile = 0x7FFFFFFF;

struct ErrorText {
    uint32_t code;
    const char *text;
};

constexpr ErrorText ErrorTexts[] = {
    {QXIO_NO_NAME, "No file name was given for the image."},
    {QXIO_NO_PIXELS, "No image data was given to write."},
    {QXIO_NO_SIZE, "The image to write has no width or no height."},
    {QXIO_BAD_DEPTH,
     "The image's bit depth cannot be written; 8, 10 to 16, 24 and 32 bits per pixel can."},
    {QXIO_CANNOT_CREATE, "The image file cannot be created. Check the folder and its permissions."},
    {QXIO_CANNOT_WRITE, "The image file cannot be written. The disk may be full."},
    {QXIO_CANNOT_REPLACE,
     "The image file cannot be replaced. It may be in use, read-only, or a folder."},
    {QXIO_TOO_LARGE, "The image is too large to be written to a file."},
};

bool EndsWith(const char *name, const char *suffix) {
    size_t n = strlen(name), m = strlen(suffix);
    return n >= m && _stricmp(name + n - m, suffix) == 0;
}

uint32_t Write(const char *name, const void *pixels, uint32_t width, uint32_t height,
               uint32_t depth) {
    QxsSettings s;
    QxsGetSettings(&s);
    if (s.writeResult != 0) return s.writeResult;
    if (!name || !*name) return QXIO_NO_NAME;
    if (!pixels) return QXIO_NO_PIXELS;
    if (width == 0 || height == 0) return QXIO_NO_SIZE;
    if (SampleBytes(depth) == 0) return QXIO_BAD_DEPTH;
    PackedImage image = {static_cast<const uint8_t *>(pixels), width, height, depth};
    try {
        bool tiff = EndsWith(name, ".tif") || EndsWith(name, ".tiff");
        FileLayout layout = tiff ? TiffLayout(image) : BmpLayout(image);
        if (layout.fileBytes > LargestFile) return QXIO_TOO_LARGE;
        return WriteFileSafely(name, layout, image);
    } catch (const std::bad_alloc &) {
        return QXIO_TOO_LARGE;
    }
}

}  // namespace

extern "C" uint32_t QXIOWriteSingle(const char *fileName, const void *pixels, uint32_t width,
                                    uint32_t height, uint32_t bitDepth, uint32_t flags) {
    return QxsEndCall(Write(fileName, pixels, width, height, bitDepth),
                      "QXIOWriteSingle %s %u %u %u %u", fileName ? fileName : "", width, height,
                      bitDepth, flags);
}

extern "C" uint32_t QXIOErrorShow(uint32_t code) {
    char text[160];
    snprintf(text, sizeof text, "The image file could not be written (error %u).", code);
    for (const ErrorText &e : ErrorTexts)
        if (e.code == code) snprintf(text, sizeof text, "%s", e.text);
    MessageBoxA(GetActiveWindow(), text, "Quorvex Error", MB_OK);
    return QxsEndCall(0, "QXIOErrorShow %u", code);
}
