// Drawing in twips on real devices: a QPainter whose window is set in twips, a canvas
// widget that keeps what was drawn and paints it at any size, and A4 paper written as
// a PDF document (what the printer is sent, and what a teacher saves).
// Texts use the fixed-pitch Japanese font of the lists on every device, so the sheet's
// columns line up on the screen and on paper alike.
#pragma once
#include "state/DrawingSurface.h"

#include <QFont>
#include <QPageLayout>
#include <QString>
#include <QWidget>

#include <memory>

class QIODevice;
class QPainter;
class QPdfWriter;

namespace tobrel {

// Draws on a painter whose window is widthTwips x heightTwips.
class PainterSurface final : public DrawingSurface {
public:
    PainterSurface(QPainter &painter, double widthTwips, double heightTwips, double dotTwips);
    double width() const override { return m_width; }
    double height() const override { return m_height; }
    void setFontSize(double points) override;
    void drawText(double x, double y, const QString &text, uint32_t colour = 0) override;
    void drawLine(double x1, double y1, double x2, double y2, double widthDots, uint32_t colour) override;
    void drawPoint(double x, double y, double widthDots, uint32_t colour) override;
    void clear() override {}
    void newPage() override {}

private:
    QPainter &m_painter;
    double m_width;
    double m_height;
    double m_dot;
    QFont m_font;
    double m_ascent = 0;
};

// A picture box for drawing in twips: everything drawn is kept and painted scaled to
// the widget, white like paper. Assistive technology reads the texts drawn on it.
class TwipsCanvas final : public QWidget {
public:
    TwipsCanvas(int widthTwips, int heightTwips, QWidget *parent);
    DrawingSurface &surface() { return m_drawn; }
    const RecordingSurface &drawn() const { return m_drawn; }
    // Shows what was drawn since the last look.
    void showDrawing();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_widthTwips;
    int m_heightTwips;
    RecordingSurface m_drawn;
};

// A4 pages with 10 mm margins, portrait or landscape, written as a PDF document into
// a device open for writing.
class PaperDocument final : public DrawingSurface {
public:
    // Starts the document; nullptr with the reason when it cannot be written.
    static std::unique_ptr<PaperDocument> open(QIODevice &out, const QString &title,
                                               QPageLayout::Orientation orientation, QString *error);
    ~PaperDocument() override;

    double width() const override { return m_surface->width(); }
    double height() const override { return m_surface->height(); }
    void setFontSize(double points) override { m_surface->setFontSize(points); }
    void drawText(double x, double y, const QString &text, uint32_t colour = 0) override
    {
        m_surface->drawText(x, y, text, colour);
    }
    void drawLine(double x1, double y1, double x2, double y2, double widthDots, uint32_t colour) override
    {
        m_surface->drawLine(x1, y1, x2, y2, widthDots, colour);
    }
    void drawPoint(double x, double y, double widthDots, uint32_t colour) override
    {
        m_surface->drawPoint(x, y, widthDots, colour);
    }
    void clear() override {}
    void newPage() override;
    // Ends the document and checks that it was written.
    bool finish(QString *error);

private:
    PaperDocument() = default;
    QIODevice *m_out = nullptr;
    std::unique_ptr<QPdfWriter> m_writer;
    std::unique_ptr<QPainter> m_painter;
    std::unique_ptr<PainterSurface> m_surface;
    bool m_finished = false;
};

} // namespace tobrel
