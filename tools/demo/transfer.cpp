// One image, by the transfer the options chose, then MSG_ENDXFER.
#include <cstdio>
#include <cstring>
#include <vector>

#include "demo.h"

namespace {

double Fix(TW_FIX32 value) { return value.Whole + value.Frac / 65536.0; }

void PrintImageInfo(const TW_IMAGEINFO &info) {
    printf(
        "      %d x %d pixels, %.1f x %.1f dpi, %d samples, bits per sample %d, "
        "%d bits per pixel, pixel type %d, planar %u, compression %u\n",
        info.ImageWidth, info.ImageLength, Fix(info.XResolution), Fix(info.YResolution),
        info.SamplesPerPixel, info.BitsPerSample[0], info.BitsPerPixel, info.PixelType, info.Planar,
        info.Compression);
}

bool NativeTransfer(const std::string &name) {
    Step("native transfer");
    // Win64: the source hands over a pointer-sized handle; all 8 bytes are read.
    TW_HANDLE handle = nullptr;
    TW_UINT16 result = Call(&g_demo.source, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &handle);
    if (result != TWRC_XFERDONE) return Fail("the native transfer did not complete");
    if (!handle) return Fail("the source handed over no bitmap");
    Step("bitmap handle %p, %zu bytes of global memory", handle,
         static_cast<size_t>(GlobalSize(handle)));
    bool written = WriteDibFile(name, handle);
    GlobalFree(handle);
    return written && CheckBmpFile(name);
}

uint32_t StripBufferSize(const TW_SETUPMEMXFER &setup) {
    // Several strips rather than one: an eighth of the image, whole minimum buffers.
    uint32_t minimum = setup.MinBufSize ? setup.MinBufSize : 1;
    uint32_t wanted = (setup.Preferred ? setup.Preferred : setup.MaxBufSize) / 8;
    uint32_t size = wanted / minimum * minimum;
    if (size < minimum) size = minimum;
    if (setup.MaxBufSize && size > setup.MaxBufSize) size = setup.MaxBufSize;
    return size;
}

// The strips' pixels as bitmap rows: grey 8 bits, deep grey reduced, RGB to BGR.
// Bits that deep grey samples actually use: the source reports 16 bits a
// pixel for every deep board, whose samples hold 10, 12 or 14.
int SignificantBits(const std::vector<uint8_t> &image, uint32_t bytesPerRow, uint32_t columns,
                    uint32_t rows) {
    unsigned highest = 0;
    for (uint32_t y = 0; y < rows; ++y)
        for (uint32_t x = 0; x < columns; ++x) {
            const uint8_t *sample = image.data() + size_t(y) * bytesPerRow + 2 * x;
            highest |= sample[0] | sample[1] << 8;
        }
    int bits = 8;
    while (bits < 16 && (highest >> bits)) ++bits;
    return bits;
}

bool WriteStrips(const std::string &name, const std::vector<uint8_t> &image, uint32_t bytesPerRow,
                 uint32_t columns, uint32_t rows) {
    uint32_t pixelBytes = columns ? bytesPerRow / columns : 0;
    if (pixelBytes == 1) return WriteBmpFile(name, columns, rows, 8, image.data(), bytesPerRow);
    if (pixelBytes != 2 && pixelBytes != 3 && pixelBytes != 4)
        return Fail("strips of %u bytes a pixel are not written", pixelBytes);
    uint32_t outBytes = pixelBytes == 2 ? 1 : 3;
    int shift = 0;
    if (pixelBytes == 2) {
        int bits = SignificantBits(image, bytesPerRow, columns, rows);
        Step("grey samples use %d bits; written as 8", bits);
        shift = bits - 8;
    }
    std::vector<uint8_t> converted(size_t(columns) * rows * outBytes);
    for (uint32_t y = 0; y < rows; ++y) {
        const uint8_t *in = image.data() + size_t(y) * bytesPerRow;
        uint8_t *out = converted.data() + size_t(y) * columns * outBytes;
        for (uint32_t x = 0; x < columns; ++x, in += pixelBytes, out += outBytes) {
            if (pixelBytes == 2) {
                out[0] = static_cast<uint8_t>((in[0] | in[1] << 8) >> shift);
            } else {
                out[0] = in[2];
                out[1] = in[1];
                out[2] = in[0];
            }
        }
    }
    return WriteBmpFile(name, columns, rows, outBytes * 8, converted.data(), columns * outBytes);
}

bool MemoryTransfer(const std::string &name) {
    Step("memory transfer");
    TW_SETUPMEMXFER setup = {};
    if (Call(&g_demo.source, DG_CONTROL, DAT_SETUPMEMXFER, MSG_GET, &setup) != TWRC_SUCCESS)
        return Fail("the source gave no buffer sizes");
    uint32_t size = StripBufferSize(setup);
    Step("buffer sizes: minimum %u, maximum %u, preferred %u; using %u", setup.MinBufSize,
         setup.MaxBufSize, setup.Preferred, size);
    std::vector<uint8_t> buffer(size), image;
    TW_UINT32 bytesPerRow = 0, columns = 0, rows = 0;
    for (unsigned strip = 1;; ++strip) {
        TW_IMAGEMEMXFER xfer = {};
        xfer.Memory = {TWMF_APPOWNS | TWMF_POINTER, size, buffer.data()};
        TW_UINT16 result = Call(&g_demo.source, DG_IMAGE, DAT_IMAGEMEMXFER, MSG_GET, &xfer);
        if (result != TWRC_SUCCESS && result != TWRC_XFERDONE)
            return Fail("strip %u did not come", strip);
        printf("      strip %u: rows %u at line %u, %u bytes a row, %u bytes\n", strip, xfer.Rows,
               xfer.YOffset, xfer.BytesPerRow, xfer.BytesWritten);
        bytesPerRow = xfer.BytesPerRow;
        columns = xfer.Columns;
        size_t end = size_t(xfer.YOffset) * bytesPerRow + xfer.BytesWritten;
        if (xfer.BytesWritten > size) return Fail("the source claims more bytes than the buffer");
        if (image.size() < end) image.resize(end);
        memcpy(image.data() + size_t(xfer.YOffset) * bytesPerRow, buffer.data(), xfer.BytesWritten);
        if (xfer.Rows) rows = xfer.YOffset + xfer.Rows > rows ? xfer.YOffset + xfer.Rows : rows;
        if (result == TWRC_XFERDONE) break;
        if (strip > 1000000) return Fail("the transfer does not end");
    }
    Step("%u rows of %u columns received", rows, columns);
    if (!bytesPerRow || !columns || !rows) return Fail("the strips carried no image");
    return WriteStrips(name, image, bytesPerRow, columns, rows) && CheckBmpFile(name);
}

bool FileTransfer(const std::string &name) {
    Step("file transfer");
    char path[MAX_PATH];
    DWORD n = GetFullPathNameA(name.c_str(), sizeof path, path, nullptr);
    if (n == 0 || n >= sizeof(TW_SETUPFILEXFER::FileName))
        return Fail("bad output name %s", name.c_str());
    // A file left from an earlier run must not pass for this one.
    DeleteFileA(path);
    TW_SETUPFILEXFER setup = {};
    memcpy(setup.FileName, path, n + 1);
    setup.Format = TWFF_BMP;
    if (Call(&g_demo.source, DG_CONTROL, DAT_SETUPFILEXFER, MSG_SET, &setup) != TWRC_SUCCESS)
        return Fail("the source did not take the file name");
    if (Call(&g_demo.source, DG_IMAGE, DAT_IMAGEFILEXFER, MSG_GET, nullptr) != TWRC_XFERDONE)
        return Fail("the file transfer did not complete");
    return CheckBmpFile(path);
}

void EndTransfer() {
    TW_PENDINGXFERS pending = {0, 0};
    if (Call(&g_demo.source, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &pending) != TWRC_SUCCESS) {
        Fail("the transfer did not end");
        return;
    }
    Step("transfers still pending: %u", pending.Count);
    if (pending.Count != 0) Call(&g_demo.source, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &pending);
}

}  // namespace

std::string OutputName() {
    const std::string &out = g_demo.options.out;
    if (g_demo.framesWritten == 0) return out;
    size_t dot = out.find_last_of('.');
    size_t slash = out.find_last_of("\\/");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) dot = out.size();
    return out.substr(0, dot) + "-" + std::to_string(g_demo.framesWritten + 1) + out.substr(dot);
}

bool TransferOneImage() {
    Step("transfer ready: image information");
    TW_IMAGEINFO info = {};
    if (Call(&g_demo.source, DG_IMAGE, DAT_IMAGEINFO, MSG_GET, &info) == TWRC_SUCCESS)
        PrintImageInfo(info);
    std::string name = OutputName();
    bool done = false;
    switch (g_demo.options.transfer) {
        case TransferKind::Native:
            done = NativeTransfer(name);
            break;
        case TransferKind::Memory:
            done = MemoryTransfer(name);
            break;
        case TransferKind::File:
            done = FileTransfer(name);
            break;
    }
    EndTransfer();
    if (done) ++g_demo.framesWritten;
    return done && !g_demo.failed;
}
