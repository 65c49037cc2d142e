#pragma once
// File-system fakes: each stands for one kind of file system or one race by
// replacing platform::fileCalls() (setFileCalls) for a test's scope.
#include "platform/file_calls.h"

#include <QByteArray>

#include <functional>

// A file system without user extended attributes.
class NoXattrCalls : public platform::FileCalls
{
public:
    int getDosAttrib(int, QByteArray *) override;
    int getDosAttribAt(int, const char *, QByteArray *) override;
    int setDosAttrib(int, const QByteArray &) override;
};

// Runs `swap` once, at a moment a link put in place could redirect a walk:
// right after the `at`-th open below the chosen folder (counting the chosen
// folder's own open as 1), or, when `afterName` is set, right after the
// entry of that name was examined (opened or its status read). `walk`
// refuses openat2, so the walk one name at a time does the work.
class SwapCalls : public platform::FileCalls
{
public:
    int at = 1, opens = 0;
    QByteArray afterName;
    bool walk = false;
    std::function<void()> swap;

    int openAt(int dirfd, const char *name, int flags, int *fd) override;
    int openBeneath(int dirfd, const char *path, int *fd) override;
    int statAt(int dirfd, const char *name, struct stat *st, bool follow) override;

private:
    int after(bool now, int e);
};

