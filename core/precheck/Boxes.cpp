#include "core/precheck/Boxes.h"

namespace tessera::Boxes {

QString typeText(const QByteArray &type)
{
    QString text = QStringLiteral("'");
    for (char byte : type)
        text += (byte >= 0x20 && byte < 0x7f) ? QChar::fromLatin1(byte) : QChar(u'?');
    return text + QStringLiteral("'");
}

Outcome<Box> at(ByteSource &source, qint64 position, qint64 end, const QString &where)
{
    if (end - position < 8)
        return Failure{where + QStringLiteral(" ends in the middle of a box header")};
    const std::optional<QByteArray> header = source.read(position, 16);
    if (!header)
        return Failure{QStringLiteral("reading ") + where + QStringLiteral(" failed")};
    if (header->size() < 8)
        return Failure{where + QStringLiteral(" is cut short")};
    Box box;
    box.type = header->sliced(4, 4);
    box.offset = position;
    quint64 size = be32(*header, 0);
    if (size == 1) {
        if (header->size() < 16 || end - position < 16)
            return Failure{where + QStringLiteral(" ends in the middle of a box header")};
        size = be64(*header, 8);
        box.headerSize = 16;
    } else if (size == 0) {
        size = quint64(end - position);
    }
    if (size < quint64(box.headerSize))
        return Failure{QStringLiteral("the ") + typeText(box.type) + QStringLiteral(" box in ") +
                       where + QStringLiteral(" has an impossible size")};
    if (size > quint64(end - position))
        return Failure{QStringLiteral("the ") + typeText(box.type) +
                       QStringLiteral(" box runs past the end of ") + where};
    box.size = qint64(size);
    return box;
}

Outcome<QList<Box>> children(ByteSource &source, int &boxesLeft, qint64 begin, qint64 end,
                             const QString &where)
{
    QList<Box> boxes;
    for (qint64 position = begin; position < end;) {
        if (--boxesLeft < 0)
            return Failure{QStringLiteral("it holds too many boxes")};
        Outcome<Box> box = at(source, position, end, where);
        if (auto *failure = std::get_if<Failure>(&box))
            return *failure;
        boxes.append(std::get<Box>(box));
        position = boxes.constLast().end();
    }
    return boxes;
}

const Box *first(const QList<Box> &boxes, const char *type)
{
    for (const Box &box : boxes) {
        if (box.type == type)
            return &box;
    }
    return nullptr;
}

Outcome<QByteArray> payload(ByteSource &source, const Box &box, qint64 length, const QString &what)
{
    if (box.payloadSize() < length)
        return Failure{what + QStringLiteral(" is too short")};
    const std::optional<QByteArray> bytes = source.read(box.payloadOffset(), length);
    if (!bytes)
        return Failure{QStringLiteral("reading ") + what + QStringLiteral(" failed")};
    if (bytes->size() < length)
        return Failure{what + QStringLiteral(" is cut short")};
    return *bytes;
}

} // namespace tessera::Boxes
