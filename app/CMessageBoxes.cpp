#include "app/CMessageBoxes.h"

#include <QApplication>
#include <QMessageBox>

void CMessageBoxes::Show(const std::string &text, const std::string &caption, MessageIcon icon)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(caption.empty() ? QApplication::applicationName()
                                       : QString::fromStdString(caption));
    box.setText(QString::fromLocal8Bit(text.c_str()));
    switch (icon) {
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Exclamation: box.setIcon(QMessageBox::Warning); break;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.setAccessibleName(box.windowTitle());
    box.exec();
}
