#include "ui/LineListModel.h"

#include "text/FixedWidth.h"

#include <algorithm>

namespace tobrel {

void LineListModel::setLines(const QStringList &lines)
{
    beginResetModel();
    m_lines = lines;
    m_madeCount = 0;
    m_maker = nullptr;
    endResetModel();
}

void LineListModel::addLines(const QStringList &lines)
{
    if (m_maker) {
        QStringList all = this->lines();
        all += lines;
        setLines(all);
        return;
    }
    if (lines.isEmpty())
        return;
    beginInsertRows(QModelIndex(), static_cast<int>(m_lines.size()),
                    static_cast<int>(m_lines.size() + lines.size() - 1));
    m_lines += lines;
    endInsertRows();
}

void LineListModel::setMadeLines(int count, LineMaker maker)
{
    beginResetModel();
    m_lines.clear();
    m_madeCount = count;
    m_maker = std::move(maker);
    endResetModel();
}

int LineListModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_maker ? m_madeCount : static_cast<int>(m_lines.size());
}

QString LineListModel::line(int row) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return m_maker ? m_maker(row) : m_lines[row];
}

int LineListModel::widestLineCells() const
{
    const int rows = m_maker ? std::min(rowCount(), 64) : rowCount();
    int widest = 0;
    for (int i = 0; i < rows; ++i)
        widest = std::max(widest, displayCells(line(i)));
    return widest;
}

QStringList LineListModel::lines() const
{
    QStringList all;
    for (int i = 0; i < rowCount(); ++i)
        all << line(i);
    return all;
}

QVariant LineListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    return line(index.row());
}

} // namespace tobrel
