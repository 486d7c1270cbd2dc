// Parse + layout of a full scan (256 nodes, 256 links), a paint of the graph
// at 1920 x 1080, and the same picture written to a PNG and an SVG file.
#include "netview/CMeshPainter.h"
#include "netview/CMeshPicture.h"
#include "netview/MeshLayout.h"
#include "netview/MeshScan.h"
#include "netview/MeshView.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QFileInfo>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

// 256 rows in chains of nine hops: every column holds nodes, every row adds a
// node and a link, and the reply fits the scan text.
std::string FullReply()
{
    std::string reply = "\r\nRelay  dBm  Node\r\n";
    char row[32];
    for (unsigned n = 2; n <= 257; ++n) {
        const unsigned level = (n - 2) % 9;
        std::snprintf(row, sizeof row, "%u:%X -%u %X\r\n", level, level == 0 ? 1 : n - 1, n % 90, n);
        reply += row;
    }
    return reply;
}

// A terminal that holds one reply, for a scan that has been answered.
class ReplyHost : public NetViewHost {
public:
    std::string terminal;
    std::string_view TerminalContent() const override { return terminal; }
    void ClearTerminal() override { terminal.clear(); }
    int32_t WriteBytes(const uint8_t *, uint32_t count) override { return int32_t(count); }
    int32_t SendString(std::string_view text) override { return int32_t(text.size()); }
};

struct NoWindow : MeshScanEvents {
    void RepaintRequested() override {}
    void GroupTestFailed() override {}
};

void ParseAndLayout(benchmark::State &state)
{
    const std::string reply = FullReply();
    auto table = std::make_unique<MeshTable>();
    auto scan = std::make_unique<ScanText>();
    for (auto _ : state) {
        table->ClearTable();
        scan->Assign(reply);
        table->ParseScanTable(*scan);
        ComputeLayout(1920, 1080, *table);
        benchmark::DoNotOptimize(table->nodes[255].x);
    }
    if (table->nodeCount != 256 || table->linkCount != 256)
        state.SkipWithError("the reply does not fill the table");
}
BENCHMARK(ParseAndLayout)->Unit(benchmark::kMillisecond);

// A scan that has taken the full reply.
struct FullScan {
    ReplyHost host;
    NoWindow events;
    MeshScan scan{host, events};
    FullScan()
    {
        host.terminal = "\r\nVersion 2.1\r\nPublish Addr C001\r\n";
        scan.OnScanTick();
        host.terminal = FullReply();
        scan.OnScanTick();
    }
};

void PaintFullGraph(benchmark::State &state)
{
    FullScan full;
    MeshScan &scan = full.scan;
    const QSize window(1920, 1080);
    QImage image(window, QImage::Format_RGB32);
    CMeshPainter painter;
    QSize measured = window;
    for (auto _ : state) {
        QPainter p(&image);
        painter.Paint(p, image.rect(), scan, window, measured);
    }
    if (scan.Table().nodeCount != 256)
        state.SkipWithError("the scan does not fill the table");
}
BENCHMARK(PaintFullGraph)->Unit(benchmark::kMillisecond);

// What `verrin-cli scan --format png|svg --size 1920x1080` does after a scan:
// paint, encode, write the file and put it in place.
void SaveFullGraph(benchmark::State &state, PictureFormat format)
{
    FullScan full;
    QTemporaryDir dir;
    const QString file = dir.filePath(format == PictureFormat::Png ? "mesh.png" : "mesh.svg");
    const QSize size(1920, 1080);
    const CMeshPainter painter;
    CMeshPicture picture; // as verrin-cli keeps it from scan to scan
    const ViewStatus status = ViewStatusOf(full.scan);
    for (auto _ : state) {
        const QString error = picture.Save(file, format, size, 96, "bench", [&](QPainter &p) {
            QSize measured = size;
            painter.Paint(p, QRect(QPoint(0, 0), size), status, full.scan.Table(), full.scan.GroupAddress(), size,
                          measured);
        });
        if (!error.isEmpty())
            state.SkipWithError(qPrintable(error));
    }
    state.counters["bytes"] = double(QFileInfo(file).size());
}
BENCHMARK_CAPTURE(SaveFullGraph, Png, PictureFormat::Png)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(SaveFullGraph, Svg, PictureFormat::Svg)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts need it
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
