#pragma once

#include "core/precheck/ByteSource.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QtEndian>

#include <variant>

// Walking the boxes (atoms) of a QuickTime file inside a ByteSource. Every way a box can be wrong
// becomes a Failure whose text is a plain lower-case phrase naming the box and where it is.
namespace tessera::Boxes {

struct Box
{
    QByteArray type;
    qint64 offset = 0;
    qint64 headerSize = 8;
    qint64 size = 0;

    qint64 payloadOffset() const { return offset + headerSize; }
    qint64 payloadSize() const { return size - headerSize; }
    qint64 end() const { return offset + size; }
};

struct Failure
{
    QString text;
};

template<typename T>
using Outcome = std::variant<T, Failure>;

inline quint32 be32(const QByteArray &bytes, qsizetype at)
{
    return qFromBigEndian<quint32>(bytes.constData() + at);
}

inline quint64 be64(const QByteArray &bytes, qsizetype at)
{
    return qFromBigEndian<quint64>(bytes.constData() + at);
}

// A box type for a failure phrase; bytes that aren't printable ASCII are shown as "?".
QString typeText(const QByteArray &type);

// The box header at position inside a container that ends at end. `where` names the container
// for the failure ("the movie box").
Outcome<Box> at(ByteSource &source, qint64 position, qint64 end, const QString &where);

// The boxes inside [begin, end). Each header counts against boxesLeft, shared by one whole walk,
// so that a hostile file of millions of tiny boxes cannot make it slow.
Outcome<QList<Box>> children(ByteSource &source, int &boxesLeft, qint64 begin, qint64 end,
                             const QString &where);

const Box *first(const QList<Box> &boxes, const char *type);

// The first `length` bytes of a box's payload; a shorter payload or a short read is a failure.
Outcome<QByteArray> payload(ByteSource &source, const Box &box, qint64 length, const QString &what);

} // namespace tessera::Boxes
