#include "core/copy/DiskInspector.h"

#include "core/copy/SafeCopier.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <thread>
#include <vector>

using namespace tessera;

namespace {

QUrl file(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

void put(const QString &path, const QByteArray &bytes)
{
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QCOMPARE(out.write(bytes), bytes.size());
}

void setModified(const QString &path, const QDateTime &when)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
}

// An inspector that counts the files it reads.
struct Counted
{
    QAtomicInt reads;
    DiskInspector inspector{[this](const QUrl &url) {
        reads.ref();
        return SafeCopier::sha256(url);
    }};
};

} // namespace

class DiskInspectorTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsAnUnchangedFileOnce()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("A.mov"));
        put(path, QByteArray("first version"));
        Counted counted;
        QAtomicInt &reads = counted.reads;
        DiskInspector &inspector = counted.inspector;

        const QString first = inspector.sha256(file(path));
        QCOMPARE(first, SafeCopier::sha256(QByteArray("first version")));
        QCOMPARE(inspector.sha256(file(path)), first);
        // Another spelling of the same path finds the same record.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("x")));
        QCOMPARE(inspector.sha256(file(dir.path() + QStringLiteral("/x/.././A.mov"))), first);
        QCOMPARE(reads.loadRelaxed(), 1);

        // Same size, other bytes, other modification time: read again.
        const QDateTime earlier = QFileInfo(path).lastModified();
        put(path, QByteArray("other version"));
        setModified(path, earlier.addSecs(-60));
        QCOMPARE(inspector.sha256(file(path)), SafeCopier::sha256(QByteArray("other version")));
        QCOMPARE(reads.loadRelaxed(), 2);
        QCOMPARE(inspector.sha256(file(path)), SafeCopier::sha256(QByteArray("other version")));
        QCOMPARE(reads.loadRelaxed(), 2);

        // Other size, same modification time: read again.
        const QDateTime stamp = QFileInfo(path).lastModified();
        put(path, QByteArray("a longer third version"));
        setModified(path, stamp);
        QCOMPARE(inspector.sha256(file(path)),
                 SafeCopier::sha256(QByteArray("a longer third version")));
        QCOMPARE(reads.loadRelaxed(), 3);
    }

    void rememberedDigestsAreNotReadAgain()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("B.mov"));
        put(path, QByteArray("bytes"));
        Counted counted;
        QAtomicInt &reads = counted.reads;
        DiskInspector &inspector = counted.inspector;
        inspector.remember(file(path), QStringLiteral("remembered"));
        QCOMPARE(inspector.sha256(file(path)), QStringLiteral("remembered"));
        QCOMPARE(reads.loadRelaxed(), 0);

        // A record for a file that cannot be seen never answers for it.
        const QString gone = dir.filePath(QStringLiteral("gone.mov"));
        inspector.remember(file(gone), QStringLiteral("stale"));
        QVERIFY_THROWS_EXCEPTION(CopyError, inspector.sha256(file(gone)));
        QCOMPARE(reads.loadRelaxed(), 1);

        QVERIFY(inspector.exists(file(path)));
        QVERIFY(!inspector.exists(file(gone)));
    }

    void concurrentCallersAgree()
    {
        QTemporaryDir dir;
        QList<QString> paths;
        for (int i = 0; i < 4; ++i) {
            paths.append(dir.filePath(QStringLiteral("%1.mov").arg(i)));
            put(paths.last(), QByteArray(100'000 + i, static_cast<char>('a' + i)));
        }
        Counted counted;
        QAtomicInt &reads = counted.reads;
        DiskInspector &inspector = counted.inspector;
        QAtomicInt wrong;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&] {
                for (int round = 0; round < 50; ++round) {
                    for (int i = 0; i < paths.size(); ++i) {
                        const QString expected =
                            SafeCopier::sha256(QByteArray(100'000 + i, static_cast<char>('a' + i)));
                        if (inspector.sha256(file(paths[i])) != expected)
                            wrong.ref();
                    }
                }
            });
        }
        for (auto &thread : threads)
            thread.join();
        QCOMPARE(wrong.loadRelaxed(), 0);
        // Two callers may hash one file at once, but never more often than there are callers.
        QVERIFY(reads.loadRelaxed() >= 4);
        QVERIFY(reads.loadRelaxed() <= 16);
    }
};

QTEST_GUILESS_MAIN(DiskInspectorTest)
#include "DiskInspectorTest.moc"
