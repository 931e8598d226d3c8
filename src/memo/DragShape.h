#pragma once

// A memo's drawn, draggable shape. Only the priority numbering exists so far;
// the shape itself arrives with the drawing panels.
class DragShape {
public:
    // Same numbering as CArchMemo::MemoPrior; stored in files, so never renumber.
    enum DispPrior { High = 0, Mid = 1, Low = 2 };
};
