// The command line: one table of options, read by the parser and printed by --help.
#include <cstdio>
#include <iterator>

#include "acquire.h"

namespace {

bool ParseCount(Options *o, const std::string &text) {
    TW_UINT32 count = 0;
    if (!ParseNumber(text, &count) || count == 0 || count > 100000) return false;
    o->count = count;
    return true;
}

bool ParseBits(Options *o, const std::string &text) {
    TW_UINT32 bits = 0;
    if (!ParseNumber(text, &bits) || bits < 8 || bits > 16) return false;
    o->bits = bits;
    return true;
}

bool ParseSetting(Options *o, const std::string &text) {
    size_t equals = text.find('=');
    if (equals == 0 || equals == std::string::npos || equals + 1 == text.size()) return false;
    o->settings.push_back({text.substr(0, equals), text.substr(equals + 1)});
    return true;
}

void PrintUsage();

// Switches that set one flag.
template <bool Options::*flag>
bool Set(Options *o, const std::string &) {
    o->*flag = true;
    return true;
}

// Options that keep their value as given.
template <std::string Options::*field>
bool Keep(Options *o, const std::string &value) {
    o->*field = value;
    return true;
}

bool AnswerHelp(Options *o, const std::string &) {
    PrintUsage();
    o->answered = true;
    return true;
}

bool AnswerVersion(Options *o, const std::string &) {
    printf("qxacquire %s\n", QX_VERSION);
    o->answered = true;
    return true;
}

struct Option {
    const char *name;
    const char *alias;  // a short name, or nullptr
    const char *value;  // what its value is called; nullptr for a switch
    bool acquires;      // frames are acquired when it is given
    bool answersAlone;  // it answers the run wherever it stands; nothing else is done
    bool (*apply)(Options *, const std::string &);
    const char *help;
};

constexpr Option OptionTable[] = {
    {"--list", nullptr, nullptr, false, false, Set<&Options::list>,
     "list the sources the Source Manager knows, and stop"},
    {"--source", nullptr, "NAME", false, false, Keep<&Options::sourceName>,
     "the source with this product name (default: the\nSource Manager's default source)"},
    {"--dsm", nullptr, "PATH", false, false, Keep<&Options::dsmPath>,
     "the Source Manager to load (default: TWAINDSM.DLL,\nelse TWAIN_32.DLL)"},
    {"--caps", nullptr, nullptr, false, false, Set<&Options::caps>,
     "print the source's capabilities as a table"},
    {"--json", nullptr, nullptr, false, false, Set<&Options::json>,
     "with --caps: print them as JSON"},
    {"--set", nullptr, "CAP=VALUE", true, false, ParseSetting,
     "set a capability, by name or number, to a value name or\nnumber (e.g. --set "
     "ICAP_PIXELTYPE=TWPT_GRAY); repeatable.\nICAP_XFERMECH chooses the transfer"},
    {"--mech", nullptr, "MECH", true, false,
     [](Options *o, const std::string &v) { return o->mechanismGiven = MechanismByWord(v, &o->mechanism); },
     "native, memory or file transfer (default native): the\nsame as --set ICAP_XFERMECH=TWSX_..."},
    {"--count", nullptr, "N", true, false, ParseCount, "frames to acquire (default 1)"},
    {"--ui", nullptr, nullptr, true, false, Set<&Options::ui>,
     "show the source's dialog and acquire from it"},
    {"--out", nullptr, "DIR", false, false, Keep<&Options::outFolder>,
     "folder for the images (default out)"},
    {"--format", nullptr, "FORMAT", false, false,
     [](Options *o, const std::string &v) { return qximg::ImageFormatFromName(v, &o->format); },
     "png, bmp or tiff (default png)"},
    {"--bits", nullptr, "N", false, false, ParseBits,
     "grey samples deeper than 8 bits carry N (8 to 16)\nsignificant bits: 16-bit files get them "
     "scaled to the\nfull range, 8-bit files their top 8"},
    {"--unattended", nullptr, nullptr, false, false, Set<&Options::unattended>,
     "print every box the source shows (\"box: TITLE: TEXT\")\nand close it with its default "
     "button"},
    {"--verbose", "-v", nullptr, false, false, Set<&Options::verbose>,
     "print every TWAIN call and its result"},
    {"--version", nullptr, nullptr, false, true, AnswerVersion, "print the version"},
    {"--help", "-h", nullptr, false, true, AnswerHelp, "print this text"},
};

// What each exit status says.
constexpr Name ExitMeanings[] = {
    {ExitSuccess, "success"},
    {ExitSourceFailed, "the source refused or failed"},
    {ExitBadCommandLine, "bad command line"},
    {ExitCancelled, "cancelled by the user"},
    {ExitNoSource, "no Source Manager or no such source"},
};

const Option *FindOption(const std::string &name) {
    for (const Option &option : OptionTable)
        if (name == option.name || (option.alias && name == option.alias)) return &option;
    return nullptr;
}

bool Usage(const char *format, const char *what) {
    printf("error: ");
    printf(format, what);
    printf("\n");
    return false;
}

// --set ICAP_XFERMECH chooses the transfer as --mech does; the two must agree.
bool ChooseMechanism(Options *options) {
    for (const CapabilitySetting &setting : options->settings) {
        TW_UINT16 cap = 0;
        TW_UINT32 value = 0;
        if (!CapabilityByName(setting.name, &cap) || cap != ICAP_XFERMECH) continue;
        // A number this program cannot transfer by still goes to the source,
        // which may refuse it; one it takes stops the run before a transfer.
        if (!CapabilityValueByName(cap, setting.value, &value))
            return Usage("%s", NotAMechanism(setting.value).c_str());
        if (options->mechanismGiven && value != options->mechanism)
            return Usage("--mech %s and --set ICAP_XFERMECH disagree: give one of them",
                         MechanismWord(options->mechanism).c_str());
        options->mechanism = static_cast<TW_UINT16>(value);
        options->mechanismGiven = true;
    }
    return true;
}

void PrintUsage() {
    printf("usage: qxacquire [options]\n"
           "Acquires images from a TWAIN source through the TWAIN Source Manager.\n\n");
    for (const Option &option : OptionTable) {
        std::string left = std::string(option.name) + (option.alias ? ", " : "") +
                           (option.alias ? option.alias : "") + (option.value ? " " : "") +
                           (option.value ? option.value : "");
        printf("  %-20s ", left.c_str());
        for (const char *c = option.help; *c; ++c) {
            if (*c == '\n') printf("\n%23s", "");
            else putchar(*c);
        }
        printf("\n");
    }
    printf("\n"
           "--list and --caps alone only report; with --mech, --count, --ui or --set frames\n"
           "are acquired as well.\n");
    // Whole entries to a line, within 80 columns.
    std::string line = "Exit status:";
    for (const Name &exit : ExitMeanings) {
        bool last = &exit == &ExitMeanings[std::size(ExitMeanings) - 1];
        std::string entry = std::to_string(exit.value) + " " + exit.text + (last ? "." : ",");
        if (line.size() + 1 + entry.size() >= 80) {
            printf("%s\n", line.c_str());
            line = entry;
        } else {
            line += " " + entry;
        }
    }
    printf("%s\n", line.c_str());
}

}  // namespace

bool ParseOptions(int argc, char **argv, Options *options) {
    for (int i = 1; i < argc; ++i) {
        const Option *option = FindOption(argv[i]);
        if (option && option->answersAlone) return option->apply(options, "");
    }
    bool acquisitionAsked = false;
    for (int i = 1; i < argc; ++i) {
        const Option *option = FindOption(argv[i]);
        if (!option) return Usage("bad option: %s", argv[i]);
        if (option->value && i + 1 >= argc) return Usage("%s needs a value", option->name);
        std::string value = option->value ? argv[++i] : "";
        if (!option->apply(options, value))
            return Usage("bad option: %s", (std::string(option->name) + " " + value).c_str());
        acquisitionAsked |= option->acquires;
    }
    if (options->json && !options->caps) return Usage("%s goes with --caps", "--json");
    if (options->unattended && options->ui)
        return Usage("%s: nobody answers the source's dialog", "--unattended goes without --ui");
    if (!ChooseMechanism(options)) return false;
    options->acquire = acquisitionAsked || (!options->list && !options->caps);
    return true;
}
