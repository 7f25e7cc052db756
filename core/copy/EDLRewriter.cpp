#include "core/copy/EDLRewriter.h"

#include "core/naming/Naming.h"

#include <QHash>
#include <QStringDecoder>

#include <optional>

namespace tessera::EDLRewriter {

namespace {

struct Line
{
    qsizetype begin = 0;      // first byte of the content
    qsizetype end = 0;        // one past the content, where the terminator starts
    qsizetype terminator = 0; // one past the terminator
};

// Lines end at LF, CR or CR LF; a final terminator opens no empty line after it.
QList<Line> splitLines(const QByteArray &data)
{
    QList<Line> lines;
    const qsizetype size = data.size();
    qsizetype begin = 0;
    while (begin < size) {
        qsizetype end = begin;
        while (end < size && data.at(end) != '\n' && data.at(end) != '\r')
            ++end;
        qsizetype next = end;
        if (next < size) {
            next += (data.at(next) == '\r' && next + 1 < size && data.at(next + 1) == '\n') ? 2 : 1;
        }
        lines.append({begin, end, next});
        begin = next;
    }
    return lines;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

struct ClipName
{
    bool incoming = false; // a transition's "TO CLIP NAME" line rather than a "FROM CLIP NAME" one
    qsizetype begin = 0;   // byte range of the name within the data
    qsizetype end = 0;
    QString text;
};

// The clip name of a "* FROM CLIP NAME:" or "* TO CLIP NAME:" comment line, when the line is one.
std::optional<ClipName> clipName(const QByteArray &data, const Line &line)
{
    static const QByteArray bom("\xEF\xBB\xBF");
    static const QByteArray from("FROM CLIP NAME:");
    static const QByteArray to("TO CLIP NAME:");
    const QByteArrayView content(data.constData() + line.begin, line.end - line.begin);
    qsizetype at = content.startsWith(bom) ? bom.size() : 0;
    if (at >= content.size() || content.at(at) != '*')
        return std::nullopt;
    ++at;
    while (at < content.size() && isBlank(content.at(at)))
        ++at;
    const bool incoming = content.sliced(at).startsWith(to);
    if (!incoming && !content.sliced(at).startsWith(from))
        return std::nullopt;
    at += incoming ? to.size() : from.size();
    while (at < content.size() && isBlank(content.at(at)))
        ++at;
    qsizetype end = content.size();
    while (end > at && isBlank(content.at(end - 1)))
        --end;
    if (end == at)
        return std::nullopt;

    const QByteArrayView bytes = content.sliced(at, end - at);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8.decode(bytes);
    // Older editing systems write ISO 8859-1; anything that is not valid UTF-8 is read as such.
    if (utf8.hasError())
        text = QString::fromLatin1(bytes);
    return ClipName{incoming, line.begin + at, line.begin + end, text};
}

// Names match ignoring case and under canonical equivalence: an accent may be written as one
// character or as a letter and a combining mark, depending on the system that wrote the name.
QString key(const QString &name)
{
    return name.normalized(QString::NormalizationForm_D)
        .toLower()
        .normalized(QString::NormalizationForm_C);
}

} // namespace

Result rewrite(const QByteArray &data, const QString &reel, const QList<File> &files)
{
    QHash<QString, QString> byDroppedName;
    QHash<Slot, QString> bySlot;
    for (const File &file : files) {
        byDroppedName.insert(key(file.originalName.trimmed()), file.finalName);
        bySlot.insert(file.slot, file.finalName);
    }

    const QList<Line> lines = splitLines(data);
    QList<std::optional<ClipName>> clips;
    clips.reserve(lines.size());
    QHash<QString, int> uses; // clip lines only: a transition's incoming clip is named again
    for (const Line &line : lines) {
        clips.append(clipName(data, line));
        if (clips.last() && !clips.last()->incoming)
            ++uses[key(clips.last()->text)];
    }

    Result result;
    for (const File &file : files) {
        if (uses.value(key(file.originalName.trimmed())) >= 2 &&
            !result.ambiguous.contains(file.originalName))
            result.ambiguous.append(file.originalName);
    }

    // The new name of every clip named on exactly one clip line; a transition's line naming the
    // same clip takes the same name.
    QHash<QString, QString> renamed;
    for (const std::optional<ClipName> &clip : std::as_const(clips)) {
        if (!clip || clip->incoming)
            continue;
        const QString name = key(clip->text);
        if (uses.value(name) != 1)
            continue;
        if (const auto found = byDroppedName.constFind(name); found != byDroppedName.constEnd()) {
            renamed.insert(name, *found);
        } else if (const auto parsed = Naming::parse(clip->text);
                   parsed && parsed->reelKey() == reel) {
            const auto slot = bySlot.constFind(Slot{parsed->surface, parsed->proxy});
            if (slot != bySlot.constEnd())
                renamed.insert(name, *slot);
        }
    }

    QByteArray &out = result.data;
    out.reserve(data.size() + 256);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const Line &line = lines.at(i);
        const std::optional<ClipName> &clip = clips.at(i);
        std::optional<QString> newName;
        if (clip) {
            if (const auto found = renamed.constFind(key(clip->text)); found != renamed.constEnd())
                newName = *found;
        }
        if (newName && newName->normalized(QString::NormalizationForm_C) !=
                           clip->text.normalized(QString::NormalizationForm_C)) {
            out.append(data.constData() + line.begin, clip->begin - line.begin);
            out.append(newName->toUtf8());
            out.append(data.constData() + clip->end, line.end - clip->end);
            ++result.changed;
        } else {
            out.append(data.constData() + line.begin, line.end - line.begin);
        }
        out.append(data.constData() + line.end, line.terminator - line.end);
    }
    return result;
}

QString ambiguousMessage(const QString &name)
{
    return QStringLiteral("Your EDL uses %1 for more than one clip. Export with a unique name per "
                          "reel (for example the names Tessera gives), then drop again.")
        .arg(name);
}

} // namespace tessera::EDLRewriter
