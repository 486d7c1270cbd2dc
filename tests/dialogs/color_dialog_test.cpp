// "Set Screen Colors", offscreen: the preview is painted in the colours the
// boxes name, keystroke by keystroke, through the terminal's colour rule.
#include "dialogs/CSetColor.h"

#include <QImage>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct Painted {
    QColor background; // inside the frame, clear of the centred text
    int textPixels;    // pixels in (nearly) the text colour
};

// Renders the dialog and reads its preview line.
Painted PaintedPreview(CSetColor &dialog, const QColor &textColor)
{
    auto *preview = dialog.findChild<QLineEdit *>(QStringLiteral("Preview"));
    const QRect area(preview->mapTo(&dialog, QPoint(0, 0)), preview->size());
    const QImage image = dialog.grab().toImage();
    const qreal scale = image.devicePixelRatio();
    const QRect pixels((QPointF(area.topLeft()) * scale).toPoint(), area.size() * scale);

    Painted painted{image.pixelColor(pixels.left() + 6, pixels.center().y()), 0};
    for (int y = pixels.top() + 3; y < pixels.bottom() - 3; ++y) {
        for (int x = pixels.left() + 3; x < pixels.right() - 3; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - textColor.red()) + qAbs(c.green() - textColor.green()) +
                    qAbs(c.blue() - textColor.blue()) < 48)
                ++painted.textPixels;
        }
    }
    return painted;
}

class ColorDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }
    QLineEdit *Box(const char *name)
    {
        return dialog.findChild<QLineEdit *>(QString::fromLatin1(name));
    }

    CSetColor dialog{QStringLiteral("Sample Text"), QStringLiteral("FF0000"),
                     QStringLiteral("0000ff")};
};

TEST_F(ColorDialog, PreviewShowsTheHandedInColours)
{
    const Painted painted = PaintedPreview(dialog, Qt::red);
    EXPECT_EQ(painted.background, QColor(0, 0, 255));
    EXPECT_GT(painted.textPixels, 20);

    auto *preview = dialog.findChild<QLineEdit *>(QStringLiteral("Preview"));
    EXPECT_TRUE(preview->isReadOnly());
    EXPECT_EQ(preview->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    EXPECT_EQ(Box("Text")->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
}

TEST_F(ColorDialog, PreviewFollowsEveryKeystroke)
{
    struct Step {
        const char *box;
        const char *typed; // after clearing the box
        QColor background, text;
    } steps[] = {
        {"Background", "DD", QColor(0, 0, 0xDD), Qt::red},      // a partial colour
        {"Background", "ddddff", QColor(0xDD, 0xDD, 0xFF), Qt::red},
        {"Text", "00", QColor(0xDD, 0xDD, 0xFF), Qt::black},
        {"Text", "00ff00", QColor(0xDD, 0xDD, 0xFF), QColor(0, 0xFF, 0)},
        {"Text", "00ff0g", QColor(0xDD, 0xDD, 0xFF), Qt::black}, // not a colour
        {"Background", "", Qt::black, Qt::black},
    };
    for (const Step &step : steps) {
        QLineEdit *box = Box(step.box);
        box->clear();
        QTest::keyClicks(box, step.typed);
        const Painted painted = PaintedPreview(dialog, step.text);
        EXPECT_EQ(painted.background, step.background) << step.box << " " << step.typed;
        if (step.text != step.background) {
            EXPECT_GT(painted.textPixels, 20) << step.box << " " << step.typed;
        }
    }
}

TEST_F(ColorDialog, BoxesTakeSixCharactersAndHandTheirTextBack)
{
    QLineEdit *text = Box("Text");
    text->clear();
    QTest::keyClicks(text, "abcdef12");
    EXPECT_EQ(text->text(), "abcdef");
    EXPECT_EQ(dialog.TextColorText(), "abcdef");
    EXPECT_EQ(dialog.BackgroundColorText(), "0000ff") << "handed back as typed";
    EXPECT_FALSE(Box("Background")->accessibleName().isEmpty());
    EXPECT_FALSE(text->accessibleName().isEmpty());
}

} // namespace
