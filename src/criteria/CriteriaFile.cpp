#include "criteria/CriteriaFile.h"

#include "text/Cp932.h"
#include "text/DataFileError.h"
#include "text/FieldReader.h"
#include "text/LineWriter.h"
#include "text/Numbers.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace tobrel {
namespace {

constexpr int kFields = 12;

QString cellName(int level, int column)
{
    const QString header = criteriaHeaderFields().value(column - 1);
    if (header.isEmpty())
        return QStringLiteral("レベル%1の%2列目").arg(level).arg(column);
    return QStringLiteral("レベル%1の%2列目「%3」").arg(level).arg(column).arg(header);
}

// Why a cell would not come back from the file as the one field it is ("" when it
// would): the field reader ends a field at a comma or a line end and reads a field that
// starts with a double quote up to the next one; the file holds CP932 only. A field of
// numbers must hold one: the loader would read an empty or other text as 0, a target
// time of 0 that gives every run 0 points without a word. A level row left wholly
// blank is no level at all (the hub says it has no criteria) and is let through.
QString cellProblem(const QString &text, int field, bool blankRow)
{
    if (text.contains(u','))
        return QStringLiteral("「,」（カンマ）があると、次に読むときに項目が分かれてしまいます。");
    if (text.contains(u'\r') || text.contains(u'\n'))
        return QStringLiteral("改行は使えません。");
    qsizetype first = 0;
    while (first < text.size() && (text[first] == u' ' || text[first] == u'\t'))
        ++first;
    if (first < text.size() && text[first] == u'"')
        return QStringLiteral("「\"」で始まる値は使えません。");
    if (fromCp932(toCp932(text)) != text) {
        for (const char32_t c : text.toUcs4()) {
            const QString one = QString::fromUcs4(&c, 1);
            if (fromCp932(toCp932(one)) != one)
                return QStringLiteral("シフトJISで書けない文字「%1」があります。").arg(one);
        }
        return QStringLiteral("シフトJISで書けない文字があります。");
    }
    if (criteriaFieldIsNumber(field) && !blankRow && !isNumericText(text)) {
        if (text.trimmed().isEmpty())
            return QStringLiteral("この列は空欄にできません。数を入れてください。");
        return QStringLiteral("この列には数を入れてください（半角の数字）。");
    }
    return {};
}

CriteriaSaveResult refused(int level, int column, const QString &text, const QString &why)
{
    CriteriaSaveResult r;
    r.badLevel = level;
    r.badColumn = column;
    r.message = QStringLiteral("%1の値「%2」は記録できません。\n%3\n\n%4 は変更していません。")
                    .arg(cellName(level, column), text, why, criteriaFileName());
    return r;
}

CriteriaTable loadBytes(const QByteArray &bytes, const CriteriaTable &current)
{
    FieldReader reader = FieldReader::fromBytes(bytes, criteriaFileName());
    return LoadCriteria(reader, current);
}

bool loads(const QByteArray &bytes)
{
    try {
        loadBytes(bytes, CriteriaTable());
        return true;
    } catch (const DataFileError &) {
        return false;
    }
}

} // namespace

CriteriaFileStamp criteriaStampOf(const QByteArray &bytes)
{
    CriteriaFileStamp stamp;
    stamp.kind = CriteriaFileStamp::Read;
    stamp.size = bytes.size();
    stamp.hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    return stamp;
}

CriteriaFileStamp criteriaFileStamp(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly))
        return CriteriaFileStamp{CriteriaFileStamp::Unreadable, 0, {}};
    // No more than the loader reads: a bigger file is never loaded whole.
    const QByteArray bytes = file.read(kSmallFileMaxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return CriteriaFileStamp{CriteriaFileStamp::Unreadable, 0, {}};
    return criteriaStampOf(bytes);
}

CriteriaTexts ReadCriteriaTexts(const QString &path)
{
    CriteriaTexts result;
    try {
        QByteArray bytes;
        FieldReader reader = FieldReader::openFile(path, kSmallFileMaxBytes, &bytes);
        result.stamp = criteriaStampOf(bytes);
        result.opened = true;
        for (int group = 0; !reader.atEnd(); ++group) {
            QStringList row;
            try {
                while (row.size() < kFields)
                    row << reader.readText();
            } catch (const DataFileError &) {
                result.problem = QStringLiteral("%1: 最後の行の項目が%2個しかありません（%3個必要です）。")
                                     .arg(path)
                                     .arg(row.size())
                                     .arg(kFields);
                while (row.size() < kFields)
                    row << QString();
                if (group > 0)
                    result.levelRows << row;
                break;
            }
            if (group > 0)
                result.levelRows << row;
        }
    } catch (const DataFileError &e) {
        result.problem = e.message();
        if (!result.opened)
            result.stamp = criteriaFileStamp(path);
    }
    return result;
}

QByteArray criteriaFileBytes(const QList<QStringList> &levelRows)
{
    LineWriter writer;
    writer.addLine(criteriaHeaderFields());
    for (QStringList row : levelRows) {
        while (row.size() < kFields)
            row << QString();
        writer.addLine(row);
    }
    return writer.bytes();
}

QString WriteCriteriaFile(const QString &path, const QList<QStringList> &levelRows)
{
    return replaceFile(path, criteriaFileBytes(levelRows));
}

CriteriaSaveResult CheckCriteriaTexts(const QList<QStringList> &levelRows, const CriteriaTable &current)
{
    for (int r = 0; r < levelRows.size(); ++r) {
        const QStringList &row = levelRows[r];
        const bool blankRow =
            std::all_of(row.begin(), row.end(), [](const QString &text) { return text.trimmed().isEmpty(); });
        for (int c = 0; c < kFields; ++c)
            if (const QString why = cellProblem(row.value(c), c + 1, blankRow); !why.isEmpty())
                return refused(r + 1, c + 1, row.value(c), why);
    }

    CriteriaSaveResult result;
    const QByteArray bytes = criteriaFileBytes(levelRows);
    if (bytes.size() > kSmallFileMaxBytes) {
        result.message =
            QStringLiteral("値が長すぎて記録できません（%1バイト。%2バイトまでです）。\n\n%3 は変更していません。")
                .arg(bytes.size())
                .arg(kSmallFileMaxBytes)
                .arg(criteriaFileName());
        return result;
    }
    try {
        result.table = loadBytes(bytes, current);
        return result;
    } catch (const DataFileError &e) {
        // Find the cell the loader stops at: each cell of that line alone in a file.
        const int level = e.line() - 1;
        if (level >= 1 && level <= levelRows.size()) {
            const QStringList &row = levelRows[level - 1];
            for (int c = 0; c < row.size() && c < kFields; ++c) {
                QStringList alone(kFields);
                alone[c] = row[c];
                if (!loads(criteriaFileBytes({alone})))
                    return refused(level, c + 1, row[c],
                                   QStringLiteral("この値は読み込めません（%1）。").arg(e.problem()));
            }
        }
        CriteriaSaveResult r;
        r.badLevel = level;
        r.message = QStringLiteral("レベル%1の行は記録できません（%2）。\n\n%3 は変更していません。")
                        .arg(level)
                        .arg(e.problem(), criteriaFileName());
        return r;
    }
}

CriteriaSaveResult SaveCriteriaTexts(const QString &path, const QList<QStringList> &levelRows,
                                     const CriteriaTable &current, const FileReplaceSteps &steps,
                                     const std::function<bool()> &mayReplace)
{
    CriteriaSaveResult result = CheckCriteriaTexts(levelRows, current);
    if (!result.message.isEmpty())
        return result;
    if (mayReplace && !mayReplace()) {
        result.declined = true;
        return result;
    }
    const QString backup = QFileInfo(path).absolutePath() + u'/' + criteriaBackupFileName();
    const QByteArray bytes = criteriaFileBytes(levelRows);
    if (const QString error = replaceFile(path, bytes, backup, steps); !error.isEmpty()) {
        result.message = error;
        return result;
    }
    result.saved = true;
    result.written = criteriaStampOf(bytes);
    try {
        result.table = LoadCriteria(path, current);
    } catch (const DataFileError &e) {
        result.message = QStringLiteral("記録しましたが、読み直せません: %1").arg(e.message());
    }
    return result;
}

} // namespace tobrel
