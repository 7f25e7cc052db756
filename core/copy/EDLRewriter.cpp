#include "core/copy/EDLRewriter.h"

#include "core/naming/Naming.h"

#include <QHash>
#include <QSet>
#include <QStringDecoder>

#include <algorithm>
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

QByteArrayView contentOf(const QByteArray &data, const Line &line)
{
    static const QByteArray bom("\xEF\xBB\xBF");
    const QByteArrayView content(data.constData() + line.begin, line.end - line.begin);
    return content.startsWith(bom) ? content.sliced(bom.size()) : content;
}

// The clip name of a "* FROM CLIP NAME:" or "* TO CLIP NAME:" comment line, when the line is one.
// Some editing systems leave out the asterisk; the marker then starts the line.
std::optional<ClipName> clipName(const QByteArray &data, const Line &line)
{
    static const QByteArray from("FROM CLIP NAME:");
    static const QByteArray to("TO CLIP NAME:");
    const QByteArrayView content = contentOf(data, line);
    const qsizetype offset = line.end - line.begin - content.size(); // the byte-order mark
    qsizetype at = 0;
    if (at < content.size() && content.at(at) == '*') {
        ++at;
        while (at < content.size() && isBlank(content.at(at)))
            ++at;
    }
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
    return ClipName{incoming, line.begin + offset + at, line.begin + offset + end, text};
}

// An event line ("002  BX  V  D  030  00:00:10:00 …"): its number and its edit type (C for a
// cut, D for a dissolve, W and a number for a wipe, K for a key).
struct Event
{
    QByteArrayView number;
    QByteArrayView edit;
};

std::optional<Event> eventOf(const QByteArray &data, const Line &line)
{
    QList<QByteArrayView> fields;
    const QByteArrayView content = contentOf(data, line);
    for (qsizetype at = 0; at < content.size() && fields.size() < 4;) {
        while (at < content.size() && isBlank(content.at(at)))
            ++at;
        const qsizetype begin = at;
        while (at < content.size() && !isBlank(content.at(at)))
            ++at;
        if (at > begin)
            fields.append(content.sliced(begin, at - begin));
    }
    if (fields.size() < 4 || !std::all_of(fields[0].begin(), fields[0].end(),
                                          [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return Event{fields[0], fields[3]};
}

bool isTransition(QByteArrayView edit)
{
    return edit == "D" ||
           (edit.startsWith("W") && edit.size() > 1 &&
            std::all_of(edit.begin() + 1, edit.end(), [](char c) { return c >= '0' && c <= '9'; }));
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
    QList<QString> keys; // of the clip names, empty for other lines
    clips.reserve(lines.size());
    keys.reserve(lines.size());

    // Lines are read event by event: an event's lines with one number and the comments after
    // them. A transition (a dissolve or a wipe) is one event of two lines, the outgoing clip cut
    // to zero length and then the incoming one; its FROM line names the outgoing clip again,
    // which is the clip of the event before, going on, and not another use of the name.
    struct Block
    {
        bool transition = false;
        QSet<QString> names;
    };
    QList<Block> blocks(1); // the lines before the first event make a block of their own
    QList<qsizetype> blockOf;
    blockOf.reserve(lines.size());
    QByteArrayView eventNumber;
    for (const Line &line : lines) {
        clips.append(clipName(data, line));
        keys.append(clips.last() ? key(clips.last()->text) : QString());
        if (const std::optional<Event> event = eventOf(data, line)) {
            if (event->number != eventNumber) {
                eventNumber = event->number;
                blocks.append(Block{});
            } else if (isTransition(event->edit)) {
                blocks.last().transition = true;
            }
        } else if (clips.last()) {
            blocks.last().names.insert(keys.last());
        }
        blockOf.append(blocks.size() - 1);
    }
    QHash<QString, int> uses; // clip lines naming each clip, transitions going on left out
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!clips.at(i))
            continue;
        const qsizetype block = blockOf.at(i);
        const bool goesOn = blocks.at(block).transition && !clips.at(i)->incoming && block > 1 &&
                            blocks.at(block - 1).names.contains(keys.at(i));
        if (!goesOn)
            ++uses[keys.at(i)];
    }

    Result result;
    for (const File &file : files) {
        if (uses.value(key(file.originalName.trimmed())) >= 2 &&
            !result.ambiguous.contains(file.originalName))
            result.ambiguous.append(file.originalName);
    }

    // The new name of every clip named once; a transition naming it again takes the same name.
    QHash<QString, QString> renamed;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const std::optional<ClipName> &clip = clips.at(i);
        const QString &name = keys.at(i);
        if (!clip || uses.value(name) != 1 || renamed.contains(name))
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
            if (const auto found = renamed.constFind(keys.at(i)); found != renamed.constEnd())
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
