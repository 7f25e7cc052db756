#include "core/copy/DayFolder.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace tessera::DayFolder {

std::optional<QString> make(const QUrl &folder)
{
    const QString path = folder.toLocalFile();
    if (QFileInfo(path).isDir())
        return std::nullopt;
    if (::mkdir(QFile::encodeName(path).constData(), 0755) == 0)
        return std::nullopt;
    // The reason is mkdir's own: the look that follows may set errno to something else.
    const int error = errno;
    if (QFileInfo(path).isDir())
        return std::nullopt;
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace tessera::DayFolder
