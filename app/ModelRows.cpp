#include "app/ModelRows.h"

#include "core/copy/CopyPlanner.h"
#include "core/naming/NameDiff.h"

namespace tessera::ModelRows {

namespace {

QVariantList slotValues(const std::optional<Slot> &slot)
{
    if (!slot)
        return {QString(), QString(), QString()};
    return {rawValue(slot->surface), label(slot->surface),
            slot->proxy == Proxy::full ? QString() : label(slot->proxy)};
}

} // namespace

QList<QByteArray> droppedFileRoles()
{
    return {"fileID", "name", "surface", "surfaceLabel", "proxyLabel"};
}

KeyedListModel::Row droppedFile(const DroppedFile &file)
{
    return KeyedListModel::Row{file.id, CopyPlanner::fileName(file.url)} + slotValues(file.slot);
}

QList<QByteArray> tableRoles()
{
    return droppedFileRoles() +
           QList<QByteArray>{"newName", "newNameSegments", "problems", "badge"};
}

KeyedListModel::Row tableRow(const DroppedFile &file, const std::optional<QString> &finalName,
                             const QStringList &problems, const QString &badge)
{
    const QVariantList runs =
        finalName ? segments(NameDiff::segments(CopyPlanner::fileName(file.url), *finalName))
                  : QVariantList();
    return droppedFile(file) +
           KeyedListModel::Row{finalName.value_or(QString()), runs, problems, badge};
}

QList<QByteArray> rowRoles()
{
    return {"finalName", "original", "surface", "surfaceLabel", "proxyLabel",
            "state",     "fraction", "detail",  "subline"};
}

KeyedListModel::Row row(const FileRow &row)
{
    QStringList subline{QStringLiteral("from ") + row.original};
    if (row.detail)
        subline << *row.detail;
    if (row.state == FileState::done || row.state == FileState::alreadyThere)
        subline << QStringLiteral("size and checksum match");
    return KeyedListModel::Row{row.finalName, row.original} + slotValues(row.slot) +
           KeyedListModel::Row{int(row.state), row.fraction, row.detail.value_or(QString()),
                               subline.join(QStringLiteral(" · "))};
}

QVariantMap reel(const Reel &reel)
{
    return {{QStringLiteral("id"), reel.id}, {QStringLiteral("name"), reel.name}};
}

QVariantList segments(const QList<NameDiff::Segment> &segments)
{
    QVariantList list;
    for (const NameDiff::Segment &segment : segments)
        list << QVariantMap{{QStringLiteral("text"), segment.text},
                            {QStringLiteral("changed"), segment.changed}};
    return list;
}

QVariantMap user(const SlackUser &user)
{
    return {{QStringLiteral("id"), user.id},
            {QStringLiteral("name"), user.name},
            {QStringLiteral("realName"), user.realName},
            {QStringLiteral("display"), user.display()}};
}

} // namespace tessera::ModelRows
