#pragma once

// Movies for the pre-check tests: QuickTime files built byte by byte for what ffmpeg cannot make,
// real ones made by ffmpeg at test time, and ffprobe's view of them as the oracle.

#include "tests/copy/CopyTestSupport.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QtEndian>

#include <cmath>

namespace fixtures {

using tessera::testing::contents;
using tessera::testing::put;

template<typename T>
QByteArray bigEndian(T value)
{
    QByteArray bytes(sizeof(T), Qt::Uninitialized);
    qToBigEndian(value, bytes.data());
    return bytes;
}
inline const auto be16 = bigEndian<quint16>;
inline const auto be32 = bigEndian<quint32>;
inline const auto be64 = bigEndian<quint64>;

inline QByteArray atom(const char *type, const QByteArray &payload = {})
{
    return be32(quint32(8 + payload.size())) + QByteArray(type, 4) + payload;
}

// The 16-byte header form: size 1, then the 64-bit size.
inline QByteArray atom64(const char *type, const QByteArray &payload = {})
{
    return be32(1) + QByteArray(type, 4) + be64(quint64(16 + payload.size())) + payload;
}

inline QByteArray ftyp()
{
    return atom("ftyp", QByteArray("qt  ") + be32(0x200) + QByteArray("qt  "));
}

// Version, flags, two dates, time scale and duration, as the movie and media headers start.
inline QByteArray timing(int version, quint32 timeScale, quint64 duration)
{
    if (version == 1)
        return be32(1 << 24) + be64(0) + be64(0) + be32(timeScale) + be64(duration);
    return be32(0) + be32(0) + be32(0) + be32(timeScale) + be32(quint32(duration));
}

inline QByteArray mvhd(int version, quint32 timeScale, quint64 duration)
{
    return atom("mvhd", timing(version, timeScale, duration) + be32(0x00010000) + be16(0x0100) +
                            QByteArray(70, '\0') + be32(2));
}

inline QByteArray mdhd(quint32 timeScale, quint64 duration, int version = 0)
{
    return atom("mdhd", timing(version, timeScale, duration) + be32(0));
}

// Natural size in 16.16 fixed point, as the track header stores it.
inline QByteArray tkhd(double width, double height, int version = 0)
{
    QByteArray body = be32((quint32(version) << 24) | 3);
    if (version == 1)
        body += be64(0) + be64(0) + be32(1) + be32(0) + be64(0);
    else
        body += be32(0) + be32(0) + be32(1) + be32(0) + be32(0);
    return atom("tkhd", body + QByteArray(52, '\0') + be32(quint32(std::llround(width * 65536))) +
                            be32(quint32(std::llround(height * 65536))));
}

inline QByteArray hdlr(const char *handler)
{
    return atom("hdlr",
                be32(0) + QByteArray("mhlr") + QByteArray(handler, 4) + QByteArray(13, '\0'));
}

// One sample description of the given format, or none when format is null.
inline QByteArray stsd(const char *format)
{
    if (!format)
        return atom("stsd", be32(0) + be32(0));
    const QByteArray entry = atom(format, QByteArray(6, '\0') + be16(1) + QByteArray(70, '\0'));
    return atom("stsd", be32(0) + be32(1) + entry);
}

inline QByteArray stts(const QList<std::pair<quint32, quint32>> &entries)
{
    QByteArray body = be32(0) + be32(quint32(entries.size()));
    for (const auto &[count, delta] : entries)
        body += be32(count) + be32(delta);
    return atom("stts", body);
}

struct Track
{
    const char *handler = "vide";
    double width = 0;
    double height = 0;
    const char *codec = "apcs";
    quint32 timeScale = 3000;
    quint32 sampleDelta = 100; // 30 fps at 3000
    quint32 samples = 6;
};

inline QByteArray trak(const Track &track)
{
    const QByteArray stbl =
        atom("stbl", stsd(track.codec) + stts({{track.samples, track.sampleDelta}}) +
                         atom("stsz", be32(0) + be32(0) + be32(track.samples)));
    const QByteArray minf = atom("minf", atom("vmhd", be32(1) + QByteArray(8, '\0')) + stbl);
    const QByteArray mdia =
        atom("mdia", mdhd(track.timeScale, quint64(track.samples) * track.sampleDelta) +
                         hdlr(track.handler) + minf);
    return atom("trak", tkhd(track.width, track.height) + mdia);
}

// ftyp, moov (mvhd and the tracks), then an mdat of mdatBytes.
inline QByteArray movie(const QList<Track> &tracks, quint32 timeScale = 600, quint64 duration = 120,
                        int mdatBytes = 64)
{
    QByteArray moov = mvhd(0, timeScale, duration);
    for (const Track &track : tracks)
        moov += trak(track);
    return ftyp() + atom("moov", moov) + atom("mdat", QByteArray(mdatBytes, '\x5a'));
}

// A fragment of one track: `count` samples of `duration` each (the track header's default),
// starting at decode time `start`.
inline QByteArray moof(quint32 track, quint64 start, quint32 count, quint32 duration)
{
    const QByteArray tfhd = atom("tfhd", be32(0x08) + be32(track) + be32(duration));
    const QByteArray tfdt = atom("tfdt", be32(1 << 24) + be64(start));
    const QByteArray trun = atom("trun", be32(0) + be32(count));
    return atom("moof", atom("mfhd", be32(0) + be32(1)) + atom("traf", tfhd + tfdt + trun));
}

// The fragment index of one track (version 1 entries), with the mfro box that ends the file.
inline QByteArray mfra(quint32 track, const QList<quint64> &fragments)
{
    QByteArray entries;
    for (quint64 offset : fragments)
        entries += be64(0) + be64(offset) + QByteArray("\1\1\1");
    const QByteArray tfra =
        atom("tfra", be32(1 << 24) + be32(track) + be32(0) + be32(fragments.size()) + entries);
    return atom("mfra", tfra + be32(16) + "mfro" + be32(0) + be32(8 + tfra.size() + 16));
}

// ftyp, a movie box whose one video track (30 fps at 15360) has all its samples in fragments,
// then `count` fragments of one sample each, and the index when asked for.
inline QByteArray fragmentedMovie(int count, bool indexed)
{
    const QByteArray trex = atom("trex", be32(0) + be32(1) + be32(1) + be32(0) + be32(0) + be32(0));
    QByteArray file = ftyp() + atom("moov", mvhd(0, 1000, 0) +
                                                trak(Track{"vide", 64, 32, "apcs", 15360, 512, 0}) +
                                                atom("mvex", trex));
    QList<quint64> fragments;
    for (int i = 0; i < count; ++i) {
        fragments.append(quint64(file.size()));
        file += moof(1, quint64(i) * 512, 1, 512) + atom("mdat", QByteArray(16, 'f'));
    }
    return indexed ? file + mfra(1, fragments) : file;
}

// Command-line arguments written as one line; none of them may hold a space.
inline QStringList args(const char *line)
{
    return QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts);
}

// Runs ffmpeg quietly; true when it made the file.
inline bool ffmpeg(const QStringList &arguments)
{
    QProcess process;
    process.start(QStringLiteral("ffmpeg"), args("-v error -y") + arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

// ffprobe's streams and format of a file.
inline QJsonObject ffprobe(const QString &path)
{
    QProcess process;
    process.start(QStringLiteral("ffprobe"), args("-v error -show_streams -show_format -of json")
                                                 << path);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(process.readAllStandardOutput()).object();
}

// "30000/1001" -> 29.97…
inline double rational(const QString &text)
{
    const QStringList parts = text.split(u'/');
    if (parts.size() != 2 || parts[1].toDouble() == 0)
        return 0;
    return parts[0].toDouble() / parts[1].toDouble();
}

} // namespace fixtures
