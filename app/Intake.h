#pragma once

#include "app/KeyedListModel.h"
#include "app/Task.h"
#include "app/Workflow.h"
#include "core/precheck/ExportRules.h"
#include "core/precheck/PreCheck.h"

#include <QHash>
#include <QObject>
#include <QUrl>

#include <functional>
#include <optional>

namespace tessera {

// What the editor dropped: the movies with their surfaces, the one EDL, what was left out, and
// the reading of every movie on this computer before anything is copied.
class Intake : public QObject
{
    Q_OBJECT
    Q_PROPERTY(tessera::KeyedListModel *files READ filesModel CONSTANT)
    Q_PROPERTY(int fileCount READ fileCount NOTIFY filesChanged)
    Q_PROPERTY(QString edlFileName READ edlFileName NOTIFY edlChanged)
    Q_PROPERTY(QString dropMessage READ dropMessageText NOTIFY dropMessageChanged)
    Q_PROPERTY(bool checkingFiles READ checkingFiles NOTIFY checkingFilesChanged)

public:
    // A movie's reading and the stamp of the file it was read from.
    struct Reading
    {
        FileStamp stamp;
        PreCheck::Reading reading;
    };
    // Where the NAS's drop folder is mounted on this computer, when it is.
    using DropFolderLookup = std::function<std::optional<QUrl>()>;

    Intake(DropFolderLookup lookup, QObject *parent = nullptr);
    ~Intake() override;

    const QList<DroppedFile> &files() const { return m_files; }
    const std::optional<QUrl> &edl() const { return m_edl; }
    const std::optional<QString> &dropMessage() const { return m_dropMessage; }
    const QHash<QString, Reading> &readings() const { return m_readings; }
    bool checkingFiles() const { return m_checkingFiles; }
    const std::optional<QUrl> &dropRoot() const { return m_dropRoot; }
    const ExportRules::SizeTable &exportSizes() const { return m_exportSizes; }
    QStringList fileNames() const;

    // Takes dropped or chosen files: folders stand for the movies and EDLs directly inside them;
    // other files are named in the drop message.
    void add(const QList<QUrl> &urls);
    void remove(const DroppedFile &file);
    Q_INVOKABLE void remove(const QString &fileID);
    // Takes back the dropped EDL.
    Q_INVOKABLE void removeEDL();
    void setSlot(const DroppedFile &file, const std::optional<Slot> &slot);
    // From the surface menu: a surface's raw value ("awall" …) at full size; "" clears it.
    Q_INVOKABLE void setSurface(const QString &fileID, const QString &surface);
    // Asks the window to show its file dialog; the window hands the chosen files on as a drop.
    Q_INVOKABLE void chooseFiles();
    // Starts readings for the files whose reading is missing or older than the file.
    Q_INVOKABLE void refreshChecks();
    // Forgets the files, the EDL and the drop message; the readings stay cached.
    void clear();
    // The editor's files that were renamed on this computer now point at their new names.
    void relocate(const QList<std::pair<QUrl, QUrl>> &moves);
    void setFiles(QList<DroppedFile> files);
    // The files and the EDL of a run taken up again.
    void setDropped(QList<DroppedFile> files, const std::optional<QUrl> &edl);
    void setExportSizes(const ExportRules::SizeTable &sizes);
    void setDropFolderLookup(DropFolderLookup lookup) { m_lookup = std::move(lookup); }
    // A drop folder found by other means, the run's mount.
    void setDropRoot(const std::optional<QUrl> &root);

    KeyedListModel *filesModel() const { return m_filesModel; }
    int fileCount() const { return int(m_files.size()); }
    QString edlFileName() const;
    QString dropMessageText() const { return m_dropMessage.value_or(QString()); }

Q_SIGNALS:
    void filesChanged();
    // The files' names changed (which says nothing about the reel any more).
    void namesChanged();
    // The files' locations changed (which calls for new readings on the confirm step).
    void locationsChanged();
    void edlChanged();
    // A drop brought an EDL, or the editor took it back.
    void edlDropped();
    void edlRemoved();
    void dropMessageChanged();
    void checkingFilesChanged();
    // A reading arrived, the drop folder or the expected sizes changed: the problems may differ.
    void checksChanged();
    void chooseFilesRequested();

private:
    void setEDL(const std::optional<QUrl> &edl);
    void setDropMessage(const std::optional<QString> &message);
    void setCheckingFiles(bool checking);
    static QCoro::Task<> check(QPointer<Intake> self, Task task, QList<QUrl> needed);

    DropFolderLookup m_lookup;
    QList<DroppedFile> m_files;
    std::optional<QUrl> m_edl;
    std::optional<QString> m_dropMessage;
    QHash<QString, Reading> m_readings; // by standardized path
    bool m_checkingFiles = false;
    std::optional<QUrl> m_dropRoot;
    ExportRules::SizeTable m_exportSizes = ExportRules::fullSizes();
    Task m_task;
    KeyedListModel *m_filesModel = nullptr;
};

} // namespace tessera
