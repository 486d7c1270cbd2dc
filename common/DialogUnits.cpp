#include "common/DialogUnits.h"

PixelRect DialogUnitsToPixels(int x, int y, int w, int h, int avgCharWidth, int charHeight)
{
    auto px = [&](int v) { return (v * avgCharWidth + 2) / 4; };
    auto py = [&](int v) { return (v * charHeight + 4) / 8; };
    return {px(x), py(y), px(w), py(h)};
}
