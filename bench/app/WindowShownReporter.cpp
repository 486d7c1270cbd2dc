// A Qt generic plugin that reports when the program it is loaded into first
// has a window on screen: at the first expose event of a visible top-level
// window it prints "window shown: NS TITLE" on stderr, NS being the steady
// clock (CLOCK_MONOTONIC) in nanoseconds, so that a benchmark that started
// the program can tell the time from its exec to its window.
//
// Load it with QT_PLUGIN_PATH=<folder holding generic/> and
// QT_QPA_GENERIC_PLUGINS=windowshownreporter.
#include <QEvent>
#include <QGenericPlugin>
#include <QGuiApplication>
#include <QWindow>
#include <chrono>
#include <cstdio>

namespace {
class WindowShownReporter : public QObject {
public:
    WindowShownReporter() { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Expose || !watched->isWindowType())
            return false;
        auto *window = static_cast<QWindow *>(watched);
        if (!window->isTopLevel() || !window->isExposed())
            return false;
        const long long ns = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
        std::fprintf(stderr, "window shown: %lld %s\n", ns, qPrintable(window->title()));
        std::fflush(stderr);
        qApp->removeEventFilter(this);
        return false;
    }
};
} // namespace

class WindowShownReporterPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "window_shown_reporter.json")

public:
    QObject *create(const QString &, const QString &) override { return new WindowShownReporter; }
};

#include "WindowShownReporter.moc"
