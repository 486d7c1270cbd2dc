#pragma once
// Writes pictures of the mesh view to files: a PNG image, or an SVG drawing
// made by Qt's SVG generator, in which texts (node addresses, node kinds, link
// labels, the group and the status line) stay text. Both are painted by the
// view's own painter, so a picture shows what the view shows.

#include "netview/MeshPicture.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <functional>

class QPainter;
struct libdeflate_compressor;

class CMeshPicture {
public:
    CMeshPicture();
    ~CMeshPicture();
    CMeshPicture(const CMeshPicture &) = delete;
    CMeshPicture &operator=(const CMeshPicture &) = delete;

    // Paints with paint() at size pixels, as on a device of dpi dots per
    // inch (the point sizes of the fonts depend on it), and writes the result
    // to fileName in format; the file is replaced only once the picture is
    // complete. title names the drawing in an SVG. Returns an error text,
    // empty on success. The image and its PNG rows are kept for the next
    // picture: a scan watched for hours writes one every few seconds.
    QString Save(const QString &fileName, PictureFormat format, QSize size, int dpi, const QString &title,
                 const std::function<void(QPainter &)> &paint);

private:
    // The image as a PNG of 8-bit RGB; empty when it cannot be compressed.
    QByteArray EncodePng(const QImage &image);

    QImage m_image;
    QByteArray m_rows;
    libdeflate_compressor *m_compressor;
};
