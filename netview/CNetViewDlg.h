#pragma once
// The mesh network view: a modal, topmost, resizable window that runs the scan
// state machine on its one-second timer and paints the graph of what the scans
// found. It reads the module's replies from the main window's terminal text,
// which the main window keeps filling while the view is open.

#include "netview/CMeshPainter.h"
#include "netview/MeshScan.h"

#include <QDialog>
#include <QTimer>

class NetViewHost;

class CNetViewDlg : public QDialog, private MeshScanEvents {
    Q_OBJECT
public:
    explicit CNetViewDlg(NetViewHost &host, QWidget *parent = nullptr);

    const MeshScan &Scan() const { return m_scan; }
    void done(int result) override;

public slots:
    void OnScanTick();

protected:
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
};
