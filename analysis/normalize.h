// Sheet normalization: skew measured on the photograph's centre, the whole
// photograph straightened into the caller's output bitmap, the four corner
// anchors located on a binarized copy, and their rectangle carried back into
// photograph coordinates.
#pragma once

#include "analysis/anchors.h"
#include "analysis/options.h"

namespace platform {
class bitmap;
}
namespace gdi_plus_kv {
class bmp_helper;
}

// 1 when the sheet was located (frame written, corner_points holding the
// corners of anchor_rect in the photograph: left-top, right-top,
// right-bottom, left-bottom); 0 otherwise: no source or one without pixels
// (angle 0, output untouched), or anchors not found (angle measured, output
// straightened, frame untouched). The output helper must own a 24-bit bitmap
// of the source's size; it is left unlocked. The source is not changed.
int normalize_sheet(platform::bitmap* source, gdi_plus_kv::bmp_helper& output, float& angle, sheet_frame& frame,
                    const analysis_options& options = {});
