#pragma once

#include <fstream>
#include <iterator>
#include <string>

#include <wx/image.h>

#include "engine/memo/CArchMemo.h"
#include "gui/panels/DragShape.h"
#include "support/GuiFixture.h"

// Shape i of a panel's list, or null past its end.
inline DragShape* shapeAt(const wxList& list, size_t i) {
    return i < list.GetCount() ? static_cast<DragShape*>(list.Item(i)->GetData()) : nullptr;
}

// Memo i of a slot (0: its title), or null past the end.
inline CArchMemo* memoAt(const MyFrame& frame, size_t slot, size_t i) {
    const wxList* terms = frame.termListAt(slot);
    return terms && i < terms->GetCount() ? static_cast<CArchMemo*>(terms->Item(i)->GetData())
                                          : nullptr;
}

inline bool hasColour(const DragShape& shape, const wxColour& colour) {
    const wxImage image = shape.m_bitmap.ConvertToImage();
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (wxColour(image.GetRed(x, y), image.GetGreen(x, y), image.GetBlue(x, y)) == colour)
                return true;
    return false;
}

inline std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
