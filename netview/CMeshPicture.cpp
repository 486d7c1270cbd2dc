#include "netview/CMeshPicture.h"

#include <QPainter>
#include <QSaveFile>
#include <QSvgGenerator>
#include <cmath>
#include <libdeflate.h>

namespace {

void PutBigEndian(QByteArray &out, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xFF));
}

// A chunk: length, type, data, and the CRC-32 of type and data.
void PutChunk(QByteArray &out, const char *type, const QByteArray &data)
{
    PutBigEndian(out, quint32(data.size()));
    const qsizetype start = out.size();
    out.append(type, 4);
    out.append(data);
    PutBigEndian(out, quint32(libdeflate_crc32(0, out.constData() + start, size_t(out.size() - start))));
}

} // namespace

CMeshPicture::CMeshPicture() : m_compressor(libdeflate_alloc_compressor(1)) {}

CMeshPicture::~CMeshPicture() { libdeflate_free_compressor(m_compressor); }

// Rows unfiltered, deflated at the fastest level. Qt's own PNG writer lets the
// PNG library try every row filter on every row, which takes several times as
// long as painting the picture; a mesh picture is mostly flat colour and
// compresses well without filters.
QByteArray CMeshPicture::EncodePng(const QImage &image)
{
    if (!m_compressor)
        return {};
    // Each row: its filter byte (0, none), then red, green and blue of each pixel.
    const int width = image.width(), height = image.height();
    const qsizetype rowBytes = 1 + 3 * qsizetype(width);
    m_rows.resize(rowBytes * height);
    for (int y = 0; y < height; ++y) {
        char *out = m_rows.data() + rowBytes * y;
        *out++ = 0;
        const auto *pixel = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < width; ++x, ++pixel) {
            *out++ = char(qRed(*pixel));
            *out++ = char(qGreen(*pixel));
            *out++ = char(qBlue(*pixel));
        }
    }
    QByteArray deflated(qsizetype(libdeflate_zlib_compress_bound(m_compressor, size_t(m_rows.size()))),
                        Qt::Uninitialized);
    deflated.resize(qsizetype(libdeflate_zlib_compress(m_compressor, m_rows.constData(), size_t(m_rows.size()),
                                                       deflated.data(), size_t(deflated.size()))));
    if (deflated.isEmpty())
        return {};

    QByteArray header;
    PutBigEndian(header, quint32(width));
    PutBigEndian(header, quint32(height));
    header.append("\x08\x02\x00\x00\x00", 5); // 8 bits per sample, RGB, deflate, filters per row, no interlace
    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", deflated);
    PutChunk(png, "IEND", {});
    return png;
}

QString CMeshPicture::Save(const QString &fileName, PictureFormat format, QSize size, int dpi,
                           const QString &title, const std::function<void(QPainter &)> &paint)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();

    if (format == PictureFormat::Png) {
        if (m_image.size() != size)
            m_image = QImage(size, QImage::Format_RGB32);
        const int dotsPerMeter = static_cast<int>(std::lround(dpi / 0.0254));
        m_image.setDotsPerMeterX(dotsPerMeter);
        m_image.setDotsPerMeterY(dotsPerMeter);
        QPainter p(&m_image);
        paint(p);
        p.end();
        const QByteArray png = EncodePng(m_image);
        if (png.isEmpty())
            return QStringLiteral("the picture could not be compressed");
        if (file.write(png) != png.size())
            return file.errorString();
    } else {
        QSvgGenerator svg;
        svg.setOutputDevice(&file);
        svg.setSize(size);
        svg.setViewBox(QRect(QPoint(0, 0), size));
        svg.setResolution(dpi);
        svg.setTitle(title);
        QPainter p;
        if (!p.begin(&svg))
            return QStringLiteral("the SVG generator could not start");
        paint(p);
        p.end();
        if (file.error() != QFileDevice::NoError)
            return file.errorString();
    }
    if (!file.commit())
        return file.errorString();
    return {};
}
