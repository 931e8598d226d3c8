#include "engine/render/LabelPlacement.h"

#include <cstdlib>

namespace {

bool overlaps(const LabelBox& a, const LabelBox& b) {
    return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
}

} // namespace

void separateLabels(std::vector<LabelBox>& boxes, int top, int bottom) {
    for (size_t i = 0; i < boxes.size(); ++i) {
        LabelBox& box = boxes[i];
        const auto clearAt = [&](int y) {
            const LabelBox moved{box.x, y, box.w, box.h};
            for (size_t j = 0; j < i; ++j)
                if (overlaps(moved, boxes[j]))
                    return false;
            return true;
        };
        // Where it was put stays, even past an edge, when nothing is there.
        if (clearAt(box.y))
            continue;
        // The free places worth trying are the edges of the labels in this one's column.
        int best = box.y;
        long bestDistance = -1;
        for (size_t j = 0; j < i; ++j) {
            if (!(box.x < boxes[j].x + boxes[j].w && boxes[j].x < box.x + box.w))
                continue;
            for (int y : {boxes[j].y + boxes[j].h, boxes[j].y - box.h}) {
                const long distance = std::labs(long(y) - box.y);
                if ((bestDistance < 0 || distance < bestDistance) && y >= top &&
                    y + box.h <= bottom && clearAt(y)) {
                    best = y;
                    bestDistance = distance;
                }
            }
        }
        box.y = best;
    }
}
