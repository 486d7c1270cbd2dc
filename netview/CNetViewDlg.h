#pragma once
// The mesh network view: a modal, topmost, resizable window that runs the scan
// state machine on its one-second timer and paints the graph of what the scans
// found. It reads the module's replies from the main window's terminal text,
// which the main window keeps filling while the view is open. Its context
// menu saves a picture of what it shows; the scan runs on meanwhile.

#include "netview/CMeshPainter.h"
#include "netview/MeshScan.h"
#include "netview/MeshView.h"

#include <QDialog>
#include <QTimer>

class NetViewHost;

class CNetViewDlg : public QDialog, private MeshScanEvents {
    Q_OBJECT
public:
    explicit CNetViewDlg(NetViewHost &host, QWidget *parent = nullptr);

    const MeshScan &Scan() const { return m_scan; }
    void done(int result) override;

    // Writes what the view shows now, at its size, to fileName: PNG or SVG by
    // the name's extension. Returns an error text, empty on success.
    QString SavePicture(const QString &fileName);

public slots:
    void OnScanTick();
    // "Save Picture...": asks for a file name, then saves; a failure is told
    // in a message.
    void OnSavePicture();

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void RepaintRequested() override;
    void GroupTestFailed() override;

    MeshScan m_scan;
    CMeshPainter m_painter;
    QTimer m_timer;
    QSize m_windowSize; // W and H: the window's outer size as last measured
    ViewStatus m_shown; // the status of the last paint, which a picture repeats
};
