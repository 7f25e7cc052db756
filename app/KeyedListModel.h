#pragma once

#include <QAbstractListModel>
#include <QByteArray>
#include <QList>
#include <QVariant>

namespace tessera {

// A list for QML whose rows are identified by one of their roles. Replacing the rows announces
// only what changed: rows inserted or removed between an unchanged head and tail, and dataChanged
// for each kept row whose values differ, so that views redraw just those rows.
class KeyedListModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(int count READ rowCount NOTIFY countChanged)

public:
    using Row = QVariantList; // one value per role, in the order of the role names

    // The first role is the key.
    explicit KeyedListModel(QList<QByteArray> roles, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QList<Row> &rows() const { return m_rows; }
    void setRows(const QList<Row> &rows);
    // The row's value of a role by name, for tests and tools; an invalid QVariant when absent.
    Q_INVOKABLE QVariant get(int row, const QString &role) const;

Q_SIGNALS:
    void countChanged();

private:
    void changeRow(qsizetype position, const Row &row);

    QList<QByteArray> m_roles;
    QList<Row> m_rows;
};

} // namespace tessera
