#pragma once
// Dialog units of the window templates to pixels, from the dialog font's
// average character width and height, as Windows converts them.

struct PixelRect { int x, y, w, h; };

PixelRect DialogUnitsToPixels(int x, int y, int w, int h, int avgCharWidth, int charHeight);
