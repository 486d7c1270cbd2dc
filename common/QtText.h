#pragma once
// The windows' strings and the program's 8-bit text (Windows-1252, see
// CodePage.h): every caption, title, edit box and message that shows or takes
// 8-bit text converts through these two.

#include <QString>
#include <string>
#include <string_view>

QString FromCodePage(std::string_view text);
// Characters without a code in the page are left out; `complete`, when given,
// tells whether none was.
std::string ToCodePage(const QString &text, bool *complete = nullptr);
