// Frames as image files (image_output.cpp): the native bitmap and files
// re-encoded (a memory transfer's lines: strip_file.h); each read by what its source said
// it is, and checked against its memory before a byte of it is read.
#pragma once

#include <string>

#include "acquire.h"

// A native transfer's handle: a packed bitmap in global memory, or a DIB
// section's HBITMAP; written a band of rows at a time, under a header of our
// own made from what the bitmap reader accepted.
bool WriteDib(Session &s, const std::string &path, HANDLE bitmap);
// Frees such a handle as what it is.
void FreeHandedOverBitmap(HANDLE bitmap);

// Re-encodes a file the source wrote into the asked format, a band of rows at
// a time, at the depth the file holds.
bool ConvertFile(Session &s, const std::string &from, const std::string &to);
