#pragma once
// Where a session's scratch files live, and how they are written. One
// session at a time owns a folder's scratch files: it holds a lock on the
// folder (flock, which the kernel drops however the session ends). Another
// session finds the lock taken and keeps its scratch files in the user's
// data folder instead. The files themselves are never reached through a
// symbolic link.
#include <QFile>
#include <QString>
#include <QStringList>

namespace platform {

class ScratchFolder
{
public:
    ScratchFolder() = default;
    ~ScratchFolder() { release(); }
    ScratchFolder(const ScratchFolder &) = delete;
    ScratchFolder &operator=(const ScratchFolder &) = delete;

    // Takes `folder` when no other session holds it; false with the reason
    // otherwise (EWOULDBLOCK's text while another session owns it).
    bool claim(const QString &folder, QString *reason = nullptr);
    void release();
    bool held() const { return m_fd >= 0; }
    // With a trailing separator; empty while none is held.
    QString folder() const { return m_folder; }

private:
    int m_fd = -1;
    QString m_folder;
};

// The folders a session's scratch files may live in, best first: the work
// folder, the user's data folder, then numbered folders in it.
QStringList scratchCandidates();

// This session's claim.
ScratchFolder &sessionScratch();
// Claims the first free candidate for this session. *taken receives the
// preferred folder when another session owns it (empty otherwise); false
// with the reason when no candidate could be claimed.
bool claimSessionScratch(QString *taken, QString *reason);
// The folder of this session's scratch files: the claimed one, else the
// work folder.
QString scratchFolder();
// Removes the named scratch files at exit: this session's own, or, without
// a claim, those in the work folder when no running session owns them (what
// an ended session left). A running session's files are never touched.
void removeScratchFiles(const QStringList &names);

// Creates an empty scratch file. What is there already (an old scratch
// file, a symbolic link) is removed, never followed or truncated; a folder
// there is refused.
bool createScratchFile(const QString &path, QString *reason);
// Opens a scratch file into *file for appending (creating it when missing)
// without following a symbolic link; anything but a regular file is
// refused. False with the reason.
bool openScratchForAppend(const QString &path, QFile *file, QString *reason);

} // namespace platform
