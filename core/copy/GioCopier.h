#pragma once

#include "core/copy/GioFile.h"
#include "core/copy/SafeCopier.h"

// The safe copier's operations for a destination on a GVfs share that GIO reaches directly (see
// GioFile). They keep every promise of the POSIX way and add the overlapped copy.
namespace tessera::SafeCopier::Gio {

// The share's file at a URL's path, when the path lies on a GVfs mount that GIO maps to its
// daemon.
std::optional<GioFile> fileFor(const QUrl &url);

// As the operations of the same names; `destination` is the share's file at `to`, `partial` at
// `sent.partial`.
Sent send(const GioFile &destination, const QUrl &from, const QUrl &to, const Progress &progress);
QString place(const GioFile &partial, const Sent &sent, const Progress &checking);
QString copyOverlapped(const GioFile &destination, const QUrl &from, const QUrl &to,
                       const Transfer &transfer);
QString write(const GioFile &destination, const QByteArray &data, const QUrl &to);
void discard(const GioFile &partial);
QString sha256(const GioFile &file, const QString &name, const Progress &progress);
// Throws RenameError.
void renameNoReplace(const GioFile &from, const GioFile &to);

} // namespace tessera::SafeCopier::Gio
