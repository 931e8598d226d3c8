#pragma once

#include <vector>

// A label's box on a picture; y grows downwards.
struct LabelBox {
    int x = 0, y = 0, w = 0, h = 0;
};

// Moves labels, in order, off the ones before them: each keeps its place when it covers none,
// else takes the nearest place just below or just above a box in its column that overlaps none
// of the earlier ones and stays within top .. bottom. Only y changes; a label with no such
// place keeps its own.
void separateLabels(std::vector<LabelBox>& boxes, int top, int bottom);
