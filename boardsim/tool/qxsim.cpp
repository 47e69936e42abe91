// qxsim: the simulated board's configuration tool.
//   qxsim check FILE          every bad line of FILE: number, key, reason
//   qxsim show                the configuration a process would load now, and from where
//   qxsim snap OUT.png [N]    frame N (default 0) of that configuration as an image
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "parse_number.h"
#include "sim_core.h"
#include "wic_image.h"

namespace {

constexpr char Usage[] =
    "usage: qxsim check FILE        lists every bad line of a board configuration\n"
    "       qxsim show              prints the configuration a process would load now\n"
    "       qxsim snap OUT.png [N]  writes frame N (default 0) of it as PNG, BMP or TIFF\n";

int Check(const char *path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        fprintf(stderr, "qxsim: cannot read %s\n", path);
        return 2;
    }
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    struct Context {
        const char *path;
    } context{path};
    int bad = QxsCheckConfig(
        text.c_str(),
        [](void *c, int line, const char *key, const char *reason) {
            printf("%s: line %d: %s%s%s\n", static_cast<Context *>(c)->path, line, key,
                   *key ? ": " : "", reason);
        },
        &context);
    if (bad == 0) printf("%s: no bad lines\n", path);
    return bad == 0 ? 0 : 1;
}

int Show() {
    char origin[1024], text[8192];
    QxsConfigOrigin(origin, sizeof origin);
    QxsFormatConfig(text, sizeof text);
    printf("# from %s\n%s", origin, text);
    return 0;
}

// The frame as one of the layouts the image writer takes; grey deeper than 8
// bits is 16-bit grey of the board's depth in significant bits.
bool Layout(const QxsSettings &s, qximg::PixelLayout *layout, uint32_t *significantBits) {
    const uint32_t bpp = s.bytesPerPixel;
    *significantBits = 16;
    if (s.depth >= 24) {
        *layout = bpp == 3 ? qximg::PixelLayout::Bgr24 : qximg::PixelLayout::Bgrx32;
        return bpp >= 3;
    }
    *layout = bpp == 1 ? qximg::PixelLayout::Gray8 : qximg::PixelLayout::Gray16;
    if (bpp == 2) *significantBits = s.depth;
    return bpp <= 2 && (bpp == 2 || s.depth == 8);
}

int Snap(const std::string &out, uint32_t n) {
    qximg::ImageFormat format;
    size_t dot = out.find_last_of('.');
    if (dot == std::string::npos || !qximg::ImageFormatFromName(out.substr(dot + 1), &format)) {
        fprintf(stderr, "qxsim: %s must end in .png, .bmp, .tif or .tiff\n", out.c_str());
        return 2;
    }
    QxsSettings s;
    QxsGetSettings(&s);
    std::vector<uint8_t> frame(std::max<size_t>(s.imageBytes, size_t(s.lineBytes) * s.height), 0);
    QxsFillFrame(frame.data(), s.imageBytes, n);
    qximg::PixelLayout layout;
    uint32_t significantBits;
    if (!Layout(s, &layout, &significantBits)) {
        fprintf(stderr, "qxsim: a colour frame of %u bytes per pixel cannot be written\n",
                s.bytesPerPixel);
        return 1;
    }
    std::string error;
    if (!qximg::WriteImage(out, format, layout, s.width, s.height, frame.data(), s.lineBytes, &error,
                           significantBits)) {
        fprintf(stderr, "qxsim: %s\n", error.c_str());
        return 1;
    }
    printf("%s: frame %u, %ux%u, %u bits\n", out.c_str(), n, s.width, s.height, s.depth);
    return 0;
}

}  // namespace

int main(int argc, char **argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "check" && argc == 3) return Check(argv[2]);
    if (command == "show" && argc == 2) return Show();
    uint32_t frame = 0;
    if (command == "snap" && (argc == 3 || (argc == 4 && ParseNumber(argv[3], &frame))))
        return Snap(argv[2], frame);
    fputs(Usage, stderr);
    return 2;
}
