#include "dialogs/CColorEdit.h"

#include "dialogs/ColorText.h"

#include <QPalette>

CColorEdit::CColorEdit(QWidget *parent) : QPlainTextEdit(parent)
{
    const QColor face = palette().color(QPalette::Button);
    m_background = static_cast<uint32_t>(face.red()) | (face.green() << 8) | (face.blue() << 16);
    Repaint();
}

QColor CColorEdit::ToQColor(uint32_t v) { return QColor(RedOf(v), GreenOf(v), BlueOf(v)); }

void CColorEdit::SetBackgroundColor(uint32_t colorValue)
{
    m_background = colorValue;
    Repaint();
}

void CColorEdit::SetTextColor(uint32_t colorValue)
{
    m_text = colorValue;
    Repaint();
}

void CColorEdit::SetReadOnly(bool readOnly)
{
    if (!readOnly)
        m_background = 0xFFFFFF;
    Repaint();
    ApplyReadOnly(readOnly);
}

void CColorEdit::Repaint()
{
    // The colours hold in every state of the widget (a disabled terminal view
    // shows black on grey, not the style's disabled colours).
    QPalette p = palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(g, QPalette::Base, ToQColor(m_background));
        p.setColor(g, QPalette::Text, ToQColor(m_text));
    }
    setPalette(p);
    viewport()->update();
}
