#include "dialogs/CColorPreview.h"

#include "dialogs/ColorText.h"

#include <QPalette>

CColorPreview::CColorPreview(QWidget *parent) : QLineEdit(parent)
{
    setReadOnly(true);
    setAlignment(Qt::AlignCenter);
    setFocusPolicy(Qt::NoFocus);
}

void CColorPreview::SetBackgroundColor(uint32_t colorValue) { SetRole(QPalette::Base, colorValue); }

void CColorPreview::SetTextColor(uint32_t colorValue) { SetRole(QPalette::Text, colorValue); }

void CColorPreview::SetRole(QPalette::ColorRole role, uint32_t colorValue)
{
    const QColor color(RedOf(colorValue), GreenOf(colorValue), BlueOf(colorValue));
    QPalette p = palette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        p.setColor(group, role, color);
    setPalette(p);
}
