#include "hub/SheetLogic.h"

#include "hub/ListFields.h"
#include "roster/Roster.h"
#include "state/SharedState.h"
#include "text/DayNumber.h"
#include "text/FixedWidth.h"
#include "text/Numbers.h"

#include <algorithm>
#include <cmath>

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
    lines[2] = ideo(2) + QStringLiteral("順位") + ideo(4) + alignRight(hashFormat(f.TimeRank), 5) +
               QStringLiteral("位");
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
    lines[6] = ideo(2) + QStringLiteral("順位") + ideo(4) + alignRight(hashFormat(f.PointsRank), 5) +
               QStringLiteral("位");
    lines[7] = ideo(2) + QStringLiteral("獲得ポイント") +
               alignRight(f.PointsEarned ? hashFormat(double(*f.PointsEarned)) : QString(), 5) +
               QStringLiteral("点");
    if (f.SchoolPointsCount != 0)
        lines[8] = ideo(12) + u'/' +
                   alignRight(hashFormat(static_cast<double>(f.SchoolPointsSum) / f.SchoolPointsCount), 5) +
                   QStringLiteral("点");
    return lines;
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

// The room a line of text takes in the fixed-pitch font: half-width characters one
// cell (half a point size wide), the others two.
struct Box {
    double left, top, right, bottom;
    bool meets(const Box &o) const { return left < o.right && o.left < right && top < o.bottom && o.top < bottom; }
};
Box textBox(double x, double y, const QString &text, double points)
{
    double cells = 0;
    for (const QChar c : text)
        cells += (c.unicode() < 0x80 || (c.unicode() >= 0xFF61 && c.unicode() <= 0xFF9F)) ? 1 : 2;
    return {x, y, x + cells * 10 * points, y + 20 * points};
}

// One block being drawn: the surface, its units and what the block has put where.
class Block {
public:
    Block(const SharedState &state, const SheetReading &reading, int level, double top,
          const SheetOptions &options, DrawingSurface &surface)
        : state(state), reading(reading), level(level), T(top), s(surface), paper(options.printing),
          F(options.fontSize), base(paper ? 6 : F), lineWidth(paper ? 30 : 5), X(surface.width() / 2),
          U(surface.height() / 3), d(dataOf(reading, level)),
          scale(static_cast<int32_t>(std::min<int64_t>(10 * (d.timeMax / 10 + 1), 1000)))
    {
    }

    // Page heading, rules, block heading and axes.
    void frame()
    {
        const double W = s.width(), H = s.height();
        if (T < 0.08 * H) {
            s.setFontSize(3 * F);
            const int student = reading.student;
            s.drawText(0.01 * X, 0.02 * U,
                       validStudentIndex(student) ? trimBlanks(state.roster.StudentNames[student]) : QString());
        }
        s.setFontSize(base);
        s.drawLine(0, T, W, T, 2, kSheetRuleColour);
        s.drawLine(0, T + 0.09 * U, W, T + 0.09 * U, 2, kSheetRuleColour);
        s.setFontSize(paper ? 3 * F : 2 * F);
        const QString caption = validLevelIndex(level) ? state.profile.LevelNames[level] : QString();
        s.drawText(0.7 * X, T + 0.01 * U, state.profile.ProgramTitle + u' ' + caption);
        s.setFontSize(F);
        s.drawLine(0.2 * X, T + 0.8 * U, 0.9 * X, T + 0.8 * U, lineWidth, kSheetRuleColour);
        s.drawLine(0.2 * X, T + 0.8 * U, 0.2 * X, T + 0.1 * U, lineWidth, kSheetInk);
    }

    // The level's pass-line and target times as lines across the graph (their values
    // come last, where the point labels leave room).
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
            s.drawLine(0.2 * X, y, 0.9 * X, y, paper ? 10 : 2, m.colour);
            m_marks.push_back({y, m.colour, QString::fromUtf16(m.name) + timeText(m.time), m.above});
        }
    }

    // The runs in the order they were run: a new best red, any other run blue. A
    // student with no run under 1800 among the records the panel counts gets no points:
    // there is nothing to spread the runs over and no scale to draw them against.
    void plot(const QString &gradeFilter)
    {
        if (d.runCount <= 0 || d.plottedUnder1800 <= 0 ||
            !GradeFilterMatches(gradeFilter, gradeIndexOfStudent(state, reading.student)))
            return;
        int64_t k = 0;
        for (const SheetRun &run : d.runs) {
            if (run.time < kSheetCountedBelow)
                ++k;
            const double x = X * (0.2 + 0.7 * static_cast<double>(k) / static_cast<double>(d.plottedUnder1800));
            // A time off the scale stays on the graph's top edge.
            const double y = std::clamp(heightOf(run.time), 0.1 * U, 0.8 * U);
            m_lastX = x;
            if (m_best.empty() || run.time < m_best.back().time) {
                m_best.push_back({y, x, run.time, sheetDateText(run.date)});
                s.drawPoint(x, T + y, lineWidth, kSheetBestColour);
            } else {
                s.drawPoint(x, T + y, lineWidth, kSheetRunColour);
            }
        }
    }

    void panel(const SheetRankFigures &figures)
    {
        s.setFontSize(1.5 * F);
        const double pitch = (paper ? 0.06 : 0.08) * U;
        const double left = 1.05 * X;
        const QStringList lines =
            sheetPanelLines(d, figures, m_best.empty() ? QString() : timeText(m_best.back().time));
        for (int j = 1; j <= 9; ++j)
            if (!lines[j - 1].isEmpty())
                s.drawText(left, T + 0.05 * U + j * pitch, lines[j - 1]);
        s.drawText(left, T + 0.05 * U + 9.5 * pitch, ideo(12) + QStringLiteral(" (塾平均)"));
        s.setFontSize(F);
    }

    // The best points joined, the axis labels, and times and dates at best points 1, 3,
    // 6, 9 ... and the last.
    void bestLabels()
    {
        if (m_best.empty())
            return;
        if (reading.newestDate)
            label(m_lastX - 0.025 * X, T + 0.815 * U, sheetDateText(*reading.newestDate));
        for (size_t i = 1; i < m_best.size(); ++i)
            s.drawLine(m_best[i - 1].x, T + m_best[i - 1].y, m_best[i].x, T + m_best[i].y, 3, kSheetInk);
        label(0.12 * X, T + 0.79 * U, QStringLiteral("0秒"));
        label(0.12 * X, T + 0.1 * U, timeText(scale));

        const BestPoint &first = m_best.front();
        label(0.12 * X, T + first.y - 0.01 * U, timeText(first.time));
        label(first.x - 0.025 * X, T + 0.815 * U, first.date);
        const size_t n = m_best.size(); // best points 1..n are m_best[0..n-1]
        if (n > 5) {
            for (size_t i = 3; i + 2 <= n; i += 3) {
                const BestPoint &b = m_best[i - 1];
                label(b.x - 0.025 * X, T + b.y + 0.01 * U, timeText(b.time));
                label(b.x - 0.025 * X, T + b.y + 0.03 * U, dateLabel(m_best, i - 1));
            }
        }
        const BestPoint &last = m_best.back();
        label(last.x - 0.025 * X, T + last.y + 0.04 * U, timeText(last.time));
        label(last.x - 0.025 * X, T + last.y + 0.07 * U, dateLabel(m_best, n - 1));
    }

    // The values of the pass-line and target times at the right end of their lines: the
    // pass line's above it, the target's below, moved to the other side or a line
    // further out where a label already stands. The block's heading and its rules are
    // kept clear too: a line on the graph's top edge has its value under it.
    void markLabels()
    {
        s.setFontSize(base);
        const double line = 22 * base; // a line of text, with a little air
        m_labels.push_back({0, T - line, s.width(), T + 0.1 * U});
        for (const Mark &m : m_marks) {
            const double x = 0.905 * X;
            const double above = m.y - line, below = m.y + 0.005 * U;
            const double tries[] = {m.above ? above : below, m.above ? below : above,
                                    m.above ? above - line : below + line, m.above ? below + line : above - line};
            double y = tries[0];
            for (const double t : tries)
                if (!blocked(textBox(x, t, m.text, base))) {
                    y = t;
                    break;
                }
            s.drawText(x, y, m.text, m.colour);
            m_labels.push_back(textBox(x, y, m.text, base));
        }
        s.setFontSize(F);
    }

private:
    struct Mark {
        double y;
        uint32_t colour;
        QString text;
        bool above;
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
    void label(double x, double y, const QString &text)
    {
        s.drawText(x, y, text);
        m_labels.push_back(textBox(x, y, text, F));
    }
    bool blocked(const Box &box) const
    {
        return std::any_of(m_labels.begin(), m_labels.end(), [&](const Box &l) { return l.meets(box); });
    }

    const SharedState &state;
    const SheetReading &reading;
    const int level;
    const double T;
    DrawingSurface &s;
    const bool paper;
    const double F;    // the base font size of the sheet
    const double base; // the block's own font size: F on the screen, 6 on paper
    const double lineWidth;
    const double X, U;
    const SheetLevelData &d;
    const int32_t scale; // the time at the top of the graph
    std::vector<BestPoint> m_best;
    double m_lastX = 0;
    std::vector<Mark> m_marks;
    std::vector<Box> m_labels;
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
    block.bestLabels();
    block.markLabels();
}

void drawSheet(const SharedState &state, const SheetReading &reading, const std::vector<int> &chosenLines,
               const SheetOptions &options, DrawingSurface &surface, SheetFiguresTable &figures,
               const std::function<void(int level)> &ranked)
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
            sheetFigures(state, level, reading.student, options.pointsOrder, options.gradeFilter);
        if (ranked)
            ranked(level);
        drawSheetBlock(state, reading, level, T, figures[static_cast<size_t>(level)], options, surface);
    }
}

} // namespace tobrel
