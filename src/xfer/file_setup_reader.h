// What DAT_SETUPFILEXFER / MSG_SET takes from the application's
// TW_SETUPFILEXFER. No Windows header: the reader is fuzzed natively.
#pragma once

#include "twain.h"

struct FileSetup {
    // At most 255 characters of FileName, which need not be terminated
    // within its 256 bytes; zeros to the end. Empty when none was given.
    char fileName[sizeof(TW_STR255)];
    TW_UINT16 format;
};

FileSetup ReadFileSetup(const TW_SETUPFILEXFER &record);
