#include "display/myCanvasPanel.h"

#include "app/Require.h"

myCanvasPanel::myCanvasPanel(wxWindow* parent, IProcMemoListener* listener)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxNO_BORDER),
      m_memoListener(listener) {
    VOCALITH_REQUIRE(m_memoListener, "m_memoListener");
}
