// A Qt generic plugin that presses buttons and check boxes of the program it
// is loaded into, as a user would, so that a benchmark can set up a window it
// starts from outside (open the port, switch the view to hexadecimal) where
// the program keeps no such setting between runs.
//
// Load it with QT_PLUGIN_PATH=<folder holding generic/> and
// QT_QPA_GENERIC_PLUGINS=controlpresser; BENCH_PRESS lists the controls,
// separated by ';', each by its object name or its text without '&'. They are
// pressed in order, each as soon as it exists and is enabled; a check box
// already checked is left alone. The plugin reports on stderr, one line per
// control, then "control presser: done", or "control presser: no control
// NAME" when one has not appeared within 30 seconds.
//
// The same source builds against Qt 5 and Qt 6.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QGenericPlugin>
#include <QTimer>
#include <cstdio>

namespace {
class ControlPresser : public QObject {
public:
    explicit ControlPresser(QStringList names) : m_names(std::move(names))
    {
        m_clock.start();
        connect(&m_timer, &QTimer::timeout, this, [this] { PressNext(); });
        m_timer.start(100);
    }

private:
    void PressNext()
    {
        while (!m_names.isEmpty()) {
            QAbstractButton *button = Find(m_names.front());
            if (!button || !button->isEnabled()) {
                if (m_clock.elapsed() > 30000) {
                    Report("no control " + m_names.front());
                    m_timer.stop();
                }
                return;
            }
            if (!(button->isCheckable() && button->isChecked()))
                button->click();
            Report("pressed " + m_names.takeFirst());
        }
        Report(QStringLiteral("done"));
        m_timer.stop();
    }

    static QAbstractButton *Find(const QString &name)
    {
        for (QWidget *widget : QApplication::allWidgets()) {
            auto *button = qobject_cast<QAbstractButton *>(widget);
            if (button && (button->objectName() == name || button->text().remove(QLatin1Char('&')) == name))
                return button;
        }
        return nullptr;
    }

    static void Report(const QString &text)
    {
        std::fprintf(stderr, "control presser: %s\n", qPrintable(text));
        std::fflush(stderr);
    }

    QStringList m_names;
    QTimer m_timer;
    QElapsedTimer m_clock;
};
} // namespace

class ControlPresserPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "control_presser.json")

public:
    QObject *create(const QString &, const QString &) override
    {
        return new ControlPresser(
            qEnvironmentVariable("BENCH_PRESS").split(QLatin1Char(';'), Qt::SkipEmptyParts));
    }
};

#include "ControlPresser.moc"
