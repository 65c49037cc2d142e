#include "support/file_calls.h"

#include <cerrno>
#include <utility>

int NoXattrCalls::getDosAttrib(int, QByteArray *) { return ENOTSUP; }
int NoXattrCalls::getDosAttribAt(int, const char *, QByteArray *) { return ENOTSUP; }
int NoXattrCalls::setDosAttrib(int, const QByteArray &) { return ENOTSUP; }

int SwapCalls::after(bool now, int e)
{
    if (now && swap)
        std::exchange(swap, nullptr)();
    return e;
}

int SwapCalls::openAt(int dirfd, const char *name, int flags, int *fd)
{
    const int e = FileCalls::openAt(dirfd, name, flags, fd);
    return after(afterName.isEmpty() ? ++opens == at : afterName == name, e);
}

int SwapCalls::openBeneath(int dirfd, const char *path, int *fd)
{
    if (walk)
        return *fd = -1, ENOSYS;
    const int e = FileCalls::openBeneath(dirfd, path, fd);
    return after(afterName.isEmpty() && ++opens == at, e);
}

int SwapCalls::statAt(int dirfd, const char *name, struct stat *st, bool follow)
{
    const int e = FileCalls::statAt(dirfd, name, st, follow);
    return after(!afterName.isEmpty() && afterName == name, e);
}

