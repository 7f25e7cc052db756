#include "app/KeyedListModel.h"

namespace tessera {

KeyedListModel::KeyedListModel(QList<QByteArray> roles, QObject *parent)
    : QAbstractListModel(parent)
    , m_roles(std::move(roles))
{}

int KeyedListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant KeyedListModel::data(const QModelIndex &index, int role) const
{
    const int column = role - Qt::UserRole;
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        column < 0 || column >= m_roles.size())
        return {};
    return m_rows.at(index.row()).value(column);
}

QHash<int, QByteArray> KeyedListModel::roleNames() const
{
    QHash<int, QByteArray> names;
    for (qsizetype i = 0; i < m_roles.size(); ++i)
        names.insert(Qt::UserRole + int(i), m_roles.at(i));
    return names;
}

QVariant KeyedListModel::get(int row, const QString &role) const
{
    const qsizetype column = m_roles.indexOf(role.toUtf8());
    if (row < 0 || row >= m_rows.size() || column < 0)
        return {};
    return m_rows.at(row).value(column);
}

void KeyedListModel::changeRow(qsizetype position, const Row &row)
{
    if (m_rows.at(position) == row)
        return;
    m_rows[position] = row;
    const QModelIndex at = index(int(position));
    Q_EMIT dataChanged(at, at);
}

void KeyedListModel::setRows(const QList<Row> &rows)
{
    const auto key = [](const Row &row) { return row.value(0); };
    qsizetype head = 0;
    while (head < m_rows.size() && head < rows.size() && key(m_rows.at(head)) == key(rows.at(head)))
        ++head;
    qsizetype tail = 0;
    while (tail < m_rows.size() - head && tail < rows.size() - head &&
           key(m_rows.at(m_rows.size() - 1 - tail)) == key(rows.at(rows.size() - 1 - tail)))
        ++tail;

    const qsizetype oldMiddle = m_rows.size() - head - tail;
    const qsizetype newMiddle = rows.size() - head - tail;
    if (oldMiddle > 0) {
        beginRemoveRows({}, int(head), int(head + oldMiddle - 1));
        m_rows.remove(head, oldMiddle);
        endRemoveRows();
    }
    if (newMiddle > 0) {
        beginInsertRows({}, int(head), int(head + newMiddle - 1));
        for (qsizetype i = 0; i < newMiddle; ++i)
            m_rows.insert(head + i, rows.at(head + i));
        endInsertRows();
    }
    for (qsizetype i = 0; i < rows.size(); ++i)
        changeRow(i, rows.at(i));
    if (oldMiddle != newMiddle)
        Q_EMIT countChanged();
}

} // namespace tessera
