#include "hub/SheetPanel.h"

#include "hub/LevelColumns.h"
#include "hub/TeacherEntry.h"
#include "results/Tally.h"
#include "state/SharedState.h"
#include "ui/Forms.h"
#include "ui/MessageBoxes.h"
#include "ui/PaperOutput.h"
#include "ui/Printers.h"
#include "ui/TwipsSurfaces.h"
#include "ui/Ui.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace tobrel {
namespace {

QPushButton *panelButton(QWidget *parent, const QString &name, const QString &text, const QRect &geometry,
                         const QFont &font)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setFont(font);
    b->setGeometry(geometry);
    return b;
}

QListWidget *choiceList(QWidget *parent, const QString &name, const QString &accessibleName, const QRect &geometry,
                        const QFont &font)
{
    auto *l = new QListWidget(parent);
    l->setObjectName(name);
    l->setAccessibleName(accessibleName);
    l->setSelectionMode(QAbstractItemView::MultiSelection);
    l->setFont(font);
    l->setGeometry(geometry);
    return l;
}

// The panel covers the hub from the view title down to the level columns' scroll bar,
// across the whole form, so nothing of the views shows beside or under it. Its controls
// stand where they stand on a panel placed at 120, 1740 twips of the form.
constexpr double kPanelTop = LevelColumns::kLabel5Top;
constexpr double kPanelBottom = LevelColumns::kScrollTop + LevelColumns::kScrollHeight;
constexpr double kInsetLeft = 120, kInsetTop = 1740 - kPanelTop;

} // namespace

SheetPanel::SheetPanel(AppContext &context, KeptRankings &rankings, const FormScale &scale, QWidget *parent)
    : QFrame(parent), printers(context.printers), dialogs(context.fileDialogs), ctx(context), m_rankings(rankings)
{
    setObjectName(QStringLiteral("Picture11"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    // The panel's edges are rounded as the form's controls are, so it meets them flush.
    const QRect area = scale.rect(0, kPanelTop, FormScale::kFormWidthTwips, kPanelBottom - kPanelTop);
    setGeometry(area);
    setVisible(false);
    // A control at left, top, width, height twips of the panel as designed.
    const auto at = [&](double left, double top, double width, double height) {
        return scale.rect(kInsetLeft + left, kPanelTop + kInsetTop + top, width, height).translated(-area.topLeft());
    };

    Picture12 = new TwipsCanvas(8355, 8715, this);
    Picture12->setObjectName(QStringLiteral("Picture12"));
    Picture12->setAccessibleName(QStringLiteral("成績表"));
    Picture12->setGeometry(at(405, 315, 8355, 8715));

    const QFont buttonFont = scale.font(12);
    List2 = choiceList(this, QStringLiteral("List2"), QStringLiteral("生徒"), at(8970, 240, 2955, 8250),
                       scale.listFont(11));
    List2->setVisible(false);
    Command25 = panelButton(this, QStringLiteral("Command25"), QStringLiteral("他の人のデータを見る"),
                            at(8940, 180, 2985, 675), scale.font(11));
    Label27 = makeLabel(this, QStringLiteral("Label27"), QStringLiteral("ﾚﾍﾞﾙ"));
    Label27->setFont(scale.font(11));
    Label27->setGeometry(at(12660, 300, 1605, 375));
    List3 = choiceList(this, QStringLiteral("List3"), QStringLiteral("レベル"), at(12690, 690, 1605, 1815),
                       scale.listFont(11));
    Command24.push_back(panelButton(this, QStringLiteral("Command24_0"), QStringLiteral("表示"),
                                    at(12735, 2520, 1605, 825), buttonFont));
    Command24.push_back(panelButton(this, QStringLiteral("Command24_1"), QStringLiteral("印刷"),
                                    at(12720, 3540, 1605, 825), buttonFont));
    CommandPdf = panelButton(this, QStringLiteral("CommandPdf"), QStringLiteral("PDF保存"), at(12720, 4560, 1605, 825),
                             buttonFont);
    CommandPdf->setToolTip(QStringLiteral("印刷と同じ成績表を PDF ファイルに保存します"));
    Command18 =
        panelButton(this, QStringLiteral("Command18"), QStringLiteral("戻る"), at(12720, 8100, 1755, 585), buttonFont);
    setTeacher(false);

    connect(Command25, &QPushButton::clicked, this, [this] { Command25_Click(); });
    connect(Command24[0], &QPushButton::clicked, this, [this] { Command24_Click(0); });
    connect(Command24[1], &QPushButton::clicked, this, [this] { Command24_Click(1); });
    connect(CommandPdf, &QPushButton::clicked, this, [this] { CommandPdf_Click(); });
    connect(Command18, &QPushButton::clicked, this, [this] { Command18_Click(); });
    connect(List2, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_settingChoices)
            List2_Click();
    });
    connect(List3, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_settingChoices)
            List3_Click();
    });
}

void SheetPanel::setTeacher(bool teacher)
{
    // Shown and usable for teachers only; hidden is not enough, as a screen reader can
    // press a hidden button, so the handlers ask again.
    Command24[1]->setVisible(teacher);
    Command24[1]->setEnabled(teacher);
    CommandPdf->setVisible(teacher);
    CommandPdf->setEnabled(teacher);
}

void SheetPanel::fillLists(const QStringList &students, int levelCount, int currentStudent)
{
    m_settingChoices = true;
    List2->clear();
    List2->addItems(students);
    List3->clear();
    for (int i = 1; i <= levelCount; ++i)
        List3->addItem(QString::number(i));
    m_settingChoices = false;
    SheetLevel = 1;
    SheetStudent = currentStudent;
}

void SheetPanel::Command17_Click()
{
    SheetStudent = ctx.state.student.CurrentStudent;
    List2->setVisible(false);
    Command25->setVisible(true);
    m_settingChoices = true;
    List2->clearSelection();
    for (int row = 0; row < List3->count(); ++row)
        List3->item(row)->setSelected(row < 3);
    m_settingChoices = false;
    SheetFontSize = 6;
    SheetLevelOffset = 1;
    Command21_Click(0);
}

void SheetPanel::Command25_Click()
{
    Command25->setVisible(false);
    List2->setVisible(true);
}

void SheetPanel::List2_Click() { Command24_Click(0); }

void SheetPanel::List3_Click()
{
    if (isVisible())
        Command24_Click(0);
}

std::vector<int> SheetPanel::chosenStudents() const
{
    std::vector<int> students;
    for (int row = 0; row < List2->count(); ++row) {
        const QListWidgetItem *item = List2->item(row);
        if (item->isSelected())
            students.push_back(item->text().section(u'/', -1).trimmed().toInt());
    }
    if (students.empty())
        students.push_back(SheetStudent);
    return students;
}

std::vector<int> SheetPanel::chosenLevelLines() const
{
    std::vector<int> lines;
    for (int row = 0; row < List3->count(); ++row)
        if (List3->item(row)->isSelected())
            lines.push_back(row + 1);
    return lines;
}

SheetOptions SheetPanel::options(bool printing) const
{
    SheetOptions o;
    o.printing = printing;
    o.fontSize = SheetFontSize;
    o.levelOffset = SheetLevelOffset;
    o.gradeFilter = m_hub.gradeFilter ? m_hub.gradeFilter() : QStringLiteral("全学年");
    o.pointsOrder = m_hub.pointsOrder ? m_hub.pointsOrder() : 1;
    return o;
}

void SheetPanel::blockRanked(int level)
{
    SheetLevel = level;
    if (m_hub.selectOwnLine)
        m_hub.selectOwnLine(level);
}

bool SheetPanel::levelsChosenForPaper()
{
    if (!chosenLevelLines().empty())
        return true;
    ctx.messages.information(this, QStringLiteral("Tobrel"),
                             QStringLiteral("成績表にするレベルを、右の「ﾚﾍﾞﾙ」の一覧で選んでください。"));
    return false;
}

void SheetPanel::Command24_Click(int index)
{
    if (index == 1 && !teacherLoggedIn(ctx.state))
        return; // paper is the teacher's
    if (index == 1 && !levelsChosenForPaper())
        return;
    for (const int student : chosenStudents()) {
        SheetStudent = student;
        if (!Command21_Click(index))
            return;
    }
}

QString SheetPanel::readFor(SheetReading &reading)
{
    QString error;
    const ResultsFile file = sharedResultsFile(ctx.state, waitShowingReason(ctx.wait, this));
    if (readSheetResults(ctx.state, ctx.clock, file, SheetStudent, &reading, &error))
        return {};
    return QStringLiteral("成績ファイルを読めないため、成績表を作れません。\n\n") + error;
}

bool SheetPanel::Command21_Click(int index)
{
    if (index == 1 && !teacherLoggedIn(ctx.state))
        return false;
    SheetPrinting = index == 1 ? 1 : 0;
    setVisible(true);
    raise();
    if (SheetPrinting == 0) {
        SheetReading reading;
        if (const QString failure = readFor(reading); !failure.isEmpty()) {
            ctx.messages.critical(this, QStringLiteral("Tobrel"), failure);
            return false;
        }
        DrawingSurface &canvas = Picture12->surface();
        canvas.clear();
        drawSheet(ctx.state, m_rankings, reading, chosenLevelLines(), options(false), canvas, figures,
                  [this](int level) { blockRanked(level); });
        Picture12->showDrawing();
        return true;
    }

    // The message waits until the wait cursor is gone.
    QString message;
    {
        BusyCursor busy;
        message = printSheet();
    }
    if (message.isEmpty())
        return true;
    ctx.messages.information(this, QStringLiteral("Tobrel"), message);
    return false;
}

QString SheetPanel::printSheet()
{
    QString message;
    const QString printer = findPrinter(*printers, &message);
    if (printer.isEmpty())
        return message;
    SheetReading reading;
    if (QString failure = readFor(reading); !failure.isEmpty())
        return failure;
    return printPagesOn(*printers, printer, paperPages(reading));
}

PaperPages SheetPanel::paperPages(const SheetReading &reading)
{
    return {documentTitle(), QPageLayout::Portrait, [this, &reading](DrawingSurface &paper) {
                drawSheet(ctx.state, m_rankings, reading, chosenLevelLines(), options(true), paper, figures,
                          [this](int level) { blockRanked(level); });
            }};
}

QString SheetPanel::documentTitle() const
{
    const QString name =
        validStudentIndex(SheetStudent) ? ctx.state.roster.StudentNames[SheetStudent].trimmed() : QString();
    return QStringLiteral("成績表 ") + name;
}

QString SheetPanel::suggestedFileName(int student) const
{
    QString name = validStudentIndex(student) ? ctx.state.roster.StudentNames[student] : QString();
    static const QString unsafe = QStringLiteral("/\\:*?\"<>| 　\t");
    QString clean;
    for (const QChar c : name)
        if (!unsafe.contains(c) && c.isPrint())
            clean += c;
    if (clean.isEmpty())
        clean = QStringLiteral("成績表");
    return clean + u'_' + ctx.clock.today().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".pdf");
}

void SheetPanel::CommandPdf_Click()
{
    if (!teacherLoggedIn(ctx.state))
        return;
    if (!levelsChosenForPaper())
        return;
    const std::vector<int> students = chosenStudents();
    std::vector<std::pair<int, QString>> targets;
    const PdfSaving saving{*dialogs, ctx.messages, ctx.state.config, ctx.state.LastSaveFolder, this};
    if (students.size() == 1) {
        const QString path = askPdfFile(saving, QStringLiteral("成績表をPDFで保存"), suggestedFileName(students[0]));
        if (path.isEmpty())
            return;
        targets.emplace_back(students[0], path);
    } else {
        const QString folder =
            chooseSaveFolder(*dialogs, this, ctx.state.LastSaveFolder,
                             QStringLiteral("%1人分の成績表を保存するフォルダー").arg(students.size()));
        if (folder.isEmpty())
            return;
        for (const int s : students) {
            const QString path = QDir(folder).filePath(suggestedFileName(s));
            if (QFileInfo::exists(path) &&
                !ctx.messages.question(this, QStringLiteral("Tobrel"),
                                       QStringLiteral("%1 はもうあります。上書きしますか？").arg(path)))
                continue;
            targets.emplace_back(s, path);
        }
        // Never over one of the school's files, also not through a link.
        for (const auto &[student, path] : targets)
            if (const QString refusal = pdfRefusal(ctx.state.config, path); !refusal.isEmpty())
                return ctx.messages.information(this, QStringLiteral("Tobrel"), refusal);
    }
    if (targets.empty())
        return;

    QStringList saved;
    QString failure;
    {
        BusyCursor busy;
        for (const auto &[student, path] : targets) {
            SheetStudent = student;
            SheetPrinting = 1;
            SheetReading reading;
            failure = readFor(reading);
            if (!failure.isEmpty())
                break;
            QString error;
            if (!writePdfFile(paperPages(reading), path, &error)) {
                failure = pdfFailure(error);
                break;
            }
            saved << QDir::toNativeSeparators(path);
        }
    }
    ctx.messages.information(this, QStringLiteral("Tobrel"), pdfSavedMessage(QStringLiteral("成績表"), saved, failure));
}

void SheetPanel::Command18_Click() { setVisible(false); }

} // namespace tobrel
