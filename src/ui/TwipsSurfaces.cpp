#include "ui/TwipsSurfaces.h"

#include "ui/Ui.h"

#include <QFontMetricsF>
#include <QIODevice>
#include <QPaintEvent>
#include <QPainter>
#include <QPdfWriter>

#include <cmath>

namespace tobrel {

PainterSurface::PainterSurface(QPainter &painter, double widthTwips, double heightTwips, double dotTwips)
    : m_painter(painter), m_width(widthTwips), m_height(heightTwips), m_dot(dotTwips), m_font(listFontInPixels(120))
{
    m_painter.setRenderHint(QPainter::Antialiasing);
    m_painter.setRenderHint(QPainter::TextAntialiasing);
    setFontSize(9);
}

void PainterSurface::setFontSize(double points)
{
    // A point is 20 twips, and the painter's units are twips.
    m_font.setPixelSize(std::max(1, static_cast<int>(std::lround(points * 20))));
    m_painter.setFont(m_font);
    m_ascent = QFontMetricsF(m_font).ascent();
}

void PainterSurface::drawText(double x, double y, const QString &text, uint32_t colour)
{
    m_painter.setPen(colourFromBgr(colour));
    m_painter.drawText(QPointF(x, y + m_ascent), text);
}

void PainterSurface::drawLine(double x1, double y1, double x2, double y2, double widthDots, uint32_t colour)
{
    m_painter.setPen(QPen(colourFromBgr(colour), widthDots * m_dot, Qt::SolidLine, Qt::RoundCap));
    m_painter.drawLine(QPointF(x1, y1), QPointF(x2, y2));
}

void PainterSurface::drawPoint(double x, double y, double widthDots, uint32_t colour)
{
    const double r = widthDots * m_dot / 2;
    m_painter.setPen(Qt::NoPen);
    m_painter.setBrush(colourFromBgr(colour));
    m_painter.drawEllipse(QPointF(x, y), r, r);
    m_painter.setBrush(Qt::NoBrush);
}

TwipsCanvas::TwipsCanvas(int widthTwips, int heightTwips, QWidget *parent)
    : QWidget(parent), m_widthTwips(widthTwips), m_heightTwips(heightTwips), m_drawn(widthTwips, heightTwips)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TwipsCanvas::showDrawing()
{
    QStringList texts;
    for (const RecordingSurface::Op &op : m_drawn.ops())
        if (op.kind == RecordingSurface::Kind::Text)
            texts << op.text;
    setAccessibleDescription(texts.join(u'\n'));
    update();
}

void TwipsCanvas::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.setWindow(0, 0, m_widthTwips, m_heightTwips);
    painter.setViewport(rect());
    PainterSurface surface(painter, m_widthTwips, m_heightTwips, kScreenDotTwips);
    m_drawn.replay(surface);
}

std::unique_ptr<PaperDocument> PaperDocument::open(QIODevice &out, const QString &title,
                                                   QPageLayout::Orientation orientation, QString *error)
{
    std::unique_ptr<PaperDocument> doc(new PaperDocument);
    doc->m_out = &out;
    doc->m_writer = std::make_unique<QPdfWriter>(&out);
    QPdfWriter &writer = *doc->m_writer;
    writer.setResolution(1200);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), orientation, QMarginsF(10, 10, 10, 10),
                                     QPageLayout::Millimeter));
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Tobrel"));
    doc->m_painter = std::make_unique<QPainter>();
    if (!doc->m_painter->begin(&writer)) {
        if (error)
            *error = QStringLiteral("PDF を書き始められません");
        return nullptr;
    }
    // The page's printable area in twips, drawn through a window of that size.
    const QRect area(0, 0, writer.width(), writer.height());
    const double w = area.width() * 1440.0 / writer.logicalDpiX();
    const double h = area.height() * 1440.0 / writer.logicalDpiY();
    doc->m_painter->setWindow(0, 0, static_cast<int>(std::lround(w)), static_cast<int>(std::lround(h)));
    doc->m_painter->setViewport(area);
    doc->m_surface = std::make_unique<PainterSurface>(*doc->m_painter, std::lround(w), std::lround(h), kPaperDotTwips);
    return doc;
}

PaperDocument::~PaperDocument()
{
    if (!m_finished && m_painter && m_painter->isActive())
        m_painter->end();
}

void PaperDocument::newPage() { m_writer->newPage(); }

bool PaperDocument::finish(QString *error)
{
    m_finished = true;
    const bool ended = m_painter->end();
    if (!ended || m_out->size() == 0) {
        if (error)
            *error = QStringLiteral("PDF を書き終えられません");
        return false;
    }
    return true;
}

} // namespace tobrel
