#include "hub/LevelColumns.h"

#include "hub/ColumnTexts.h"

#include "state/SharedState.h"
#include "ui/LineListModel.h"
#include "ui/Ui.h"

#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QStyle>

#include <cmath>
#include <limits>

namespace tobrel {
namespace {

// Rows of a column, in twips from the top of the form.
constexpr double kColumnTop = LevelColumns::kLabel5Top + 1.05 * LevelColumns::kLabel5Height;
constexpr double kBadgeHeight = 450, kButtonTop = kColumnTop + 495, kButtonHeight = 660;
constexpr double kHeadingTop = kButtonTop + 705, kRowHeight = 315;
constexpr double kValueTop = kHeadingTop + kRowHeight, kPassTop = kValueTop + kRowHeight + 30;
constexpr double kListTop = kPassTop + kRowHeight + 30, kListHeight = 6000;
constexpr double kCriteriaTop = kListTop + kListHeight + 30;
static_assert(std::abs(kCriteriaTop + kRowHeight + 60 - LevelColumns::kScrollTop) < 1,
              "the scroll bar sits just below the criteria lines");
constexpr double kListPoints = 10.5; // the lists' font as designed

QLabel *columnLabel(QWidget *parent, const FormScale &tw, const char *name, int i, double points,
                    const QString &text = {})
{
    QLabel *l = makeLabel(parent, arrayElementName(name, i), text);
    l->setFont(tw.font(points));
    return l;
}

QPushButton *columnButton(QWidget *parent, const FormScale &tw, const char *name, int i, const QString &caption,
                          double points = 13)
{
    QPushButton *b = makeButton(parent, arrayElementName(name, i), caption);
    b->setFont(tw.font(points));
    return b;
}

} // namespace

LevelColumns::LevelColumns(QWidget *stage, const FormScale &scale, const ColumnLayout &layout,
                           const SharedState &state, std::function<void(int level)> startLevel)
    : m_scale(scale), m_layout(layout), m_levelCount(state.profile.LevelCount)
{
    const FormScale &tw = scale;
    const int n = m_levelCount;
    for (int i = 0; i <= n; ++i) {
        auto *badge = columnLabel(stage, tw, "Label1", i, 14, QString::number(i));
        badge->setAlignment(Qt::AlignCenter);
        badge->setStyleSheet(QStringLiteral("background: #1a3d8f; color: white; border-radius: %1px;").arg(tw.px(90)));
        auto *name = columnLabel(stage, tw, "Label3", i, 14);
        name->setCursor(Qt::PointingHandCursor);
        auto *start = columnButton(stage, tw, "Command4", i, startButtonCaption(i), 16);
        start->setToolTip(QStringLiteral("クリックしてスタートします。番号を押してもよろしい"));
        auto *practice = columnButton(stage, tw, "Command28", i, QStringLiteral("練習"));
        practice->setVisible(false);
        auto *explain = columnButton(stage, tw, "Command30", i, QStringLiteral("★解説★"));
        explain->setVisible(false);
        auto *notice = columnLabel(stage, tw, "Text1", i, 16, QStringLiteral("やりすぎ禁止"));
        notice->setAlignment(Qt::AlignCenter);
        notice->setStyleSheet(QStringLiteral("background: #fff0f0; color: #c00000; border: %1px solid #c00000;")
                                  .arg(std::max(1, tw.px(30))));
        notice->setVisible(false);
        auto *head9 = columnLabel(stage, tw, "Label9", i, 11, QString::number(i));
        auto *head10 = columnLabel(stage, tw, "Label10", i, 11, QString::number(i));
        auto *value14 = columnLabel(stage, tw, "Label14", i, 12);
        auto *value15 = columnLabel(stage, tw, "Label15", i, 12);
        auto *pass = columnLabel(stage, tw, "Label8", i, 11);
        auto *list = new QListView(stage);
        auto *lines = new LineListModel(list);
        list->setModel(lines);
        list->setUniformItemSizes(true);
        list->setEditTriggers(QAbstractItemView::NoEditTriggers);
        list->setObjectName(arrayElementName("List5", i));
        list->setAccessibleName(state.profile.LevelNames[i].isEmpty() ? arrayElementName("List5", i)
                                                                      : state.profile.LevelNames[i]);
        list->setFont(tw.listFont(kListPoints));
        // Lines are never shortened with "…": the font is fitted to the widest line
        // (fitListFonts), and a line wider still can be scrolled to.
        list->setTextElideMode(Qt::ElideNone);
        list->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
        auto *crit = columnLabel(stage, tw, "Label7", i, 11);
        auto *show = columnButton(stage, tw, "Command3", i, QStringLiteral("成績表示"));
        show->setVisible(false);
        auto *reset = columnButton(stage, tw, "Command2", i, QStringLiteral("タイム初期化"));
        reset->setVisible(false);

        Label1.push_back(badge);
        Label3.push_back(name);
        Command4.push_back(start);
        Command28.push_back(practice);
        Command30.push_back(explain);
        Text1.push_back(notice);
        Label9.push_back(head9);
        Label10.push_back(head10);
        Label14.push_back(value14);
        Label15.push_back(value15);
        Label8.push_back(pass);
        List5.push_back(list);
        List5Lines.push_back(lines);
        Label7.push_back(crit);
        Command3.push_back(show);
        Command2.push_back(reset);
        m_ownLine.push_back(-1);

        if (i == 0) {
            // The template column is never shown.
            for (QWidget *w : std::initializer_list<QWidget *>{badge, name, start, head9, head10, value14, value15,
                                                               pass, list, crit})
                w->setVisible(false);
            continue;
        }
        name->setText(state.profile.LevelNames[i]);
        name->setToolTip(state.profile.LevelNames[i]);
        if (state.profile.LevelTimed[i] == 1)
            pass->setText(passWindowLine(state, i, state.student.CurrentStudent));
        crit->setText(criteriaLine(state, i));
        list->raise();
        QObject::connect(start, &QPushButton::clicked, start, [startLevel, i] { startLevel(i); });
    }
    // Before the first activation every column stands in level order, the template at
    // the left edge of the first.
    placeColumn(0, m_layout.left);
    place(1);
}

void LevelColumns::placeColumn(int i, double x)
{
    const FormScale &tw = m_scale;
    const double W = m_layout.width;
    const double badge = 0.2 * W, inner = W - m_layout.gap, half = W / 2;
    Label1[i]->setGeometry(tw.rect(x, kColumnTop, badge, kBadgeHeight));
    Label3[i]->setGeometry(tw.rect(x + badge, kColumnTop, W - badge, kBadgeHeight));
    Command4[i]->setGeometry(tw.rect(x, kButtonTop, inner, kButtonHeight));
    Command28[i]->setGeometry(tw.rect(x + inner - W / 5, kButtonTop, W / 5, kButtonHeight));
    Command30[i]->setGeometry(tw.rect(x, kButtonTop, half, kButtonHeight));
    Text1[i]->setGeometry(tw.rect(x, kButtonTop, inner, kButtonHeight));
    Label9[i]->setGeometry(tw.rect(x, kHeadingTop, half, kRowHeight));
    Label10[i]->setGeometry(tw.rect(x + half, kHeadingTop, half, kRowHeight));
    Label14[i]->setGeometry(tw.rect(x, kValueTop, half, kRowHeight));
    Label15[i]->setGeometry(tw.rect(x + half, kValueTop, half, kRowHeight));
    Label8[i]->setGeometry(tw.rect(x, kPassTop, inner, kRowHeight));
    List5[i]->setGeometry(tw.rect(x, kListTop, inner, kListHeight));
    Label7[i]->setGeometry(tw.rect(x, kCriteriaTop, inner, kRowHeight));
}

void LevelColumns::fitListFonts()
{
    int cells = 0;
    for (int i = 1; i <= m_levelCount; ++i)
        cells = std::max(cells, List5Lines[i]->widestLineCells());
    const int designed = m_scale.listFont(kListPoints).pixelSize();
    int pixels = designed;
    if (cells > 0 && m_levelCount >= 1) {
        // Room for the widest line beside a vertical scroll bar in the narrowest list
        // (rounding to pixels may leave one a pixel narrower than the others); a
        // half-width cell of the fixed-pitch font is half its pixel size.
        int usable = std::numeric_limits<int>::max();
        for (int i = 1; i <= m_levelCount; ++i) {
            QListView *list = List5[i];
            usable = std::min(usable, list->width() - 2 * list->frameWidth() -
                                          list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list) - 6);
        }
        pixels = std::min(designed, 2 * usable / cells);
        // Even sizes keep half-width cells whole pixels, so the columns line up.
        pixels = std::max(8, pixels - pixels % 2);
    }
    for (int i = 1; i <= m_levelCount; ++i)
        if (List5[i]->font().pixelSize() != pixels)
            List5[i]->setFont(listFontInPixels(pixels));
}

void LevelColumns::place(int columnScroll)
{
    for (int i = 1; i <= m_levelCount; ++i)
        placeColumn(i, m_layout.leftOf(i, columnScroll));
}

void LevelColumns::showAvailability(const Availability &a)
{
    for (int i = 1; i <= m_levelCount; ++i) {
        Command4[i]->setEnabled(a.enabled[i]);
        Text1[i]->setText(a.noCriteria[i] ? noCriteriaNotice() : QStringLiteral("やりすぎ禁止"));
        Text1[i]->setVisible(a.barred[i] || a.noCriteria[i]);
        if (a.barred[i] || a.noCriteria[i])
            Text1[i]->raise();
    }
}

void LevelColumns::showLists(bool visible)
{
    for (int i = 1; i <= m_levelCount; ++i)
        List5[i]->setVisible(visible);
}

void LevelColumns::setOwnLine(int level, int row)
{
    if (level >= 1 && level <= m_levelCount)
        m_ownLine[level] = row;
}

void LevelColumns::showOwnLines()
{
    for (int i = 1; i <= m_levelCount; ++i) {
        const int row = m_ownLine[i];
        if (row < 0 || row >= List5Lines[i]->rowCount())
            continue;
        const QModelIndex index = List5Lines[i]->index(row);
        List5[i]->setCurrentIndex(index);
        List5[i]->scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
}

} // namespace tobrel
