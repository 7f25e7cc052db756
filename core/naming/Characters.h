#pragma once

#include <QString>

// Text measured and cut in user-perceived characters: a letter with its combining marks, an emoji
// written as a surrogate pair or as several code points joined together, and a flag each count as
// one, and a cut never splits one.
namespace tessera::Characters {

qsizetype count(const QString &text);
// The first `limit` characters of text (all of it when it has no more).
QString cut(const QString &text, qsizetype limit);

} // namespace tessera::Characters
