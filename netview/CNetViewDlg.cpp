#include "netview/CNetViewDlg.h"

#include "common/QtText.h"
#include "common/Version.h"
#include "common/DialogUnitsQt.h"
#include "netview/CMeshPicture.h"
#include "netview/MeshView.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>

CNetViewDlg::CNetViewDlg(NetViewHost &host, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint),
      m_scan(host, *this), m_timer(this)
{
    setModal(true);
    setFont(CMeshPainter::DialogFont());
    resize(DialogUnitsRect(font(), 0, 0, 501, 310).size());
    setWindowTitle(QStringLiteral("Quorrel %1").arg(QLatin1String(kVersionText)));
    setAccessibleName(QStringLiteral("Mesh network graph"));
    setAccessibleDescription(FromCodePage(DescribeMeshView(m_scan)));
    // The whole client area is painted on every paint, background included.
    setAttribute(Qt::WA_OpaquePaintEvent);

    m_timer.setObjectName(QStringLiteral("scanTimer"));
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &CNetViewDlg::OnScanTick);
    m_timer.start();
}

void CNetViewDlg::done(int result)
{
    // The scan ends with the window: a hidden view must not go on clearing the
    // terminal and sending scans.
    m_timer.stop();
    QDialog::done(result);
}

void CNetViewDlg::keyPressEvent(QKeyEvent *event)
{
    // The view has no buttons: Enter ends it as OK would, Escape as Cancel.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CNetViewDlg::OnScanTick() { m_scan.OnScanTick(); }

void CNetViewDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    m_windowSize = frameGeometry().size();
    update();
}

void CNetViewDlg::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // Lay the graph out for the new size at once, not at the next scan.
    repaint();
}

void CNetViewDlg::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    m_shown = TakeViewStatus(m_scan);
    m_painter.Paint(p, rect(), m_shown, m_scan.Table(), m_scan.GroupAddress(), frameGeometry().size(),
                    m_windowSize);
}

void CNetViewDlg::contextMenuEvent(QContextMenuEvent *event)
{
    // The menu's own event loop goes on delivering the scan timer's ticks.
    QMenu menu(this);
    menu.addAction(QStringLiteral("Save Picture..."), this, &CNetViewDlg::OnSavePicture);
    menu.exec(event->globalPos());
}

void CNetViewDlg::OnSavePicture()
{
    const QString png = QStringLiteral("PNG picture (*.png)"), svg = QStringLiteral("SVG drawing (*.svg)");
    QFileDialog dialog(this, QStringLiteral("Save Picture"),
                       QDir::home().filePath(FromCodePage(SuggestedPictureName(m_scan.GroupAddress()))));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({png, svg});
    dialog.setDefaultSuffix(QStringLiteral("png")); // a name without an extension
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString &filter) {
        dialog.setDefaultSuffix(filter == svg ? QStringLiteral("svg") : QStringLiteral("png"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    const QString file = dialog.selectedFiles().constFirst();
    const QString error = SavePicture(file);
    if (!error.isEmpty())
        QMessageBox::warning(this, QStringLiteral("Save Picture"),
                             QStringLiteral("The picture was not saved to %1: %2").arg(file, error));
}

QString CNetViewDlg::SavePicture(const QString &fileName)
{
    const std::optional<PictureFormat> format = PictureFormatOfFile(ToCodePage(fileName));
    if (!format)
        return QStringLiteral("the name must end in .png or .svg");
    // Painted as the view paints itself: same status, fonts at the view's
    // resolution, the layout from the same window size.
    const QSize window = frameGeometry().size();
    QSize measured = m_windowSize;
    CMeshPicture picture;
    return picture.Save(fileName, *format, size(), logicalDpiY(), windowTitle(), [&](QPainter &p) {
        p.setFont(font());
        m_painter.Paint(p, rect(), m_shown, m_scan.Table(), m_scan.GroupAddress(), window, measured);
    });
}

void CNetViewDlg::RepaintRequested()
{
    setAccessibleDescription(FromCodePage(DescribeMeshView(m_scan)));
    update();
}

void CNetViewDlg::GroupTestFailed()
{
    // The info reply stays in the terminal while the message is open; ticks
    // delivered by the message's own loop would find it again and repeat the
    // message. The view ends after it anyway.
    m_timer.stop();
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(),
                    QString::fromLatin1(kGroupAddressMessage), QMessageBox::Ok, this);
    box.setAccessibleName(QStringLiteral("Group address missing"));
    box.exec();
    done(2);
}
