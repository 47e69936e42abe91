#include "ds/errors.h"

#include <array>
#include <cstring>

#include "ds/source_context.h"

namespace {

struct Sentence {
    TW_UINT16 code;
    const char *text;
};

constexpr std::array<Sentence, 10> Sentences = {{
    {TWCC_SUCCESS, "Success message from detailed error request ??"},
    {TWCC_BUMMER, "Bummer error."},
    {TWCC_LOWMEMORY, "Low Memory Condition encountered, free up some memory and try again."},
    {TWCC_NODS, "Quorvex board(s) not found."},
    {TWCC_MAXCONNECTIONS, "Source is connected to max possible apps."},
    {TWCC_OPERATIONERROR, "An operation error just occurred."},
    {TWCC_BADCAP, "Bad capabilities error."},
    {TWCC_BADPROTOCOL, "Bad protocol error."},
    {TWCC_BADVALUE, "Bad value error."},
    {TWCC_SEQERROR, "DG DAT MSG is out of expected sequence."},
}};

constexpr const char *UnknownSentence = "Unknown Error value in condition code.";
constexpr const char *TwainErrorTitle = "Twain Driver Error";
constexpr const char *QuorvexErrorTitle = "Quorvex Error";

}  // namespace

const char *ConditionSentence(TW_UINT16 code) {
    for (const Sentence &s : Sentences)
        if (s.code == code) return s.text;
    return UnknownSentence;
}

int ReportError(const char *operationText, TW_UINT16 code) {
    g_source.conditionCode = code;
    char text[192];
    lstrcpynA(text, operationText, sizeof text);
    size_t used = strlen(text);
    lstrcpynA(text + used, ConditionSentence(code), static_cast<int>(sizeof text - used));
    return MessageBoxA(g_source.parentWindow, text, TwainErrorTitle, MB_OK);
}

TW_UINT16 FailOperation(const char *operationText, TW_UINT16 code) {
    ReportError(operationText, code);
    return TWRC_FAILURE;
}

void ShowQuorvexError(const char *text) {
    MessageBoxA(g_source.parentWindow, text, QuorvexErrorTitle, MB_OK);
}

TW_UINT16 FailMissingData() {
    g_source.conditionCode = TWCC_BADVALUE;
    return TWRC_FAILURE;
}
