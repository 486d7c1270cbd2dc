// The console texts of verrin-cli: the download's progress figures, and line
// ends made plain for a script's output.
#include "cli/ConsoleOutput.h"
#include "cli/ProgressText.h"

#include <gtest/gtest.h>

TEST(ProgressText, RateAndTimeLeftFromWhatIsAcknowledged)
{
    struct Case {
        const char *name;
        ProgressFigures figures;
        const char *log;
    };
    const Case cases[] = {
        {"nothing yet", {0, 0, 65536, 1.0}, "Packet 0: 0 of 65536 bytes (0%), -- B/s, --:-- left"},
        {"slow start", {3, 2048, 65536, 1.0}, "Packet 3: 2048 of 65536 bytes (3%), 2048 B/s, 0:31 left"},
        {"kilobytes", {50, 51200, 102400, 5.0},
         "Packet 50: 51200 of 102400 bytes (50%), 10.2 kB/s, 0:05 left"},
        {"hours", {1, 1000, 4000000, 1.0}, "Packet 1: 1000 of 4000000 bytes (0%), 1000 B/s, 1:06:39 left"},
        {"done", {69, 70000, 70000, 7.0}, "Packet 69: 70000 of 70000 bytes (100%), 10.0 kB/s, 0:00 left"},
        {"no time yet", {1, 1024, 2048, 0.0}, "Packet 1: 1024 of 2048 bytes (50%), -- B/s, --:-- left"},
        {"empty file", {0, 0, 0, 1.0}, "Packet 0: 0 of 0 bytes (0%), -- B/s, --:-- left"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ProgressLogLine(c.figures), c.log) << c.name;
}

TEST(ProgressText, BarFillsWithThePercentage)
{
    const std::string half = ProgressBarLine({7, 5000, 10000, 1.0}, 10);
    EXPECT_NE(half.find("[#####-----]"), std::string::npos) << half;
    EXPECT_NE(half.find(" 50%"), std::string::npos) << half;
    const std::string full = ProgressBarLine({9, 10000, 10000, 2.0}, 10);
    EXPECT_NE(full.find("[##########]"), std::string::npos) << full;
}

TEST(LineEnds, EachEndBecomesOneLineFeedAcrossPieces)
{
    struct Case {
        const char *name;
        std::vector<std::string> pieces;
        std::string out;
    };
    const Case cases[] = {
        {"CR LF", {"OK\r\n"}, "OK\n"},
        {"CR LF split", {"OK\r", "\nnext"}, "OK\nnext"},
        {"lone CR and LF", {"a\rb\nc"}, "a\nb\nc"},
        {"blank lines", {"\r\n\r\nOK\r\n"}, "\n\nOK\n"},
        {"LF CR", {"a\n\rb"}, "a\n\nb"},
    };
    for (const Case &c : cases) {
        LineEnds ends;
        std::string out;
        for (const std::string &piece : c.pieces)
            out += ends.Normalise(piece);
        EXPECT_EQ(out, c.out) << c.name;
    }
}
