#pragma once

#include "app/KeyedListModel.h"
#include "app/Workflow.h"
#include "core/naming/NameDiff.h"
#include "core/naming/Reel.h"
#include "core/reelcheck/SlackUser.h"

#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace tessera {

// How the model's values look to QML: the roles of its lists and the maps of small records.
namespace ModelRows {

// A dropped movie with its surface, as the drop step lists it.
QList<QByteArray> droppedFileRoles();
KeyedListModel::Row droppedFile(const DroppedFile &file);

// The same with its new name, problems and surface badge, as the confirm step lists it.
QList<QByteArray> tableRoles();
KeyedListModel::Row tableRow(const DroppedFile &file, const std::optional<QString> &finalName,
                             const QStringList &problems, const QString &badge);

QList<QByteArray> rowRoles();
KeyedListModel::Row row(const FileRow &row);

QVariantMap reel(const Reel &reel);
// A new name in runs, each with its text and whether it differs from the old name.
QVariantList segments(const QList<NameDiff::Segment> &segments);
QVariantMap user(const SlackUser &user);

} // namespace ModelRows
} // namespace tessera
