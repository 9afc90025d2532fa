// An .xlsx workbook read back for the tests, as a spreadsheet reads it: the files of
// the zip archive (the central directory gives each entry's name, method, sizes and
// offset; deflated entries are inflated with zlib), then a sheet's cells with their
// type and the number format their style gives them. Nothing here trusts the writer:
// a malformed archive gives an empty map.
#pragma once
#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QString>
#include <QXmlStreamReader>

#include <vector>

#include <zlib.h>

#include <cstdint>

namespace tobrel::test {

inline QMap<QString, QByteArray> zipEntries(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray zip = file.readAll();
    auto u16 = [&](qsizetype at) -> uint32_t {
        return at + 2 <= zip.size() ? uint8_t(zip[at]) | uint8_t(zip[at + 1]) << 8 : 0;
    };
    auto u32 = [&](qsizetype at) -> uint32_t { return u16(at) | u16(at + 2) << 16; };

    const qsizetype end = zip.lastIndexOf(QByteArray("PK\x05\x06", 4));
    if (end < 0)
        return {};
    QMap<QString, QByteArray> entries;
    qsizetype at = u32(end + 16);
    for (uint32_t n = u16(end + 10); n > 0; --n) {
        if (u32(at) != 0x02014b50)
            return {};
        const uint32_t method = u16(at + 10), packed = u32(at + 20), size = u32(at + 24);
        const uint32_t nameLength = u16(at + 28), extra = u16(at + 30), comment = u16(at + 32);
        const uint32_t local = u32(at + 42);
        const QString name = QString::fromUtf8(zip.mid(at + 46, nameLength));
        at += 46 + nameLength + extra + comment;
        if (u32(local) != 0x04034b50)
            return {};
        const qsizetype data = local + 30 + u16(local + 26) + u16(local + 28);
        if (data + qsizetype(packed) > zip.size())
            return {};
        if (method == 0) {
            entries[name] = zip.mid(data, packed);
            continue;
        }
        QByteArray out(qsizetype(size), '\0');
        z_stream z{};
        if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
            return {};
        z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(zip.constData() + data));
        z.avail_in = packed;
        z.next_out = reinterpret_cast<Bytef *>(out.data());
        z.avail_out = size;
        const int r = inflate(&z, Z_FINISH);
        inflateEnd(&z);
        if (r != Z_STREAM_END || z.total_out != size)
            return {};
        entries[name] = out;
    }
    return entries;
}

// One cell of a sheet as stored: its reference ("B2"), its type ("n" for a number,
// "inlineStr" or "s" or "str" for text), its value and its number format ("" when
// the style gives none of its own).
struct StoredCell {
    QString ref;
    QString type;
    QString value;
    QString format;
};

// The rows of a sheet's XML ("xl/worksheets/sheet1.xml"), the number formats resolved
// through the workbook's styles.
inline std::vector<std::vector<StoredCell>> sheetRows(const QMap<QString, QByteArray> &zip, const QString &sheet)
{
    // styles.xml: custom number formats by id, then each cell style's format id.
    QMap<int, QString> formats;
    std::vector<QString> styleFormats;
    {
        QXmlStreamReader x(zip.value(QStringLiteral("xl/styles.xml")));
        bool inCellXfs = false;
        while (!x.atEnd()) {
            x.readNext();
            if (x.isStartElement() && x.name() == u"numFmt")
                formats[x.attributes().value(QLatin1String("numFmtId")).toInt()] =
                    x.attributes().value(QLatin1String("formatCode")).toString();
            else if (x.isStartElement() && x.name() == u"cellXfs")
                inCellXfs = true;
            else if (x.isEndElement() && x.name() == u"cellXfs")
                inCellXfs = false;
            else if (inCellXfs && x.isStartElement() && x.name() == u"xf")
                styleFormats.push_back(formats.value(x.attributes().value(QLatin1String("numFmtId")).toInt()));
        }
    }
    std::vector<std::vector<StoredCell>> rows;
    QXmlStreamReader x(zip.value(sheet));
    StoredCell cell;
    while (!x.atEnd()) {
        x.readNext();
        if (x.isStartElement() && x.name() == u"row") {
            rows.emplace_back();
        } else if (x.isStartElement() && x.name() == u"c") {
            const QXmlStreamAttributes a = x.attributes();
            const size_t style = a.value(QLatin1String("s")).toUInt();
            cell = {a.value(QLatin1String("r")).toString(),
                    a.hasAttribute(QLatin1String("t")) ? a.value(QLatin1String("t")).toString() : QStringLiteral("n"),
                    {},
                    style < styleFormats.size() ? styleFormats[style] : QString()};
        } else if (x.isStartElement() && (x.name() == u"v" || x.name() == u"t")) {
            cell.value += x.readElementText();
        } else if (x.isEndElement() && x.name() == u"c" && !rows.empty()) {
            rows.back().push_back(cell);
        }
    }
    return rows;
}

} // namespace tobrel::test
