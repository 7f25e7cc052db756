#include "core/copy/MountTable.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace tessera;

namespace {

QByteArray gvfsLine(const QString &fuseRoot)
{
    // A mountinfo path field escapes a space as octal.
    return "71 45 0:44 / " + fuseRoot.toUtf8().replace(' ', "\\040") +
           " rw,nosuid,nodev,relatime shared:40 - fuse.gvfsd-fuse gvfsd-fuse "
           "rw,user_id=1000,group_id=1000\n";
}

} // namespace

class MountTableTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void kernelMountsAreReadWithEscapedNamesAndOnlySMBMatches()
    {
        const QByteArray table =
            "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw,discard\n"
            "97 26 0:50 / /mnt/nas\\040drop rw,relatime shared:52 - cifs "
            "//nas.halcyon.local/Production "
            "rw,vers=3.1.1,cache=strict,username=bob,uid=1000,addr=10.0.0.5,port=1445\n"
            "98 26 0:51 / /media/tab\\011and\\134slash rw,relatime - smb3 "
            "//NAS.halcyon.local/production/ rw\n"
            "99 26 0:52 / /mnt/nfs rw,relatime shared:53 - nfs4 nas.halcyon.local:/Production "
            "rw,vers=4.2\n"
            "100 26 0:53 / /mnt/afp rw,relatime - fuse.afpfs //nas.halcyon.local/Production rw\n"
            "this line is not a mount\n"
            "101 26 0:54 / /mnt/\xff\xfe rw - tmpfs tmpfs rw\n";
        const QList<MountEntry> entries = MountTable::fromMountInfo(table);
        QCOMPARE(entries.size(), 6);
        QCOMPARE(entries[0], (MountEntry{QStringLiteral("/dev/vda"), QStringLiteral("/"),
                                         QStringLiteral("ext4")}));
        QCOMPARE(entries[1],
                 (MountEntry{QStringLiteral("//nas.halcyon.local/Production"),
                             QStringLiteral("/mnt/nas drop"), QStringLiteral("smbfs")}));
        QCOMPARE(entries[2].on, QStringLiteral("/media/tab\tand\\slash"));
        QCOMPARE(entries[2].type, QStringLiteral("smbfs"));
        QCOMPARE(entries[3].type, QStringLiteral("nfs4"));
        QCOMPARE(entries[4].type, QStringLiteral("fuse.afpfs"));
        QCOMPARE(entries[5].on, QStringLiteral("/mnt/\uFFFD\uFFFD"));

        // The same share mounted twice gives both, in table order; NFS and AFP mounts of it do not
        // count.
        const QList<QUrl> points = MountTable::mountPoints(QStringLiteral("nas.halcyon.local"),
                                                           QStringLiteral("Production"), entries);
        QCOMPARE(points,
                 (QList<QUrl>{QUrl::fromLocalFile(QStringLiteral("/mnt/nas drop/")),
                              QUrl::fromLocalFile(QStringLiteral("/media/tab\tand\\slash/"))}));
        QVERIFY(MountTable::mountPoints(QStringLiteral("nas.halcyon.local"),
                                        QStringLiteral("Other"), entries)
                    .isEmpty());
        // This process's own table has the root and /proc.
        const QList<MountEntry> here = MountTable::current();
        QVERIFY(std::any_of(here.begin(), here.end(),
                            [](const MountEntry &e) { return e.on == u"/"; }));
        QVERIFY(std::any_of(here.begin(), here.end(),
                            [](const MountEntry &e) { return e.type == u"proc"; }));
        // A source matches a host and share whatever the user, port or case.
        const QString host = QStringLiteral("nas.halcyon.local");
        const QString share = QStringLiteral("Drop Box");
        for (const char *source :
             {"//Bob@NAS.Halcyon.LOCAL:445/Drop%20Box/", "//bob@nas.halcyon.local/drop%20box",
              "//nas.halcyon.local:1445/Drop Box//", "//a@b@nas.halcyon.local/Drop%20Box"})
            QVERIFY2(MountTable::source(QString::fromUtf8(source), host, share), source);
        for (const char *source :
             {"nas.halcyon.local/Drop Box", "//nas.halcyon.local", "//", "",
              "//other.local/Drop%20Box", "//nas.halcyon.local/Drop%20Box/Reels",
              // The host is compared as written, not decoded.
              "//nas%2Ehalcyon.local/Drop%20Box"})
            QVERIFY2(!MountTable::source(QString::fromUtf8(source), host, share), source);
        // Full Unicode lower-casing on both sides.
        QVERIFY(MountTable::source(QStringLiteral("//nas/%C3%84RGER"), QStringLiteral("NAS"),
                                   QStringLiteral("ärger")));
        // A broken escape keeps the share as written; it does not become a partial decoding.
        QVERIFY(MountTable::source(QStringLiteral("//nas/50%zz"), QStringLiteral("nas"),
                                   QStringLiteral("50%zz")));
        QVERIFY(MountTable::source(QStringLiteral("//nas/a%FFb"), QStringLiteral("nas"),
                                   QStringLiteral("a%ffb")));
    }

    void gvfsShareFoldersBecomeEntriesOfTheirOwn()
    {
        QTemporaryDir temp;
        const QString root = temp.path() + QStringLiteral("/run user/gvfs");
        const QStringList folders = {
            QStringLiteral("smb-share:server=nas.halcyon.local,share=production"),
            QStringLiteral("smb-share:port=1445,server=nas.halcyon.local,share=drop%20zone%2Cx%3D1,"
                           "user=r%C3%B6ot"),
            QStringLiteral("smb-share:domain=WORKGROUP,server=10.0.0.5,share=production,user=bob"),
            QStringLiteral("sftp:host=nas.halcyon.local,user=bob"),
            QStringLiteral("smb-share:server=,share=production"),
        };
        for (const QString &folder : folders)
            QVERIFY(QDir().mkpath(root + u'/' + folder));
        QFile notAFolder(root + QStringLiteral("/smb-share:server=nas.halcyon.local,share=file"));
        QVERIFY(notAFolder.open(QIODevice::WriteOnly));

        const QByteArray table = "26 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n" +
                                 gvfsLine(root)
                                 // A GVfs mount of another user, which this process cannot list.
                                 + gvfsLine(temp.path() + QStringLiteral("/missing"));
        const QList<MountEntry> entries = MountTable::fromMountInfo(table);
        QList<MountEntry> smb = entries;
        smb.removeFirst();
        std::sort(smb.begin(), smb.end(),
                  [](const MountEntry &a, const MountEntry &b) { return a.on < b.on; });
        QCOMPARE(smb, (QList<MountEntry>{
                          {QStringLiteral("//bob@10.0.0.5/production"), root + u'/' + folders[2],
                           QStringLiteral("smbfs")},
                          {QStringLiteral("//röot@nas.halcyon.local:1445/drop%20zone%2Cx%3D1"),
                           root + u'/' + folders[1], QStringLiteral("smbfs")},
                          {QStringLiteral("//nas.halcyon.local/production"),
                           root + u'/' + folders[0], QStringLiteral("smbfs")},
                      }));

        QCOMPARE(MountTable::mountPoints(QStringLiteral("nas.halcyon.local"),
                                         QStringLiteral("Drop Zone,x=1"), entries),
                 QList<QUrl>{QUrl::fromLocalFile(root + u'/' + folders[1] + u'/')});
        QCOMPARE(MountTable::mountPoints(QStringLiteral("NAS.halcyon.local"),
                                         QStringLiteral("Production"), entries),
                 QList<QUrl>{QUrl::fromLocalFile(root + u'/' + folders[0] + u'/')});
    }
};

QTEST_GUILESS_MAIN(MountTableTest)
#include "MountTableTest.moc"
