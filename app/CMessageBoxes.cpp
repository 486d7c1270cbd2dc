#include "app/CMessageBoxes.h"

#include "common/QtText.h"

#include <QApplication>
#include <QMessageBox>

void CMessageBoxes::Show(const std::string &text, const std::string &caption, MessageIcon icon)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(caption.empty() ? QApplication::applicationName()
                                       : FromCodePage(caption));
    box.setText(FromCodePage(text));
    switch (icon) {
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.setAccessibleName(box.windowTitle());
    box.exec();
}
