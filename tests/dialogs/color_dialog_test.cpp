// "Set Screen Colors", offscreen: the preview is painted in the colours the
// boxes name, keystroke by keystroke, through the terminal's colour rule.
#include "dialogs/CColorEdit.h"
#include "dialogs/CSetColor.h"

#include <QImage>
#include <QLineEdit>
#include <QTextDocument>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct Painted {
    QColor background; // inside the frame, clear of the centred text
    int textPixels;    // pixels in (nearly) the text colour
};

Painted PaintedPreview(CSetColor &dialog, const QColor &text)
{
    auto *preview = dialog.findChild<CColorEdit *>(QStringLiteral("Preview"));
    const QImage image = dialog.grab().toImage();
    const qreal scale = image.devicePixelRatio();
    const QRect area(preview->mapTo(&dialog, QPoint(0, 0)), preview->size());
    const QRect pixels((QPointF(area.topLeft()) * scale).toPoint(), area.size() * scale);

    Painted painted{image.pixelColor(pixels.left() + 6, pixels.center().y()), 0};
    for (int y = pixels.top() + 3; y < pixels.bottom() - 3; ++y) {
        for (int x = pixels.left() + 3; x < pixels.right() - 3; ++x) {
            const QColor c = image.pixelColor(x, y);
            const int distance = qAbs(c.red() - text.red()) + qAbs(c.green() - text.green()) +
                                 qAbs(c.blue() - text.blue());
            painted.textPixels += distance < 48;
        }
    }
    return painted;
}

TEST(ColorDialog, PreviewFollowsEveryKeystroke)
{
    CSetColor dialog(QStringLiteral("Sample Text"), QStringLiteral("FF0000"),
                     QStringLiteral("0000ff"));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    struct Step {
        const char *box;
        const char *typed; // into the emptied box; nothing: as handed in
        QColor background, text;
    } steps[] = {
        {"Text", nullptr, QColor(0, 0, 0xFF), Qt::red},
        {"Background", "DD", QColor(0, 0, 0xDD), Qt::red}, // a partial colour
        {"Background", "ddddff", QColor(0xDD, 0xDD, 0xFF), Qt::red},
        {"Text", "00", QColor(0xDD, 0xDD, 0xFF), Qt::black},
        {"Text", "00ff00", QColor(0xDD, 0xDD, 0xFF), QColor(0, 0xFF, 0)},
        {"Text", "00ff0g", QColor(0xDD, 0xDD, 0xFF), Qt::black}, // not a colour
        {"Background", "", Qt::black, Qt::black},
    };
    for (const Step &step : steps) {
        auto *box = dialog.findChild<QLineEdit *>(QString::fromLatin1(step.box));
        if (step.typed) {
            box->clear();
            QTest::keyClicks(box, step.typed);
        }
        const Painted painted = PaintedPreview(dialog, step.text);
        const std::string name = std::string(step.box) + " " + (step.typed ? step.typed : "");
        EXPECT_EQ(painted.background, step.background) << name;
        if (step.text != step.background) {
            EXPECT_GT(painted.textPixels, 20) << name;
        }
    }
}

TEST(ColorDialog, BoxesTakeSixCharactersAndHandTheirTextBackAsTyped)
{
    CSetColor dialog(QStringLiteral("Sample Text"), QStringLiteral("000000"),
                     QStringLiteral("ddddff"));
    auto *text = dialog.findChild<QLineEdit *>(QStringLiteral("Text"));
    text->clear();
    QTest::keyClicks(text, "abcdef12");
    EXPECT_EQ(dialog.TextColorText(), "abcdef");
    EXPECT_EQ(dialog.BackgroundColorText(), "ddddff");
    auto *preview = dialog.findChild<CColorEdit *>(QStringLiteral("Preview"));
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isReadOnly());
    EXPECT_TRUE(preview->document()->defaultTextOption().alignment() & Qt::AlignHCenter);
    EXPECT_TRUE(text->alignment() & Qt::AlignHCenter);
}

} // namespace
