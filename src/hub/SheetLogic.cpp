#include "hub/SheetLogic.h"

#include "hub/ListFields.h"
#include "roster/Roster.h"
#include "state/SharedState.h"
#include "text/DayNumber.h"
#include "text/FixedWidth.h"
#include "text/Numbers.h"

#include <QPointF>

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace tobrel {
namespace {

// n ideographic spaces: the text panel's captions are padded with them.
QString ideo(int n) { return QString(n, QChar(0x3000)); }

QString timeText(int32_t seconds) { return CStr(seconds) + QStringLiteral("秒"); }

} // namespace

QString sheetDateText(double day)
{
    if (!std::isfinite(day) || std::abs(day) > 3e6)
        return {};
    return dateFromDayNumber(day).toString(QStringLiteral("yyyy/MM/dd"));
}

QString hashFormat(double value)
{
    if (!std::isfinite(value))
        return {};
    const double whole = std::round(value); // halves away from zero, as the number format does
    if (whole == 0)
        return {};
    return CStr(whole);
}

QString hashFormat(const QString &text)
{
    if (isNumericText(text))
        return hashFormat(leadingNumber(text));
    return text;
}

bool readSheetResults(const SharedState &state, const Clock &clock, const ResultsFile &file, int student,
                      SheetReading *out, QString *error)
{
    const int levelCount = std::clamp<int>(state.profile.LevelCount, 0, kMaxLevel);
    out->student = student;
    out->levels.assign(static_cast<size_t>(levelCount) + 1, {});
    out->newestDate.reset();
    const double from = dayNumber(clock.today()) + dayFraction(clock.timeOfDay()) - 3650;

    ResultsFile::ScanInfo info;
    const bool ok = file.scan(
        [&](int64_t first, const char *bytes, int64_t count) {
            for (int64_t k = 0; k < count; ++k, bytes += kRecordSize) {
                const ResultRecord::Numbers r = ResultRecord::decodeNumbers(bytes);
                if (!isStudentRun(r) || r.level > levelCount || !(r.date > from))
                    continue;
                out->newestDate = r.date;
                SheetLevelData &d = out->levels[static_cast<size_t>(r.level)];
                const bool counted = r.time < kSheetCountedBelow;
                if (counted) {
                    d.schoolTimeSum += r.time;
                    ++d.schoolRunCount;
                }
                d.schoolBest = std::min(d.schoolBest, r.time);
                if (r.student != student)
                    continue;
                d.runs.push_back({r.time, r.date, first + k});
                d.plottedUnder1800 += counted;
            }
            return true;
        },
        &info, error);
    if (!ok)
        return false;

    // The student's own figures cover the last 20000 records, like the personal times.
    const int64_t tailFrom = info.recordCount - kMaxRecordsInMemory + 1;
    for (SheetLevelData &d : out->levels) {
        for (const SheetRun &run : d.runs) {
            if (run.time < kSheetCountedBelow && run.record >= tailFrom) {
                ++d.runCount;
                d.timeSum += run.time;
                d.timeMax = std::max(d.timeMax, run.time);
            }
        }
    }
    return true;
}

QStringList sheetPanelLines(const SheetLevelData &d, const SheetRankFigures &f, const QString &bestTimeText)
{
    QStringList lines(9);
    lines[0] = QStringLiteral("回数") + ideo(7) + alignRight(CStr(d.runCount), 3) + QStringLiteral("回");
    lines[1] = QStringLiteral("タイム  ") + ideo(2) + u' ' + ideo(1) + QStringLiteral("    本人 / 塾全体");
    lines[2] =
        ideo(2) + QStringLiteral("順位") + ideo(4) + alignRight(hashFormat(f.TimeRank), 5) + QStringLiteral("位");
    lines[3] = ideo(2) + QStringLiteral("最高") + ideo(4) + alignRight(bestTimeText, 6) + QStringLiteral(" /") +
               alignRight(hashFormat(double(d.schoolBest)), 5) + QStringLiteral("秒");
    if (d.runCount != 0) {
        const double own = std::floor(static_cast<double>(d.timeSum) / d.runCount);
        const QString school =
            d.schoolRunCount != 0 ? hashFormat(static_cast<double>(d.schoolTimeSum) / d.schoolRunCount) : QString();
        lines[4] = ideo(2) + QStringLiteral("平均") + ideo(4) + alignRight(hashFormat(own), 5) +
                   QStringLiteral("秒 /") + alignRight(school, 5) + QStringLiteral("秒");
    }
    lines[5] = QStringLiteral("ポイント  ") + ideo(3);
    lines[6] =
        ideo(2) + QStringLiteral("順位") + ideo(4) + alignRight(hashFormat(f.PointsRank), 5) + QStringLiteral("位");
    lines[7] = ideo(2) + QStringLiteral("獲得ポイント") +
               alignRight(f.PointsEarned ? hashFormat(double(*f.PointsEarned)) : QString(), 5) + QStringLiteral("点");
    if (f.SchoolPointsCount != 0)
        lines[8] = ideo(12) + u'/' +
                   alignRight(hashFormat(static_cast<double>(f.SchoolPointsSum) / f.SchoolPointsCount), 5) +
                   QStringLiteral("点");
    return lines;
}

double sheetTextWidth(const QString &text, double points)
{
    double cells = 0;
    for (const QChar c : text) {
        if (c.isLowSurrogate())
            continue; // the second half of a character beyond the basic plane
        const char16_t u = c.unicode();
        cells += (u < 0x80 || (u >= 0xFF61 && u <= 0xFF9F)) ? 1 : 2;
    }
    return cells * 10 * points;
}

SheetBox sheetTextBox(double x, double y, const QString &text, double points)
{
    return {x, y, x + sheetTextWidth(text, points), y + 20 * points};
}

namespace {

struct BestPoint {
    double y;
    double x;
    int32_t time;
    QString date;
};

// The date under a labelled best point: month and day only when the year is that of
// the best point before it.
QString dateLabel(const std::vector<BestPoint> &best, size_t i)
{
    const QString &date = best[i].date;
    if (i > 0 && date.left(5) == best[i - 1].date.left(5))
        return date.right(5);
    return date;
}

// A text cut to a width, "…" marking the cut; "" when not even that fits.
QString fitted(const QString &text, double points, double width)
{
    if (sheetTextWidth(text, points) <= width)
        return text;
    const QString mark = QStringLiteral("…");
    QString cut = text;
    while (!cut.isEmpty() && sheetTextWidth(cut + mark, points) > width)
        cut.chop(cut.size() >= 2 && cut.back().isLowSurrogate() ? 2 : 1);
    return cut.isEmpty() ? QString() : cut + mark;
}

// y0, then y0 moved by one step down and up, two steps, ... `count` steps each way.
std::vector<double> nudged(double y0, double step, int count)
{
    std::vector<double> ys{y0};
    for (int k = 1; k <= count; ++k) {
        ys.push_back(y0 + k * step);
        ys.push_back(y0 - k * step);
    }
    return ys;
}

// One block being drawn: the surface, its units and what the block has put where.
//
// Everything that stands on the block is kept as a box: the texts, the rules, the axes,
// the target and pass-line lines and the plotted runs; the line joining the bests as the
// thin line it is. A label goes to the first of its spots (the one the sheet has always
// used first, then spots nearby) where it keeps clear of all of them and stays in its
// own area: the graph's labels inside the graph, the axis labels left of the vertical
// axis, the dates under the time axis, none of them into the text panel or the next
// block. A label with no free spot is left out, and a heading too long for its line is
// cut. The labels are placed in the order of what a parent most needs: the scale, the
// target and pass-line values, the current best, the first best, the dates, then the
// bests in between.
class Block {
public:
    Block(const SharedState &sharedState, const SheetReading &sheetReading, int blockLevel, double top,
          const SheetOptions &options, DrawingSurface &surface)
        : state(sharedState), reading(sheetReading), level(blockLevel), T(top), s(surface), paper(options.printing),
          F(options.fontSize), lineWidth(paper ? 30 : 5), X(surface.width() / 2), U(surface.height() / 3),
          dot(paper ? kPaperDotTwips : kScreenDotTwips), axisHalf(lineWidth * dot / 2), ruleHalf(dot), gap(3 * F),
          d(dataOf(reading, level)), scale(static_cast<int32_t>(std::min<int64_t>(10 * (d.timeMax / 10 + 1), 1000)))
    {}

    // Page heading, rules, block heading and axes.
    void frame()
    {
        const double W = s.width(), H = s.height();
        if (T < 0.08 * H) {
            // The student's name heads the page, above the first block's rule.
            const int student = reading.student;
            const QString name =
                validStudentIndex(student) ? trimBlanks(state.roster.StudentNames[student]) : QString();
            const double size = 3 * F;
            const SheetBox area{0, 0, W, T - ruleHalf - gap};
            place({{0.01 * X, 0.02 * U}, {0.01 * X, area.bottom - 20 * size}}, {fitted(name, size, W - 0.02 * X)}, size,
                  area);
        }
        rule(T);
        rule(T + 0.09 * U);
        // The block heading stands between the two rules, as large as the room allows.
        const SheetBox band{0, T + ruleHalf, W, T + 0.09 * U - ruleHalf};
        const double size = std::min(paper ? 3 * F : 2 * F, (band.bottom - band.top - gap) / 20);
        const QString caption = validLevelIndex(level) ? state.profile.LevelNames[level] : QString();
        const QString heading = fitted(state.profile.ProgramTitle + u' ' + caption, size, W - 0.7 * X);
        place({{0.7 * X, band.top + (band.bottom - band.top - 20 * size) / 2}}, {heading}, size, band);
        line(0.2 * X, T + 0.8 * U, 0.9 * X, T + 0.8 * U, lineWidth, kSheetRuleColour);
        line(0.2 * X, T + 0.8 * U, 0.2 * X, T + 0.1 * U, lineWidth, kSheetInk);
    }

    // The level's pass-line and target times as lines across the graph (their values
    // come with the labels).
    void markLines()
    {
        if (!validLevelIndex(level))
            return;
        const struct {
            int32_t time;
            uint32_t colour;
            const char16_t *name;
            bool above;
        } marks[] = {{state.criteria.CritPassTime[level], kSheetPassColour, u"合格", true},
                     {state.criteria.CritTargetTime[level], kSheetTargetColour, u"目標", false}};
        for (const auto &m : marks) {
            if (m.time <= 0 || m.time > scale)
                continue;
            const double y = T + heightOf(m.time);
            line(0.2 * X, y, 0.9 * X, y, paper ? 10 : 2, m.colour);
            m_marks.push_back({y, m.colour, QString::fromUtf16(m.name) + timeText(m.time), m.above});
        }
    }

    // The runs in the order they were run: a new best red, any other run blue. Only a
    // counted run (under 1800 seconds) can be a best: a timed-out run, or one off the
    // scale, is a plain mark on the graph's top edge. A student with no run under 1800
    // among the records the panel counts gets no points: there is nothing to spread the
    // runs over and no scale to draw them against.
    void plot(const QString &gradeFilter)
    {
        if (d.runCount <= 0 || d.plottedUnder1800 <= 0 ||
            !GradeFilterMatches(gradeFilter, gradeIndexOfStudent(state, reading.student)))
            return;
        int64_t k = 0;
        std::unordered_map<int64_t, size_t> cells; // square -> its box in m_taken
        for (const SheetRun &run : d.runs) {
            const bool counted = run.time < kSheetCountedBelow;
            if (counted)
                ++k;
            const double x = X * (0.2 + 0.7 * static_cast<double>(k) / static_cast<double>(d.plottedUnder1800));
            // A time off the scale stays on the graph's top edge.
            const double y = std::clamp(heightOf(run.time), 0.1 * U, 0.8 * U);
            m_lastX = x;
            if (counted && (m_best.empty() || run.time < m_best.back().time)) {
                m_best.push_back({y, x, run.time, sheetDateText(run.date)});
                s.drawPoint(x, T + y, lineWidth, kSheetBestColour);
            } else {
                s.drawPoint(x, T + y, lineWidth, kSheetRunColour);
            }
            // A student with thousands of runs has most of them on a few spots: the points
            // are gathered by squares of a point's width, one box around those of each.
            const double side = 2 * axisHalf;
            const int64_t cell =
                static_cast<int64_t>(std::floor(x / side)) * 1000003 + static_cast<int64_t>(std::floor(y / side));
            const SheetBox point{x - axisHalf, T + y - axisHalf, x + axisHalf, T + y + axisHalf};
            if (const auto [at, added] = cells.try_emplace(cell, m_taken.size()); added) {
                m_taken.push_back(point);
            } else {
                SheetBox &box = m_taken[at->second];
                box = {std::min(box.left, point.left), std::min(box.top, point.top), std::max(box.right, point.right),
                       std::max(box.bottom, point.bottom)};
            }
        }
        // The line joining the bests.
        for (size_t i = 1; i < m_best.size(); ++i) {
            const BestPoint &a = m_best[i - 1], &b = m_best[i];
            s.drawLine(a.x, T + a.y, b.x, T + b.y, 3, kSheetInk);
            m_joins.push_back({a.x, T + a.y, b.x, T + b.y});
        }
    }

    void panel(const SheetRankFigures &figures)
    {
        const double size = 1.5 * F;
        const double pitch = (paper ? 0.06 : 0.08) * U;
        const double left = 1.05 * X;
        const QStringList lines =
            sheetPanelLines(d, figures, m_best.empty() ? QString() : timeText(m_best.back().time));
        for (int j = 1; j <= 9; ++j)
            if (!lines[j - 1].isEmpty())
                put(left, T + 0.05 * U + j * pitch, lines[j - 1], size);
        // "(塾平均)" follows the school's average points on its line.
        const QString average = ideo(12) + u'/' + QString(5, u' ') + QStringLiteral("点 ");
        put(left + sheetTextWidth(average, size), T + 0.05 * U + 9 * pitch, QStringLiteral("(塾平均)"), size);
    }

    // The labels, what a parent most needs first.
    void labels()
    {
        if (!m_best.empty()) {
            const SheetBox axis = axisLabelArea();
            place(spotsAt({axis.right}, nudged(T + 0.1 * U, 5 * F, 4)), {timeText(scale)}, F, axis);
            place(spotsAt({axis.right}, nudged(T + 0.79 * U, 5 * F, 4)), {QStringLiteral("0秒")}, F, axis);
        }
        // The target and pass-line values, shown nowhere else.
        markLabels();
        const size_t n = m_best.size(); // best points 1..n are m_best[0..n-1]
        // The current best beside its point (the first best is labelled on the axes).
        if (n > 1)
            pointLabel(n - 1, 0.04 * U);
        if (n == 0)
            return;
        const BestPoint &first = m_best.front();
        const double step = 5 * F;
        place(spotsAt({axisLabelArea().right}, nudged(T + first.y - 0.01 * U, step, 6)), {timeText(first.time)}, F,
              axisLabelArea());
        const QString firstDate = first.date;
        const bool firstDated = dateUnderTheAxis(first.x, firstDate);
        if (reading.newestDate) {
            const QString newest = sheetDateText(*reading.newestDate);
            // With one counted run the newest record is most often that run: its date
            // stands there once.
            if (!(firstDated && newest == firstDate && std::abs(m_lastX - first.x) < sheetTextWidth(newest, F)))
                dateUnderTheAxis(m_lastX, newest);
        }
        if (n > 5)
            for (size_t i = 3; i + 2 <= n; i += 3)
                pointLabel(i - 1, 0.01 * U);
    }

private:
    struct Mark {
        double y;
        uint32_t colour;
        QString text;
        bool above;
    };
    struct Segment {
        double x1, y1, x2, y2;
        // True when some part of the segment lies inside the box (clipped to it, as a
        // line is clipped to a window, one edge after the other).
        bool crosses(const SheetBox &b) const
        {
            double t0 = 0, t1 = 1;
            const double dx = x2 - x1, dy = y2 - y1;
            const double p[] = {-dx, dx, -dy, dy};
            const double q[] = {x1 - b.left, b.right - x1, y1 - b.top, b.bottom - y1};
            for (int i = 0; i < 4; ++i) {
                if (p[i] == 0) {
                    if (q[i] <= 0)
                        return false;
                    continue;
                }
                const double t = q[i] / p[i];
                if (p[i] < 0)
                    t0 = std::max(t0, t);
                else
                    t1 = std::min(t1, t);
                if (t0 >= t1)
                    return false;
            }
            return true;
        }
    };
    static const SheetLevelData &dataOf(const SheetReading &reading, int level)
    {
        static const SheetLevelData none;
        return level >= 1 && level < static_cast<int>(reading.levels.size())
                   ? reading.levels[static_cast<size_t>(level)]
                   : none;
    }
    // Heights inside the block: the graph runs from 0.1 U (the scale's time) down to
    // 0.8 U (no time).
    double heightOf(int32_t time) const { return U * (0.8 - 0.7 * static_cast<double>(time) / scale); }

    // The areas labels keep to: left of the vertical axis; inside the graph (and the
    // room right of it up to the text panel); under the time axis.
    SheetBox axisLabelArea() const
    {
        return {0, T + 0.09 * U + ruleHalf + gap, 0.2 * X - axisHalf - gap, T + 0.9 * U - ruleHalf - gap};
    }
    SheetBox graphArea() const
    {
        return {0.2 * X + axisHalf + gap, T + 0.09 * U + ruleHalf + gap, 1.05 * X - gap, T + 0.8 * U - axisHalf - gap};
    }
    SheetBox underAxisArea() const
    {
        return {0, T + 0.8 * U + axisHalf + gap, 1.05 * X - gap, T + 0.9 * U - ruleHalf - gap};
    }

    void rule(double y) { line(0, y, s.width(), y, 2, kSheetRuleColour); }
    // A straight line across or down the block, kept clear of the labels.
    void line(double x1, double y1, double x2, double y2, double widthDots, uint32_t colour)
    {
        s.drawLine(x1, y1, x2, y2, widthDots, colour);
        const double half = widthDots * dot / 2;
        m_taken.push_back(
            {std::min(x1, x2) - half, std::min(y1, y2) - half, std::max(x1, x2) + half, std::max(y1, y2) + half});
    }
    void put(double x, double y, const QString &text, double size, uint32_t colour = kSheetInk)
    {
        if (size != m_size) {
            s.setFontSize(size);
            m_size = size;
        }
        s.drawText(x, y, text, colour);
        m_texts.push_back(sheetTextBox(x, y, text, size));
    }
    // True when the box comes within a little air of anything drawn, or within half a
    // blank of another text, so that two labels side by side never read as one
    // ("73秒59秒").
    bool blocked(const SheetBox &text) const
    {
        const auto grown = [&](double air) {
            return SheetBox{text.left - air, text.top - air, text.right + air, text.bottom + air};
        };
        const SheetBox box = grown(gap / 2), apart = grown(5 * F);
        if (std::any_of(m_taken.begin(), m_taken.end(), [&](const SheetBox &t) { return t.meets(box); }) ||
            std::any_of(m_texts.begin(), m_texts.end(), [&](const SheetBox &t) { return t.meets(apart); }))
            return true;
        // The best line is thin: it blocks the box when it passes within its half width.
        const double half = 3 * dot / 2;
        const SheetBox wide{box.left - half, box.top - half, box.right + half, box.bottom + half};
        return std::any_of(m_joins.begin(), m_joins.end(), [&](const Segment &j) { return j.crosses(wide); });
    }
    static std::vector<QPointF> spotsAt(const std::vector<double> &xs, const std::vector<double> &ys)
    {
        std::vector<QPointF> spots;
        for (const double y : ys)
            for (const double x : xs)
                spots.emplace_back(x, y);
        return spots;
    }
    // Puts a label of one or more lines (stacked a little apart) at the first spot (its
    // top-left corner, first moved sideways into the area) that lies in the area and
    // where it meets nothing. False, with nothing drawn, when no spot is free.
    bool place(const std::vector<QPointF> &spots, const QStringList &lines, double size, const SheetBox &area,
               uint32_t colour = kSheetInk)
    {
        const double pitch = 22 * size;
        double width = 0;
        for (const QString &text : lines)
            width = std::max(width, sheetTextWidth(text, size));
        const double height = 20 * size + pitch * static_cast<double>(lines.size() - 1);
        if (lines.isEmpty() || width <= 0 || width > area.right - area.left || height > area.bottom - area.top)
            return false;
        for (const QPointF &spot : spots) {
            const double x = std::clamp(spot.x(), area.left, area.right - width);
            const double y = spot.y();
            if (y < area.top || y + height > area.bottom)
                continue;
            bool free = true;
            for (qsizetype i = 0; i < lines.size() && free; ++i)
                free = !blocked(sheetTextBox(x, y + static_cast<double>(i) * pitch, lines[i], size));
            if (!free)
                continue;
            for (qsizetype i = 0; i < lines.size(); ++i)
                put(x, y + static_cast<double>(i) * pitch, lines[i], size, colour);
            return true;
        }
        return false;
    }

    // The time and the date of best point i beside it: under it, `below` lower, or over
    // it; when the two do not fit together, the time alone.
    void pointLabel(size_t i, double below)
    {
        const BestPoint &b = m_best[i];
        const QStringList both{timeText(b.time), dateLabel(m_best, i)};
        for (const QStringList &lines : {both, QStringList{both.front()}}) {
            double width = 0;
            for (const QString &text : lines)
                width = std::max(width, sheetTextWidth(text, F));
            const double height = 20 * F + 22 * F * static_cast<double>(lines.size() - 1);
            const double y = T + b.y;
            const double under = y + std::max(below, axisHalf + gap), over = y - axisHalf - gap - height;
            std::vector<double> ys;
            const double step = 10 * F;
            for (int k = 0; k <= 4; ++k) {
                ys.push_back(under + k * step);
                ys.push_back(over - k * step);
            }
            const std::vector<double> xs{b.x - 0.025 * X, b.x - width / 2, b.x + 0.025 * X - width,
                                         b.x + axisHalf + gap, b.x - axisHalf - gap - width};
            if (place(spotsAt(xs, ys), lines, F, graphArea()))
                return;
        }
    }

    // A date under the time axis, below the point at x.
    bool dateUnderTheAxis(double x, const QString &date)
    {
        const double width = sheetTextWidth(date, F);
        return place(spotsAt({x - 0.025 * X, x - width / 2, x + 0.025 * X - width}, nudged(T + 0.815 * U, 5 * F, 3)),
                     {date}, F, underAxisArea());
    }

    // The values of the pass-line and target times at the right end of their lines: the
    // pass line's above it, the target's below, or on the other side, a little further
    // out, or just inside the graph's end, where nothing stands yet.
    void markLabels()
    {
        const double h = 20 * F, step = 5 * F;
        const double markHalf = (paper ? 10 : 2) * dot / 2;
        for (const Mark &m : m_marks) {
            const double above = m.y - markHalf - gap - h, below = m.y + markHalf + gap;
            std::vector<double> ys;
            for (int k = 0; k <= 8; ++k) {
                ys.push_back(m.above ? above - k * step : below + k * step);
                ys.push_back(m.above ? below + k * step : above - k * step);
            }
            const double width = sheetTextWidth(m.text, F);
            place(spotsAt({0.905 * X, 0.9 * X + axisHalf + gap, 0.9 * X - width}, ys), {m.text}, F, graphArea(),
                  m.colour);
        }
    }

    const SharedState &state;
    const SheetReading &reading;
    const int level;
    const double T;
    DrawingSurface &s;
    const bool paper;
    const double F; // the base font size of the sheet
    const double lineWidth;
    const double X, U;
    const double dot; // twips of a line-width dot
    const double axisHalf; // half the width of an axis
    const double ruleHalf; // half the width of a rule
    const double gap; // the air between a label and what is next to it
    const SheetLevelData &d;
    const int32_t scale; // the time at the top of the graph
    std::vector<BestPoint> m_best;
    double m_lastX = 0;
    std::vector<Mark> m_marks;
    std::vector<SheetBox> m_taken; // the lines and points a label must keep clear of
    std::vector<SheetBox> m_texts; // the texts drawn
    std::vector<Segment> m_joins; // the line joining the bests
    double m_size = -1; // the surface's font size as last set
};

} // namespace

void drawSheetBlock(const SharedState &state, const SheetReading &reading, int level, double top,
                    const SheetRankFigures &figures, const SheetOptions &options, DrawingSurface &surface)
{
    Block block(state, reading, level, top, options, surface);
    block.frame();
    block.markLines();
    block.plot(options.gradeFilter);
    block.panel(figures);
    block.labels();
}

void drawSheet(const SharedState &state, KeptRankings &kept, const SheetReading &reading,
               const std::vector<int> &chosenLines, const SheetOptions &options, DrawingSurface &surface,
               SheetFiguresTable &figures, const std::function<void(int level)> &ranked)
{
    const double H = surface.height();
    double T = 0.05 * H - 0.3 * H;
    for (const int line : chosenLines) {
        const int level = line + options.levelOffset - 1;
        T += 0.3 * H;
        // A line beyond the program's levels ends the sheet before it turns the page.
        if (level > state.profile.LevelCount || level > kMaxLevel)
            break;
        if (T > 0.9 * H) {
            if (options.printing)
                surface.newPage();
            else
                surface.clear();
            T = 0.05 * H;
        }
        if (level < 1)
            continue;
        figures[static_cast<size_t>(level)] =
            sheetFigures(state, kept, level, reading.student, options.pointsOrder, options.gradeFilter);
        if (ranked)
            ranked(level);
        drawSheetBlock(state, reading, level, T, figures[static_cast<size_t>(level)], options, surface);
    }
}

} // namespace tobrel
