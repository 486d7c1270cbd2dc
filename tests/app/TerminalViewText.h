#pragma once
// The text a terminal view lays out, read line by line through its
// accessibility interface, so that it comes from the view's own line index.

#include <QAccessible>
#include <QWidget>
#include <string>

inline std::string ShownText(QWidget *view)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(view);
    QAccessibleTextInterface *t = a ? a->textInterface() : nullptr;
    if (!t)
        return "<no text interface>";
    const int count = t->characterCount();
    std::string all;
    for (int offset = 0;;) {
        int start = -1, end = -1;
        const QString line = t->textAtOffset(offset, QAccessible::LineBoundary, &start, &end);
        if (start != offset || end < start || end > count)
            return all + "<line at " + std::to_string(offset) + " spans " + std::to_string(start) +
                   ".." + std::to_string(end) + ">";
        all += line.toLatin1().toStdString();
        if (end == count)
            return all;
        offset = end;
    }
}
