// Inside qxsimcore.dll: frames made at board speed. Everything a pattern needs
// is prepared once per configuration (precomputed lines, decoded pictures),
// so that making a frame is a copy of rows from memory already laid out in
// the board's format, plus a few short runs for the moving target.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim_core.h"
#include "wic_image.h"

struct FramePlan {
    QxsSettings settings;
    size_t pixelBytes;  // width x bytes_per_pixel: the pixels of one line
    // Lines the rows are copied from; which ones depends on the pattern.
    std::vector<uint8_t> lines;
    uint32_t period;  // ramp and noise: how many start positions a row has
    // The moving target: offsets into `lines`, disc radius, line thickness.
    size_t crossLine, blackRow, whiteRun, blackRun;
    uint32_t radius, thickness;
    // Playback: one image per file, already in the board's format.
    std::vector<std::vector<uint8_t>> pictures;
};

// Prepares the frames of a configuration; null with the reason when the
// playback files cannot be used (or memory runs out).
std::shared_ptr<const FramePlan> BuildFramePlan(const QxsSettings &settings, std::string *why);

// Writes frame n into dst: at most `bytes` bytes and at most the image size.
void FillFrame(const FramePlan &plan, uint8_t *dst, size_t bytes, uint32_t n);

// Centre of the moving target in frame n.
void TargetCentre(const QxsSettings &s, uint32_t n, uint32_t *x, uint32_t *y);

// Playback: the files that a `frames` value names, in name order, decoded as
// 32-bit B, G, R, A; false with the reason when none matches or one cannot be
// decoded.
bool DecodePlaybackFiles(const char *frames, std::vector<qximg::DecodedImage> *pictures,
                         std::string *why);
