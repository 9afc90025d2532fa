// A surface the result sheet is drawn on, in twips: the canvas on the screen, a page of
// paper, or a recording for tests. Positions are twips from the surface's top-left
// corner; font sizes are points (20 twips each); line widths are in the surface's dots
// (a pixel of the 1024 x 768 screen, or 1/600 inch on paper), as the sheet gives them.
// Colours are 0x00BBGGRR.
#pragma once
#include <QString>

#include <cstdint>
#include <vector>

namespace tobrel {

// Twips of one line-width dot: a pixel of the 1024 x 768 screen, or 1/600 inch on paper.
constexpr double kScreenDotTwips = 15;
constexpr double kPaperDotTwips = 1440.0 / 600;

class DrawingSurface {
public:
    virtual ~DrawingSurface() = default;
    virtual double width() const = 0; // twips
    virtual double height() const = 0; // twips
    // Font size, in points, of the texts drawn from now on.
    virtual void setFontSize(double points) = 0;
    // One line of text whose top-left corner stands at (x, y).
    virtual void drawText(double x, double y, const QString &text, uint32_t colour = 0) = 0;
    virtual void drawLine(double x1, double y1, double x2, double y2, double widthDots, uint32_t colour) = 0;
    // A round dot of the given width centred on (x, y).
    virtual void drawPoint(double x, double y, double widthDots, uint32_t colour) = 0;
    // The screen's canvas: wipes everything drawn.
    virtual void clear() = 0;
    // Paper: the next page.
    virtual void newPage() = 0;
};

// Keeps what is drawn as a list of operations: the screen's canvas replays it when it
// paints, and tests read it.
class RecordingSurface final : public DrawingSurface {
public:
    enum class Kind { FontSize, Text, Line, Point, NewPage };
    struct Op {
        Kind kind;
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        double size = 0; // points (FontSize) or dots (Line, Point)
        uint32_t colour = 0;
        QString text;
    };

    RecordingSurface(double widthTwips, double heightTwips) : m_width(widthTwips), m_height(heightTwips) {}

    double width() const override { return m_width; }
    double height() const override { return m_height; }
    void setFontSize(double points) override { m_ops.push_back({Kind::FontSize, 0, 0, 0, 0, points, 0, {}}); }
    void drawText(double x, double y, const QString &text, uint32_t colour = 0) override
    {
        m_ops.push_back({Kind::Text, x, y, 0, 0, 0, colour, text});
    }
    void drawLine(double x1, double y1, double x2, double y2, double widthDots, uint32_t colour) override
    {
        m_ops.push_back({Kind::Line, x1, y1, x2, y2, widthDots, colour, {}});
    }
    void drawPoint(double x, double y, double widthDots, uint32_t colour) override
    {
        m_ops.push_back({Kind::Point, x, y, 0, 0, widthDots, colour, {}});
    }
    // A clear on the screen forgets what was drawn before it.
    void clear() override { m_ops.clear(); }
    void newPage() override { m_ops.push_back({Kind::NewPage, 0, 0, 0, 0, 0, 0, {}}); }

    const std::vector<Op> &ops() const { return m_ops; }
    // Draws everything recorded onto another surface.
    void replay(DrawingSurface &target) const
    {
        for (const Op &op : m_ops) {
            switch (op.kind) {
            case Kind::FontSize:
                target.setFontSize(op.size);
                break;
            case Kind::Text:
                target.drawText(op.x1, op.y1, op.text, op.colour);
                break;
            case Kind::Line:
                target.drawLine(op.x1, op.y1, op.x2, op.y2, op.size, op.colour);
                break;
            case Kind::Point:
                target.drawPoint(op.x1, op.y1, op.size, op.colour);
                break;
            case Kind::NewPage:
                target.newPage();
                break;
            }
        }
    }

private:
    double m_width;
    double m_height;
    std::vector<Op> m_ops;
};

} // namespace tobrel
