#pragma once

#include "app/KeyedListModel.h"
#include "app/Workflow.h"
#include "core/naming/Reel.h"
#include "core/reelcheck/SlackUser.h"

#include <QStringList>
#include <QVariantMap>

#include <optional>

namespace tessera {

// How the model's values look to QML: the roles of its lists and the maps of small records.
namespace ModelRows {

QList<QByteArray> fileRoles();
KeyedListModel::Row file(const DroppedFile &file, const std::optional<QString> &finalName,
                         const QStringList &problems, const QString &badge);

QList<QByteArray> rowRoles();
KeyedListModel::Row row(const FileRow &row);

QVariantMap reel(const Reel &reel);
QVariantMap user(const SlackUser &user);

} // namespace ModelRows
} // namespace tessera
