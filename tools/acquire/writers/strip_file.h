// A memory transfer's lines as an image file, written band by band as the
// strip stream brings them (strip_stream.h), top line first, so that the
// frame is never whole in memory. The lines are mapped to what the image
// files take: bilevel, 4-bit and white-is-zero grey, palettes and 48-bit
// colour as packed samples; 8-bit grey as it is; 24- and 32-bit colour
// turned into B, G, R a band at a time; deep grey by its significant bits.
#pragma once

#include <string>

#include "acquire.h"
#include "readers/strip_assembler.h"
#include "writers/strip_stream.h"

// The significant bits deep grey lines are written with: --bits, else all 16
// in a file that keeps 16 bits, else 0: the frame's own, known only once
// every line came. False, *why, for deep grey this program does not write.
bool DeepGreyBits(const StripLayout &layout, const Options &options, uint32_t *bits, std::string *why);

// The frame the stream brings, written to `path` on the writer thread: its
// bands as they come, then the lines its transfer kept. False when the file
// cannot be written (reported on `writing`), or when the transfer abandoned
// the frame (which it reported); no file is left then.
bool WriteStripFrame(Session &writing, const std::string &path, StripStream &stream, uint32_t greyBits,
                     std::string *note);
