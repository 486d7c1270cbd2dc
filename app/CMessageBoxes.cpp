#include "app/CMessageBoxes.h"

#include "common/QtText.h"

#include <QApplication>
#include <QMessageBox>

namespace {
// Runs a box with the given buttons; returns the one pressed.
QMessageBox::StandardButton Run(QWidget *parent, const std::string &text, const std::string &caption,
                                MessageIcon icon, QMessageBox::StandardButtons buttons)
{
    // Above whatever modal window is up (the mesh view stays on top), so
    // that the box never opens under it.
    QWidget *above = QApplication::activeModalWidget();
    QMessageBox box(above ? above : parent);
    box.setWindowTitle(caption.empty() ? QApplication::applicationName()
                                       : FromCodePage(caption));
    box.setText(FromCodePage(text));
    switch (icon) {
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    }
    box.setStandardButtons(buttons);
    box.setAccessibleName(box.windowTitle());
    return QMessageBox::StandardButton(box.exec());
}
} // namespace

void CMessageBoxes::Show(const std::string &text, const std::string &caption, MessageIcon icon)
{
    Run(m_parent, text, caption, icon, QMessageBox::Ok);
}

Answer CMessageBoxes::AskRetry(const std::string &text, const std::string &caption, MessageIcon icon)
{
    const auto pressed = Run(m_parent, text, caption, icon, QMessageBox::Retry | QMessageBox::Cancel);
    return pressed == QMessageBox::Retry ? Answer::Retry : Answer::Cancel;
}
