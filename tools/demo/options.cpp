#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "demo.h"

namespace {

bool ParseNumber(const char *text, uint32_t *value) {
    char *end = nullptr;
    unsigned long parsed = strtoul(text, &end, 10);
    if (end == text || *end != 0 || parsed == 0 || parsed > 65535) return false;
    *value = static_cast<uint32_t>(parsed);
    return true;
}

bool ParseSize(const char *text, uint32_t *width, uint32_t *height) {
    const char *x = strchr(text, 'x');
    if (!x) return false;
    std::string w(text, x - text);
    return ParseNumber(w.c_str(), width) && ParseNumber(x + 1, height);
}

bool ParseDepth(const char *text, uint32_t *depth) {
    constexpr uint32_t Depths[] = {8, 10, 12, 14, 24, 32};
    if (!ParseNumber(text, depth)) return false;
    for (uint32_t d : Depths)
        if (d == *depth) return true;
    return false;
}

}  // namespace

void PrintUsage() {
    printf(
        "usage: qxdemo [options]\n"
        "  --depth N           board bit depth: 8, 10, 12, 14, 24 or 32 (default 8)\n"
        "  --size WxH          board image size (default 640x480)\n"
        "  --out file.bmp      where the image goes (default qxdemo.bmp)\n"
        "  --memory            memory transfer, in strips\n"
        "  --file              file transfer, written by the source\n"
        "  --interactive       enable with the source's dialog: Acquire, Preview, Cancel\n"
        "  --screenshot name   scripted dialog: start the preview, leave name.ready and wait\n"
        "                      until it is removed (a screenshot is taken meanwhile), stop\n"
        "                      the preview, acquire one frame, cancel\n");
}

bool ParseOptions(int argc, char **argv, DemoOptions *options) {
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        const char *value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool needsValue = !strcmp(arg, "--depth") || !strcmp(arg, "--size") ||
                          !strcmp(arg, "--out") || !strcmp(arg, "--screenshot");
        if (needsValue && !value) {
            fprintf(stderr, "%s needs a value\n", arg);
            return false;
        }
        bool ok = true;
        if (!strcmp(arg, "--depth"))
            ok = ParseDepth(value, &options->depth);
        else if (!strcmp(arg, "--size"))
            ok = ParseSize(value, &options->width, &options->height);
        else if (!strcmp(arg, "--out"))
            options->out = value;
        else if (!strcmp(arg, "--screenshot"))
            options->screenshot = value;
        else if (!strcmp(arg, "--memory"))
            options->transfer = TransferKind::Memory;
        else if (!strcmp(arg, "--file"))
            options->transfer = TransferKind::File;
        else if (!strcmp(arg, "--interactive"))
            options->interactive = true;
        else
            ok = false;
        if (!ok) {
            fprintf(stderr, "bad option: %s%s%s\n", arg, needsValue ? " " : "",
                    needsValue ? value : "");
            return false;
        }
        if (needsValue) ++i;
    }
    if (!options->screenshot.empty()) options->interactive = true;
    return true;
}
