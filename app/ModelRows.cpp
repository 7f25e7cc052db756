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

QList<QByteArray> fileRoles()
{
    return {"fileID",          "name",     "surface", "surfaceLabel", "proxyLabel", "newName",
            "newNameSegments", "problems", "badge"};
}

KeyedListModel::Row file(const DroppedFile &file, const std::optional<QString> &finalName,
                         const QStringList &problems, const QString &badge)
{
    const QString name = CopyPlanner::fileName(file.url);
    QVariantList segments;
    if (finalName)
        for (const NameDiff::Segment &segment : NameDiff::segments(name, *finalName))
            segments << QVariantMap{{QStringLiteral("text"), segment.text},
                                    {QStringLiteral("changed"), segment.changed}};
    return KeyedListModel::Row{file.id, name} + slotValues(file.slot) +
           KeyedListModel::Row{finalName.value_or(QString()), segments, problems, badge};
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
           KeyedListModel::Row{QVariant::fromValue(row.state), row.fraction,
                               row.detail.value_or(QString()), subline.join(QStringLiteral(" · "))};
}

QVariantMap reel(const Reel &reel)
{
    return {{QStringLiteral("id"), reel.id}, {QStringLiteral("name"), reel.name}};
}

QVariantMap user(const SlackUser &user)
{
    return {{QStringLiteral("id"), user.id},
            {QStringLiteral("name"), user.name},
            {QStringLiteral("realName"), user.realName},
            {QStringLiteral("display"), user.display()}};
}

} // namespace tessera::ModelRows
