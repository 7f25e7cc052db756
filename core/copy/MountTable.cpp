#include "core/copy/MountTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <cctype>
#include <optional>

namespace tessera {

namespace {

// mountinfo writes space, tab, newline and backslash in its fields as \ooo octal escapes.
QString decodeField(QByteArrayView field)
{
    QByteArray bytes;
    bytes.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c == '\\' && i + 3 < field.size() && field[i + 1] >= '0' && field[i + 1] <= '3' &&
            field[i + 2] >= '0' && field[i + 2] <= '7' && field[i + 3] >= '0' &&
            field[i + 3] <= '7') {
            bytes.append(char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                              (field[i + 3] - '0')));
            i += 3;
        } else {
            bytes.append(c);
        }
    }
    return QString::fromUtf8(bytes);
}

bool isKernelSMB(const QString &type)
{
    return type == u"cifs" || type == u"smb3";
}

// A GVfs share folder is named like smb-share:port=1445,server=host,share=drop%20zone,user=bob;
// values are percent-encoded. The share stays encoded because source() decodes it.
std::optional<QString> gvfsSource(const QString &folderName)
{
    static const QString prefix = QStringLiteral("smb-share:");
    if (!folderName.startsWith(prefix))
        return std::nullopt;
    QString server, share, port, user;
    const QStringList items = folderName.mid(prefix.size()).split(u',');
    for (const QString &item : items) {
        const qsizetype equals = item.indexOf(u'=');
        if (equals < 0)
            continue;
        const QString key = item.left(equals);
        const QString value = item.mid(equals + 1);
        if (key == u"server")
            server = QUrl::fromPercentEncoding(value.toUtf8());
        else if (key == u"share")
            share = value;
        else if (key == u"port")
            port = QUrl::fromPercentEncoding(value.toUtf8());
        else if (key == u"user")
            user = QUrl::fromPercentEncoding(value.toUtf8());
    }
    if (server.isEmpty() || share.isEmpty())
        return std::nullopt;
    QString from = QStringLiteral("//");
    if (!user.isEmpty())
        from += user + u'@';
    from += server;
    if (!port.isEmpty())
        from += u':' + port;
    return from + u'/' + share;
}

void appendGVfsShares(const QString &fuseRoot, QList<MountEntry> &entries)
{
    // Listing the root only reads gvfsd-fuse's own list of mounts; it never touches a server.
    const QStringList names =
        QDir(fuseRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString &name : names) {
        if (const auto from = gvfsSource(name))
            entries.append(
                MountEntry{*from, fuseRoot + u'/' + name, MountTable::smbType.toString()});
    }
}

// Percent-decoding that fails on a "%" without two hexadecimal digits after it, or on bytes that
// are not UTF-8.
std::optional<QString> percentDecoded(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray bytes;
    bytes.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '%') {
            bytes.append(utf8[i]);
            continue;
        }
        if (i + 2 >= utf8.size() || !isxdigit(uchar(utf8[i + 1])) || !isxdigit(uchar(utf8[i + 2])))
            return std::nullopt;
        bytes.append(char(QByteArray::fromHex(utf8.mid(i + 1, 2)).at(0)));
        i += 2;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return decoded;
}

struct MountLine
{
    QString on;
    QString type;
    QString from;
};

// id parent major:minor root mount-point options [optional...] - type source super-options
std::optional<MountLine> parsedLine(const QByteArray &line)
{
    const QList<QByteArray> fields = line.split(' ');
    for (qsizetype i = 6; i + 2 < fields.size(); ++i) {
        if (fields[i] == "-")
            return MountLine{decodeField(fields[4]), decodeField(fields[i + 1]),
                             decodeField(fields[i + 2])};
    }
    return std::nullopt;
}

QByteArray mountInfoOfThisProcess()
{
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // A proc file reports no size: read until the end rather than by size.
    return file.readAll();
}

QString trailingSlashesRemoved(QString text)
{
    while (text.endsWith(u'/'))
        text.chop(1);
    return text;
}

} // namespace

namespace MountTable {

QList<MountEntry> current()
{
    return fromMountInfo(mountInfoOfThisProcess());
}

QList<MountEntry> fromMountInfo(const QByteArray &mountInfo)
{
    QList<MountEntry> entries;
    for (const QByteArray &line : mountInfo.split('\n')) {
        auto parsed = parsedLine(line);
        if (!parsed)
            continue;
        if (parsed->type == u"fuse.gvfsd-fuse") {
            appendGVfsShares(parsed->on, entries);
            continue;
        }
        if (isKernelSMB(parsed->type))
            parsed->type = smbType.toString();
        entries.append({parsed->from, parsed->on, parsed->type});
    }
    return entries;
}

QList<QUrl> mountPoints(const QString &host, const QString &share, const QList<MountEntry> &entries)
{
    QList<QUrl> points;
    for (const MountEntry &entry : entries) {
        if (entry.type == smbType && source(entry.from, host, share)) {
            QString path = entry.on;
            if (!path.endsWith(u'/'))
                path += u'/';
            points.append(QUrl::fromLocalFile(path));
        }
    }
    return points;
}

QString fileSystemType(const QString &path, const QByteArray &mountInfo)
{
    QString type;
    qsizetype longest = -1;
    for (const QByteArray &line : mountInfo.split('\n')) {
        const auto parsed = parsedLine(line);
        if (!parsed)
            continue;
        const QString point = trailingSlashesRemoved(parsed->on);
        const bool contains =
            path.startsWith(point) && (path.size() == point.size() || path[point.size()] == u'/');
        // ">=": a later mount on the same point hides the earlier one.
        if (contains && point.size() >= longest) {
            longest = point.size();
            type = parsed->type;
        }
    }
    return type;
}

QString fileSystemType(const QString &path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? QString() : fileSystemType(resolved, mountInfoOfThisProcess());
}

bool source(const QString &from, const QString &host, const QString &share)
{
    if (!from.startsWith(u"//"))
        return false;
    const QString rest = from.mid(2);
    const qsizetype slash = rest.indexOf(u'/');
    if (rest.isEmpty() || slash < 0)
        return false;
    QString authority = rest.left(slash);
    const QString sharePath = rest.mid(slash + 1);

    if (const qsizetype at = authority.lastIndexOf(u'@'); at >= 0)
        authority = authority.mid(at + 1);
    if (const qsizetype colon = authority.lastIndexOf(u':'); colon >= 0)
        authority = authority.left(colon);

    const QString encoded = trailingSlashesRemoved(sharePath);
    // A broken escape such as "%zz" keeps the text as written.
    const QString decoded = percentDecoded(encoded).value_or(encoded);

    return authority.toLower() == host.toLower() && decoded.toLower() == share.toLower();
}

} // namespace MountTable
} // namespace tessera
