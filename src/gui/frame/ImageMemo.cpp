#include <wx/image.h>
#include <wx/log.h>

#include "gui/frame/MyFrame.h"
#include "gui/panels/DragShape.h"
#include "engine/memo/PngHeader.h"

namespace {

const wxString kImageMarker = "[ImageMemo]=";

bool acceptedSize(uint32_t width, uint32_t height) {
    return width >= 20 && width <= 200 && height >= 20 && height <= 100;
}

// The shape a memo text stands for, or null (and a log line) when it names no picture.
// Pictures that cannot be shown get a stand-in text the user can edit the memo by.
DragShape* imageMemoShape(const wxString& baseFileName, const wxString& text,
                          DragShape::DispPrior prior) {
    const size_t at = text.find(kImageMarker);
    if (at == wxString::npos) {
        wxLogMessage("[ImageMemo]= not found");
        return nullptr;
    }
    wxString name = text.Mid(at + kImageMarker.length());
    name.Trim(true);
    const wxString path = baseFileName + "-" + name;
    const wxString notFound = "image file not found. will you edit this ?";
    const wxString badSize = "image size not good. will you edit this ?";

    // The header's size first: a small file may claim a picture far too large to decode.
    uint32_t width = 0, height = 0;
    if (!pngSize(path.utf8_string(), &width, &height))
        return new DragShape(notFound, prior);
    if (!acceptedSize(width, height))
        return new DragShape(badSize, prior);
    wxImage picture;
    {
        wxLogNull quiet; // a broken picture is shown on the panel, not logged
        picture.LoadFile(path, wxBITMAP_TYPE_PNG);
    }
    if (!picture.IsOk())
        return new DragShape(notFound, prior);
    if (!acceptedSize(picture.GetWidth(), picture.GetHeight()))
        return new DragShape(badSize, prior);
    auto* shape = new DragShape(wxBitmap(picture), prior);
    shape->m_shapeText = text;
    return shape;
}

} // namespace

void MyFrame::readImageMemo(const wxString& text, int x, int y, int titleNo, int termNo,
                            DragShape::DispPrior prior) {
    DragShape* shape = imageMemoShape(m_sound.baseFileName, text, prior);
    if (!shape)
        return;
    shape->m_pos = wxPoint(x, y);
    shape->m_titleNo = titleNo;
    shape->m_termNo = termNo;
    m_canvasPanel->shapes().Append(shape);
}

void MyFrame::replaceImageMemo(wxList::compatibility_iterator shapeNode, const wxString& text) {
    if (!shapeNode)
        return;
    auto* old = static_cast<DragShape*>(shapeNode->GetData());
    if (!old)
        return;
    DragShape* shape = imageMemoShape(m_sound.baseFileName, text, old->m_dispPrior);
    if (!shape)
        return;
    shape->m_pos = old->m_pos;
    shape->m_titleNo = old->m_titleNo;
    shape->m_termNo = old->m_termNo;
    // The panels must not keep pointing at the shape that goes.
    for (myCanvasPanel* panel : {m_canvasPanel, m_canvasPanelSub}) {
        if (panel)
            panel->forgetShape(old, shape);
    }
    shapeNode->SetData(shape);
    delete old;
}
