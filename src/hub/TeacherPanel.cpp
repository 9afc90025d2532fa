#include "hub/TeacherPanel.h"

#include "hub/TeacherEntry.h"
#include "results/DamagedRecords.h"
#include "results/Tally.h"
#include "state/SharedState.h"
#include "ui/FormNames.h"
#include "ui/Forms.h"
#include "ui/MessageBoxes.h"
#include "ui/Ui.h"
#include "ui/WhenPainted.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <utility>

namespace tobrel {

namespace {

// The count of damaged records, kept for as long as the program runs: the hub, and the
// panel with it, is made afresh at every log-in.
DamagedRecordCount &keptDamagedCount()
{
    static DamagedRecordCount kept;
    return kept;
}

// Records the count may read before the hub is painted (about 5 ms); when it must read
// more (the first look of the day at a big file), it counts once the hub is up.
constexpr int64_t kDamagedCountedBeforePaint = 500000;

} // namespace

TeacherPanel::TeacherPanel(AppContext &context, const FormScale &scale, QWidget *stage, QPushButton *command8)
    : QFrame(stage), ctx(context), m_command8(command8)
{
    setObjectName(QStringLiteral("Picture7"));
    setAccessibleName(QStringLiteral("データ処理"));
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Raised);
    setLineWidth(2);
    setAutoFillBackground(true);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, QColor(0xF0, 0xF0, 0xF0)); // stands apart from the season's colour
    setPalette(grey);
    setGeometry(scale.rect(4860, 3600, 6045, 3945));

    Label28 = makeLabel(this, QStringLiteral("Label28"), QStringLiteral("データ変更パスワード"));
    Label28->setFont(scale.font(11));
    Label28->setGeometry(scale.rect(855, 90, 2400, 285));
    Text3 = new QLineEdit(this);
    Text3->setObjectName(QStringLiteral("Text3"));
    Text3->setAccessibleName(Label28->text());
    Text3->setEchoMode(QLineEdit::Password);
    Text3->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }")); // "*"
    Text3->setFont(scale.font(11));
    Text3->setGeometry(scale.rect(810, 360, 2445, 375));
    Label28->setBuddy(Text3);

    auto button = [&](const QString &name, const QString &text, int left, int top, int width, int height) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setFont(scale.font(11));
        b->setGeometry(scale.rect(left, top, width, height));
        return b;
    };
    Command10.push_back(button(QStringLiteral("Command10_0"), QStringLiteral("データ変更"), 855, 810, 2430, 855));
    Command10.push_back(
        button(QStringLiteral("Command10_1"), QStringLiteral("合格タイムデータ変更"), 855, 2115, 2430, 855));
    Command10.push_back(button(QStringLiteral("Command10_2"), QStringLiteral("クラス一覧"), 3825, 810, 1545, 855));
    Command12 = button(QStringLiteral("Command12"), QStringLiteral("戻る"), 3825, 2115, 1545, 855);

    DamagedLabel = makeLabel(stage, QStringLiteral("DamagedLabel"));
    DamagedLabel->setFont(scale.font(10));
    DamagedLabel->setStyleSheet(QStringLiteral("color: #c00000;"));
    DamagedLabel->setWordWrap(true);
    DamagedLabel->setGeometry(scale.rect(9240, 10920, 6000, 570));
    DamagedLabel->setVisible(false);
    FontLabel = makeLabel(stage, QStringLiteral("FontLabel"), ctx.fontNotice);
    // Beside the view's title, above the level columns: the one free stretch of the hub.
    FontLabel->setFont(scale.font(9));
    FontLabel->setStyleSheet(QStringLiteral("color: #c00000;"));
    FontLabel->setWordWrap(true);
    FontLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    FontLabel->setGeometry(scale.rect(4560, 1590, 10530, 420));
    FontLabel->setVisible(false);
    setVisible(false);

    connect(m_command8, &QPushButton::clicked, this, [this] { Command8_Click(); });
    connect(Command12, &QPushButton::clicked, this, [this] { Command12_Click(); });
    for (int i = 0; i < 3; ++i)
        connect(Command10[i], &QPushButton::clicked, this, [this, i] { Command10_Click(i); });
}

void TeacherPanel::Form_Activate(bool teacher)
{
    m_open = false;
    setVisible(false);
    setEnabled(teacher);
    m_command8->setVisible(teacher);
    m_command8->setEnabled(teacher);
    // No count is shown before it is made: a notice left from an earlier look may be wrong.
    showDamagedRecordsNotice({});
    m_afterPaint = AfterPaint::Nothing;
    if (teacher) {
        if (keptDamagedCount().recordsToRead(sharedResultsFile(ctx.state)) <= kDamagedCountedBeforePaint) {
            countDamagedRecords();
            // The count before the paint trusts that the records read before were only
            // appended to. Something other than this program may have changed one in place
            // and then the file grown: once the hub is up, the whole file is counted again,
            // so such a count is put right a moment later rather than kept.
            m_afterPaint = AfterPaint::CountAgain;
        } else {
            m_afterPaint = AfterPaint::Count;
        }
    }
    FontLabel->setText(ctx.fontNotice);
    FontLabel->setVisible(teacher && !ctx.fontNotice.isEmpty());
}

void TeacherPanel::hubActivated()
{
    const AfterPaint afterPaint = std::exchange(m_afterPaint, AfterPaint::Nothing);
    if (afterPaint == AfterPaint::CountAgain) {
        whenPaintedAndIdle(formOf(this), this, [this] {
            keptDamagedCount().forget();
            countDamagedRecords();
        });
    } else if (afterPaint == AfterPaint::Count) {
        whenPaintedAndIdle(formOf(this), this, [this] { countDamagedRecords(); });
    }
}

void TeacherPanel::countDamagedRecords()
{
    if (!teacherLoggedIn(ctx.state))
        return;
    QString error;
    showDamagedRecordsNotice(damagedRecordsNotice(
        keptDamagedCount().count(sharedResultsFile(ctx.state, waitShowingReason(ctx.wait, this)), &error)));
}

void TeacherPanel::showDamagedRecordsNotice(const QString &notice)
{
    DamagedLabel->setText(notice);
    DamagedLabel->setVisible(!notice.isEmpty());
}

void TeacherPanel::Command8_Click()
{
    if (!teacherLoggedIn(ctx.state))
        return;
    m_open = true;
    setVisible(true);
    raise();
    Text3->setFocus();
}

void TeacherPanel::Command12_Click()
{
    m_open = false;
    setVisible(false);
}

void TeacherPanel::Command10_Click(int index)
{
    switch (adminDoor(ctx.state, m_open, Text3->text())) {
    case AdminDoor::Shut:
        return;
    case AdminDoor::AsksForPassword:
        ctx.messages.information(this, QStringLiteral("Tobrel"), QStringLiteral("パスワードを入力して下さい"));
        Text3->setFocus();
        return;
    case AdminDoor::Opens:
        break;
    }
    // Building the screen may wait for the results file while the hub still takes
    // clicks; a second press meanwhile must not build a second screen.
    if (m_opening)
        return;
    m_opening = true;
    const QString form = adminFormName(index);
    grantAdminScreen(ctx.state, form);
    // A screen that is not part of this build opens nothing, and the hub stays.
    const bool opened = ctx.forms->show(form) != nullptr;
    takeAdminScreenGrant(ctx.state, form); // a grant the screen did not take is void
    m_opening = false;
    if (opened)
        ctx.forms->unload(FormName::seisekitime1);
}

Forms::Factory adminScreenFactory(AppContext &ctx, const QString &formName, Forms::Factory build)
{
    return [&ctx, formName, build = std::move(build)]() -> Screen * {
        return takeAdminScreenGrant(ctx.state, formName) ? build() : nullptr;
    };
}

} // namespace tobrel
