#include "common/QtText.h"

#include "common/CodePage.h"

QString FromCodePage(std::string_view text)
{
    const std::u16string units = CodePageToUtf16(text);
    return QString::fromUtf16(units.data(), qsizetype(units.size()));
}

std::string ToCodePage(const QString &text, bool *complete)
{
    return Utf16ToCodePage(std::u16string_view(reinterpret_cast<const char16_t *>(text.utf16()),
                                               size_t(text.size())),
                           complete);
}
