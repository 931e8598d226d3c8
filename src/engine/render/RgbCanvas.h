#pragma once

#include <string>
#include <vector>

// Pictures drawn without a display: 8-bit RGB pixels row by row from the top, a few drawing
// operations, and text in a small built-in font (no display, no fonts).
// Every operation is clipped to the picture and to the clip rectangle.

struct Rgb {
    unsigned char r = 0, g = 0, b = 0;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Rgb& o) const { return !(*this == o); }
};

// The built-in font: 5 x 7 pixel glyphs for ASCII 32 .. 126 in cells 6 pixels wide.
constexpr int kGlyphWidth = 5;
constexpr int kGlyphHeight = 7;
constexpr int kGlyphAdvance = 6;
// The seven rows of a character's glyph, top first, bit 4 the leftmost pixel; '?' for any
// character outside 32 .. 126.
const unsigned char* glyphRows(char c);

// Characters the font draws for a UTF-8 text: a multi-byte sequence counts once (drawn as '?').
size_t glyphCount(const std::string& utf8);
// Width of a text drawn at the scale: cells of kGlyphAdvance, without the last cell's gap.
int textWidth(const std::string& utf8, int scale);

class RgbCanvas {
public:
    // Sizes below 1 are taken as 1.
    RgbCanvas(int width, int height, Rgb background);

    int width() const { return m_width; }
    int height() const { return m_height; }
    const std::vector<unsigned char>& pixels() const { return m_pixels; }
    // The pixel's colour; black outside the picture.
    Rgb at(int x, int y) const;

    // Drawing is limited to this rectangle (and the picture) until resetClip.
    void setClip(int x, int y, int w, int h);
    void resetClip();

    void set(int x, int y, Rgb c);
    void fillRect(int x, int y, int w, int h, Rgb c);
    // A line through the pixels Bresenham's algorithm picks, each drawn as a square of
    // `thickness` pixels centred on it.
    void line(int x0, int y0, int x1, int y1, Rgb c, int thickness = 1);
    // Text with the top-left of its first cell at (x, y), every font pixel a scale x scale
    // square; no background is drawn. Returns the width drawn (textWidth).
    int text(int x, int y, const std::string& utf8, Rgb c, int scale = 1);

private:
    int m_width, m_height;
    int m_clipX0 = 0, m_clipY0 = 0, m_clipX1 = 0, m_clipY1 = 0; // x0 <= x < x1, y0 <= y < y1
    std::vector<unsigned char> m_pixels;
};
