// The lines of a result list. A list holds either plain lines, or a count and a way to
// make line k, so a long ranking makes only the lines the list shows.
#pragma once
#include <QAbstractListModel>
#include <QStringList>

#include <functional>

namespace tobrel {

class LineListModel final : public QAbstractListModel {
public:
    using LineMaker = std::function<QString(int row)>;

    explicit LineListModel(QObject *parent = nullptr) : QAbstractListModel(parent) {}

    void setLines(const QStringList &lines);
    void addLines(const QStringList &lines);
    void setMadeLines(int count, LineMaker maker);
    void clear() { setLines({}); }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QString line(int row) const;
    QStringList lines() const;
    // The widest line in fixed-pitch cells. Made lines (a ranking: all of one format)
    // are sampled from the top.
    int widestLineCells() const;

private:
    QStringList m_lines;
    int m_madeCount = 0;
    LineMaker m_maker;
};

} // namespace tobrel
