// Progress of long work: while a frame of 64 MB or more is transferred and
// written, one line on a terminal that updates with the percentages, or a
// plain line now and then when the error output is a pipe or a file. Called
// from the transfers and from the writer thread at once.
#pragma once

#include <cstdint>
#include <string>

enum class Work { Transfer, Write };

// Whether work on a frame of that many bytes is long enough to be shown (64 MB).
bool IsLongWork(uint64_t bytes);

// done of total bytes of frame's work (frame 0: the frame already shown).
// Work that is not long is not shown.
void ShowProgress(Work work, uint32_t frame, uint64_t done, uint64_t total);
// That work is over: its part of the line goes.
void EndProgress(Work work);
// A line of the normal output, printed whole above the progress line.
void PrintAboveProgress(const std::string &line);
