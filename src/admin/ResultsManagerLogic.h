// The results manager FrmData apart from its widgets: the teacher's list of every
// stored run, and the change and deletion of one run.
//
//   Form_Load / Command1_Click   the roster (names, grade labels, Combo1's items) and
//                                the whole results file are read; one line per record
//                                whose level is not 0, in record order, plus every
//                                damaged record, marked; "総レコード数:" and the count
//   List1_Click(line)            the line chosen; hides the change dialog
//   List1_DblClick(line)         opens the dialog on the line's record, read again from
//                                the file (a record changed meanwhile is not opened)
//   VScroll1_Change, Combo1_Click  the dialog's time and the chosen student's grade
//   Command2_Click               checks the typed time and student, writes the one
//                                record in place, logs it, rebuilds, selects its line
//   Command3_Click               asks, deletes the record (backup, progress), logs it,
//                                rebuilds, selects the line that followed it
// Only the teacher the manager was opened for, still logged in, changes or deletes.
// Changes and deletions go through ResultsFile under the file's lock and only when the
// record is still the one the dialog opened; otherwise nothing is written, the teacher
// is told and the list is read again.
//
// The list holds no records: the file is read through once, a chunk at a time, for an
// index of four bytes a record (a fingerprint of each listed record, the numbers of the
// records left out), and each line is read from the file and made only when the list
// shows it, a page of records at a time. So memory does not grow with the file beyond
// the index, and the fingerprint still tells a record changed since the list was made.
// Records appended by another PC meanwhile are not listed until the list is read again.
#pragma once
#include "results/CorrectionLog.h"
#include "results/ResultsFile.h"
#include "state/Platform.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tobrel {

struct SharedState;
struct Configuration;

// What the manager's controls show (the list itself is lineCount()/line()).
struct ResultsManagerView {
    QString Label3; // "総レコード数:" and the number of records
    QString damagedNotice; // how many damaged records the list marks; "" when none
    bool Picture3Visible = false; // the change dialog
    QString Label1; // the opened record's number
    std::array<QString, 5> Label2{QStringLiteral("秒")}; // [1] level, [2] date, [4] grade
    QString Text1; // Text1(1): the time in seconds
    int VScroll1 = 0; // 0..6000
    QString Combo1Text;
    bool Command2Enabled = false;
    bool Command3Enabled = false;
    int List1Selected = -1; // the selected line, -1 for none
};

// What the logic needs from its screen.
class ResultsManagerHost {
public:
    virtual ~ResultsManagerHost() = default;
    // Writes the view into the controls.
    virtual void refresh() = 0;
    // The list's lines were made anew (count and contents).
    virtual void listRebuilt() = 0;
    // "本当に消去しますか" with the title "注意", OK and Cancel; true for OK.
    virtual bool confirmDelete() = 0;
    // A message with an OK button.
    virtual void tell(const QString &text) = 0;
    // A deletion's progress; (0, 0) when it is over.
    virtual void progress(int64_t done, int64_t total) = 0;
    // Work nobody needs to wait for (the oldest backup removed after a deletion): the
    // screen runs it once the list is painted again; here it runs at once.
    virtual void whenFree(const std::function<void()> &work) { work(); }
};

// The manager's own roster tables, indexed by student number 0..5000: every entry of
// the roster file, whatever its status.
struct ManagerRoster {
    std::vector<QString> ManagerNames = std::vector<QString>(kStudentSlots); // trimmed
    std::vector<QString> ManagerGradeLabels = std::vector<QString>(kStudentSlots); // "小３" or ""
    std::vector<bool> listed = std::vector<bool>(kStudentSlots); // in the roster
    QStringList Combo1Items; // "12 /  name"
    bool has(int student) const { return student >= 0 && student <= kMaxStudent && listed[student]; }
    QString name(int student) const { return has(student) ? ManagerNames[student] : QString(); }
    QString gradeLabel(int student) const { return has(student) ? ManagerGradeLabels[student] : QString(); }
};

// Reads the roster file into the manager's tables; throws DataFileError.
ManagerRoster loadManagerRoster(const QString &rosterPath, int schoolYear);

// The record line of record `number`; the number is right-aligned in numberWidth
// characters (4, or more for a file of more records).
QString recordLine(const char *bytes, int64_t number, int numberWidth, const ManagerRoster &roster,
                   const Configuration &config);
// "12 /  佐藤　翔太": a student as Combo1's items show one.
QString studentComboText(int student, const ManagerRoster &roster);
// The student number before the first "/" of Combo1's text, or -1 when there is none.
int studentOfComboText(const QString &text);
// The time typed into Text1(1) when it is a whole number 0..99999, otherwise -1.
int32_t timeOfText(const QString &text);

class ResultsManagerLogic {
public:
    ResultsManagerLogic(SharedState &state, const Clock &clock, WaitFunction wait, ResultsManagerHost &host);

    ResultsManagerView view;
    int64_t SelectedRecord = 0;

    // Reads the roster and the list, for the teacher now logged in.
    void Form_Load();
    void Command1_Click();
    // True while the teacher the manager was opened for is the one logged in: only then
    // are runs changed, deleted or exported.
    bool mayAct() const;
    void List1_Click(int line);
    void List1_DblClick(int line);
    void VScroll1_Change(int value);
    void Combo1_Click(const QString &text);
    // "変更して記録": writes the record with the time in Text1(1) and the student of
    // Combo1's text.
    void Command2_Click(const QString &timeText, const QString &studentText);
    void Command3_Click(); // "消去": deletes the record after asking
    // "キャンセル": closes the dialog, nothing is written.
    void Command6_Click();

    int lineCount() const { return static_cast<int>(m_lineFingerprints.size()); }
    QString line(int row) const;
    int64_t recordOfLine(int row) const;
    bool lineIsDamaged(int row) const;
    int64_t recordCount() const { return m_recordCount; }
    int64_t damagedCount() const { return m_damaged; }
    const ManagerRoster &roster() const { return m_roster; }
    QString resultsPath() const;

private:
    ResultsFile file() const;
    // The 44 bytes of a listed record as the list shows them, read with its page when
    // needed; nullptr when the file cannot be read now.
    const char *shownRecord(int64_t record) const;
    // The line showing `record`, or the first line after it; -1 when there is none.
    int lineAtOrAfter(int64_t record) const;
    void showStudent(int student);
    void closeDialog();
    QDateTime now() const;
    // True when the change or deletion was written; otherwise tells the teacher why, and
    // reads the list again when the record had changed meanwhile.
    bool written(const RewriteOutcome &out);
    // Makes a change or deletion of the opened record, its line in the correction log
    // secured first (without the line nothing is written); true when it was written.
    bool correct(const QString &action, const ResultRecord &before, const ResultRecord *after,
                 const std::function<RewriteOutcome(const ResultsFile::BeforeChange &)> &change);

    SharedState &m_state;
    const Clock &m_clock;
    WaitFunction m_wait;
    ResultsManagerHost &m_host;
    ManagerRoster m_roster;
    int64_t m_recordCount = 0;
    int64_t m_damaged = 0;
    int m_numberWidth = 4;
    std::vector<uint32_t> m_lineFingerprints; // of each line's record as listed, in record order
    std::vector<int32_t> m_unlisted; // numbers of the records without a line, ascending
    // Pages of records read for the lines shown, the least recently used replaced first.
    struct Page {
        int64_t first = 0; // record number of bytes[0]; 0 for an empty slot
        QByteArray bytes;
        uint64_t used = 0;
    };
    mutable std::vector<Page> m_pages;
    mutable uint64_t m_pageUses = 0;
    // A deletion holds the file's lock while the screen repaints its progress: lines are
    // then made from the pages already read, since closing any descriptor of the file
    // gives up every lock this program holds on it.
    bool m_correcting = false;
    ExpectedRecord m_opened; // the record the dialog shows, as read
    int m_openedFor = -1; // the student number of the teacher
};

} // namespace tobrel
