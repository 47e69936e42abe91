#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "acquire.h"

void PrintUsage() {
    printf(
        "usage: qxacquire [options]\n"
        "Acquires images from a TWAIN source through the TWAIN Source Manager.\n"
        "\n"
        "  --list               list the sources the Source Manager knows, and stop\n"
        "  --source NAME        the source with this product name (default: the\n"
        "                       Source Manager's default source)\n"
        "  --dsm PATH           the Source Manager to load (default: TWAINDSM.DLL,\n"
        "                       else TWAIN_32.DLL)\n"
        "  --caps               print the source's capabilities as a table\n"
        "  --json               with --caps: print them as JSON\n"
        "  --set CAP=VALUE      set a capability, by name or number, to a value name or\n"
        "                       number (e.g. --set ICAP_PIXELTYPE=TWPT_GRAY); repeatable\n"
        "  --mech MECH          native, memory or file transfer (default native)\n"
        "  --count N            frames to acquire (default 1)\n"
        "  --ui                 show the source's dialog; acquire when the user presses\n"
        "                       Acquire\n"
        "  --out DIR            folder for the images (default out)\n"
        "  --format FORMAT      png, bmp or tiff (default png)\n"
        "  --verbose            print every TWAIN call and its result\n"
        "  --version            print the version\n"
        "  --help               print this text\n"
        "\n"
        "--list and --caps alone only report; with --mech, --count, --ui or --set frames\n"
        "are acquired as well.\n"
        "Exit status: 0 success, 1 the source refused or failed, 2 bad command line,\n"
        "3 cancelled by the user, 4 no Source Manager or no such source.\n");
}

namespace {

bool ParseCount(const char *text, uint32_t *count) {
    char *end = nullptr;
    unsigned long parsed = strtoul(text, &end, 10);
    if (end == text || *end != 0 || parsed == 0 || parsed > 100000) return false;
    *count = static_cast<uint32_t>(parsed);
    return true;
}

bool ParseMechanism(const std::string &text, Mechanism *mechanism) {
    if (text == "native") *mechanism = Mechanism::Native;
    else if (text == "memory") *mechanism = Mechanism::Memory;
    else if (text == "file") *mechanism = Mechanism::File;
    else return false;
    return true;
}

bool ParseSetting(const std::string &text, std::vector<CapabilitySetting> *settings) {
    size_t equals = text.find('=');
    if (equals == 0 || equals == std::string::npos || equals + 1 == text.size()) return false;
    settings->push_back({text.substr(0, equals), text.substr(equals + 1)});
    return true;
}

constexpr const char *ValueOptions[] = {"--dsm", "--source", "--set",    "--mech",
                                        "--count", "--out",  "--format", "--screenshot"};

}  // namespace

bool ParseOptions(int argc, char **argv, Options *options) {
    bool acquisitionAsked = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        bool needsValue = false;
        for (const char *name : ValueOptions) needsValue |= arg == name;
        if (needsValue && i + 1 >= argc) {
            printf("error: %s needs a value\n", arg.c_str());
            return false;
        }
        std::string value = needsValue ? argv[++i] : "";
        bool ok = true;
        if (arg == "--list") options->list = true;
        else if (arg == "--caps") options->caps = true;
        else if (arg == "--json") options->json = true;
        else if (arg == "--verbose" || arg == "-v") options->verbose = true;
        else if (arg == "--ui") options->ui = acquisitionAsked = true;
        else if (arg == "--dsm") options->dsmPath = value;
        else if (arg == "--source") options->sourceName = value;
        else if (arg == "--out") options->outFolder = value;
        else if (arg == "--screenshot") options->screenshot = value, options->ui = acquisitionAsked = true;
        else if (arg == "--set") ok = ParseSetting(value, &options->settings), acquisitionAsked = true;
        else if (arg == "--mech") ok = ParseMechanism(value, &options->mechanism), acquisitionAsked = true;
        else if (arg == "--count") ok = ParseCount(value.c_str(), &options->count), acquisitionAsked = true;
        else if (arg == "--format") ok = qximg::ImageFormatFromName(value, &options->format);
        else ok = false;
        if (!ok) {
            printf("error: bad option: %s%s%s\n", arg.c_str(), needsValue ? " " : "", value.c_str());
            return false;
        }
    }
    if (options->json && !options->caps) {
        printf("error: --json goes with --caps\n");
        return false;
    }
    options->acquire = acquisitionAsked || (!options->list && !options->caps);
    return true;
}
