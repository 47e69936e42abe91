#include "xfer/file_setup_reader.h"

#include <cstring>

FileSetup ReadFileSetup(const TW_SETUPFILEXFER &record) {
    FileSetup setup = {};
    // At most one byte short of the name's room: the last is the terminator's.
    memcpy(setup.fileName, record.FileName, strnlen(record.FileName, sizeof setup.fileName - 1));
    setup.format = record.Format;
    return setup;
}
