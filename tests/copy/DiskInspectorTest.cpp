#include "core/copy/DiskInspector.h"

#include "core/copy/SafeCopier.h"
#include "tests/copy/CopyTestSupport.h"

#include <QAtomicInt>
#include <QDateTime>
#include <QDir>
#include <QTemporaryDir>

#include <thread>
#include <vector>

using namespace tessera;
using namespace tessera::testing;

namespace {

void setModified(const QString &path, const QDateTime &when)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(when, QFileDevice::FileModificationTime));
}

// An inspector that counts the files it reads.
struct Counted : DiskInspector
{
    QAtomicInt reads;
    Counted()
        : DiskInspector([this](const QUrl &url) {
            reads.ref();
            return SafeCopier::sha256(url);
        })
    {}
};

QString digest(const char *bytes)
{
    return SafeCopier::sha256(QByteArray(bytes));
}

} // namespace

class DiskInspectorTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsAnUnchangedFileOnceAndRememberedDigestsNever()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("A.mov"));
        put(path, "first version");
        Counted inspector;

        QCOMPARE(inspector.sha256(file(path)), digest("first version"));
        QCOMPARE(inspector.sha256(file(path)), digest("first version"));
        // Another spelling of the same path finds the same record.
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("x")));
        QCOMPARE(inspector.sha256(file(dir.filePath(QStringLiteral("x/.././A.mov")))),
                 digest("first version"));
        QCOMPARE(inspector.reads.loadRelaxed(), 1);

        // Same size, other bytes, other modification time: read again.
        const QDateTime earlier = QFileInfo(path).lastModified();
        put(path, "other version");
        setModified(path, earlier.addSecs(-60));
        QCOMPARE(inspector.sha256(file(path)), digest("other version"));
        QCOMPARE(inspector.sha256(file(path)), digest("other version"));
        QCOMPARE(inspector.reads.loadRelaxed(), 2);

        // Other size, same modification time: read again.
        const QDateTime stamp = QFileInfo(path).lastModified();
        put(path, "a longer third version");
        setModified(path, stamp);
        QCOMPARE(inspector.sha256(file(path)), digest("a longer third version"));
        QCOMPARE(inspector.reads.loadRelaxed(), 3);

        // A remembered digest is not read again.
        const QString other = dir.filePath(QStringLiteral("B.mov"));
        put(other, "bytes");
        Counted fresh;
        fresh.remember(file(other), QStringLiteral("remembered"));
        QCOMPARE(fresh.sha256(file(other)), QStringLiteral("remembered"));
        QCOMPARE(fresh.reads.loadRelaxed(), 0);

        // A record for a file that cannot be seen never answers for it.
        const QString gone = dir.filePath(QStringLiteral("gone.mov"));
        fresh.remember(file(gone), QStringLiteral("stale"));
        QVERIFY_THROWS_EXCEPTION(CopyError, fresh.sha256(file(gone)));
        QCOMPARE(fresh.reads.loadRelaxed(), 1);

        QVERIFY(fresh.exists(file(other)));
        QVERIFY(!fresh.exists(file(gone)));
    }

    void concurrentCallersAgree()
    {
        QTemporaryDir dir;
        QStringList paths, digests;
        for (int i = 0; i < 4; ++i) {
            const QByteArray bytes(100'000 + i, static_cast<char>('a' + i));
            paths.append(dir.filePath(QString::number(i)));
            put(paths.last(), bytes);
            digests.append(SafeCopier::sha256(bytes));
        }
        Counted inspector;
        QAtomicInt wrong;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&] {
                for (int round = 0; round < 50; ++round)
                    for (int i = 0; i < paths.size(); ++i)
                        if (inspector.sha256(file(paths[i])) != digests[i])
                            wrong.ref();
            });
        }
        for (auto &thread : threads)
            thread.join();
        QCOMPARE(wrong.loadRelaxed(), 0);
        // Two callers may hash one file at once, but never more often than there are callers.
        const int reads = inspector.reads.loadRelaxed();
        QVERIFY2(reads >= 4 && reads <= 16, qPrintable(QString::number(reads)));
    }
};

QTEST_GUILESS_MAIN(DiskInspectorTest)
#include "DiskInspectorTest.moc"
