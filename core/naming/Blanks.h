#pragma once

#include <QString>

namespace tessera::Blanks {

// Spaces and tabs (every horizontal white space), never line breaks.
bool isBlank(QChar c);
QString trimmed(const QString &text);

} // namespace tessera::Blanks
