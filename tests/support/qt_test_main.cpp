// Entry point of the test binaries that need Qt: private XDG folders and home
// for this process, one QApplication for all its tests, then GoogleTest.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // Each test process gets folders of its own, so tests that run side by
    // side never share settings, the instance store or a capture file, and
    // nothing reaches the user's own.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 1;
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "HOME"}) {
        const QString path = scratch.filePath(QString::fromLatin1(name));
        QDir().mkpath(path);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner);
        qputenv(name, path.toLocal8Bit());
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
