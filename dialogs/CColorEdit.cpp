#include "dialogs/CColorEdit.h"

#include "dialogs/ColorText.h"

#include <QPalette>

CControlColors::CControlColors(QWidget *widget) : m_widget(widget)
{
    const QColor face = widget->palette().color(QPalette::Button);
    m_background = static_cast<uint32_t>(face.red()) | (face.green() << 8) | (face.blue() << 16);
    Apply();
}

QColor CControlColors::ToQColor(uint32_t v) { return QColor(RedOf(v), GreenOf(v), BlueOf(v)); }

void CControlColors::SetBackground(uint32_t colorValue)
{
    m_background = colorValue;
    Apply();
}

void CControlColors::SetText(uint32_t colorValue)
{
    m_text = colorValue;
    Apply();
}

void CControlColors::SetReadOnly(bool readOnly)
{
    if (!readOnly)
        m_background = 0xFFFFFF;
    Apply();
}

void CControlColors::Apply()
{
    QPalette p = m_widget->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        p.setColor(g, QPalette::Base, ToQColor(m_background));
        p.setColor(g, QPalette::Text, ToQColor(m_text));
    }
    m_widget->setPalette(p);
}

CColorEdit::CColorEdit(QWidget *parent) : QPlainTextEdit(parent), m_colors(this) {}

void CColorEdit::SetBackgroundColor(uint32_t colorValue)
{
    m_colors.SetBackground(colorValue);
    viewport()->update();
}

void CColorEdit::SetTextColor(uint32_t colorValue)
{
    m_colors.SetText(colorValue);
    viewport()->update();
}

void CColorEdit::SetReadOnly(bool readOnly)
{
    m_colors.SetReadOnly(readOnly);
    viewport()->update();
    setReadOnly(readOnly);
}
