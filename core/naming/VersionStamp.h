#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>

#include <optional>

namespace tessera {

// Ten-digit "yyMMddHHmm" stamps in British local time, whatever the computer's time zone.
namespace VersionStamp {

QTimeZone london();

QString stamp(const QDateTime &date);
// Nothing unless the text is ten ASCII digits naming a real London minute of this century.
std::optional<QDateTime> date(const QString &stamp);
// The stamp for a new submission: now, or one minute past the last stamp this installation
// used when that is not earlier, so stamps keep increasing through clock changes.
QString next(const QDateTime &now, const std::optional<QString> &last);

} // namespace VersionStamp
} // namespace tessera
