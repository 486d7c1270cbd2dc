#pragma once
// Dialog units of the window templates to pixels, from the dialog font's
// average character width and height, as Windows converts them.

#include "common/DialogUnits.h"

#include <QFont>
#include <QFontMetrics>
#include <QRect>

inline QRect DialogUnitsRect(const QFont &dialogFont, int x, int y, int w, int h)
{
    const QFontMetrics fm(dialogFont);
    const int letters = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int avgCharWidth = (letters / 26 + 1) / 2;
    const PixelRect r = DialogUnitsToPixels(x, y, w, h, avgCharWidth, fm.height());
    return QRect(r.x, r.y, r.w, r.h);
}
