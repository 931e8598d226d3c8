#pragma once

#include <cmath>

#include <wx/dc.h>
#include <wx/graphics.h>

// Plot coordinates are truncated towards zero and held in 16 bits. Values far outside
// the panel (a level far below the range, a stray sample) are pinned to the 16-bit
// limits instead of wrapping round, so a wild value draws off-panel, never across it.
inline int toPixel(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= 32767.0)
        return 32767;
    if (v <= -32768.0)
        return -32768;
    return static_cast<int>(v);
}

// Plots are drawn pixel-exact, as on a plain raster device: the toolkit's cairo-backed
// memory DCs would otherwise smear every line over two rows of grey.
inline void crispLines(wxDC& dc) {
    if (wxGraphicsContext* gc = dc.GetGraphicsContext())
        gc->SetAntialiasMode(wxANTIALIAS_NONE);
}
