// The attribute word on Linux, read and written in one place, and the rename
// that never replaces an entry.
#include "attribute_word.h"
#include "platform.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {
constexpr quint16 kStoredBits = kReadOnly | kHidden | kSystem | kArchive;
constexpr quint16 kXattrOnlyBits = kHidden | kSystem | kArchive;
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;

QString errnoText(int e) { return QString::fromLocal8Bit(std::strerror(e)); }

// Samba's value begins with the word as hex text ("0x22"), NUL-terminated;
// its binary form follows that text. False when the value has no such text.
bool parseDosAttrib(const QByteArray &v, quint32 *bits)
{
    if (v.size() < 3 || v[0] != '0' || (v[1] != 'x' && v[1] != 'X'))
        return false;
    quint32 n = 0;
    qsizetype i = 2;
    for (; i < v.size() && i < 10; ++i) {
        const char c = v[i];
        const int d = c >= '0' && c <= '9' ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
        if (d < 0)
            break;
        n = n << 4 | quint32(d);
    }
    if (i == 2)
        return false;
    *bits = n;
    return true;
}

QByteArray dosAttribText(quint32 bits) { return "0x" + QByteArray::number(bits, 16) + '\0'; }

// The path as bytes without trailing slashes, and where its last name starts.
QByteArray entryBytes(const QString &path, qsizetype *nameAt)
{
    QByteArray bytes = encodePath(path);
    while (bytes.size() > 1 && bytes.endsWith('/'))
        bytes.chop(1);
    *nameAt = bytes.lastIndexOf('/') + 1;
    return bytes;
}
} // namespace

namespace detail {

bool dotName(const char *name)
{
    return name[0] == '.' && name[1] != 0 && !(name[1] == '.' && name[2] == 0);
}

WordReader::Device &WordReader::device(const char *path, dev_t dev)
{
    for (Device &d : m_devices)
        if (d.dev == dev)
            return d;
    bool fat = false;
    fileCalls().onFat(path, &fat);
    m_devices.append({dev, fat, false});
    return m_devices.last();
}

int WordReader::word(const char *path, const char *name, const struct stat &st, quint16 *word)
{
    FileCalls &calls = fileCalls();
    quint16 w = S_ISDIR(st.st_mode) ? quint16(kDirectory) : quint16(0);
    if (dotName(name))
        w |= kHidden;
    Device &dev = device(path, st.st_dev);
    int error = 0;
    if (dev.fat) {
        quint32 a = 0;
        error = calls.getFatAttributes(path, &a);
        if (error == 0) {
            *word = w | quint16(a & (kStoredBits | kDirectory));
            return 0;
        }
        if (error != ENOTTY)
            return *word = w, error;
        dev.fat = false; // not FAT after all: the usual way
        error = 0;
    }
    if ((st.st_mode & kWriteBits) == 0)
        w |= kReadOnly;
    if (!dev.noXattr) {
        QByteArray value;
        const int e = calls.getDosAttrib(path, &value);
        quint32 bits = 0;
        if (e == 0 && parseDosAttrib(value, &bits))
            w |= quint16(bits & kXattrOnlyBits);
        else if (e == ENOTSUP)
            dev.noXattr = true;
        else if (e != 0 && e != ENODATA)
            error = e;
    }
    *word = w;
    return error;
}

} // namespace detail

bool readAttributes(const QString &path, quint16 *word, QString *error)
{
    qsizetype nameAt;
    const QByteArray bytes = entryBytes(path, &nameAt);
    FileCalls &calls = fileCalls();
    struct stat st;
    int e = bytes.isEmpty() ? ENOENT : calls.stat(bytes.constData(), &st, true);
    if (e == 0) {
        detail::WordReader reader;
        e = reader.word(bytes.constData(), bytes.constData() + nameAt, st, word);
    } else if (e == ENOENT && !bytes.isEmpty() && calls.stat(bytes.constData(), &st, false) == 0) {
        // A link that points nowhere is a plain entry.
        *word = detail::dotName(bytes.constData() + nameAt) ? quint16(kHidden) : quint16(0);
        e = 0;
    }
    if (e != 0 && error)
        *error = errnoText(e);
    return e == 0;
}

bool writeAttributes(const QString &path, quint16 word, QString *error)
{
    qsizetype nameAt;
    const QByteArray bytes = entryBytes(path, &nameAt);
    const char *p = bytes.constData();
    FileCalls &calls = fileCalls();
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    struct stat st;
    if (const int e = bytes.isEmpty() ? ENOENT : calls.stat(p, &st, true))
        return fail(errnoText(e));
    const quint16 want = word & kStoredBits;

    bool fat = false;
    calls.onFat(p, &fat);
    quint32 fatBits = 0;
    if (fat) {
        const int e = calls.getFatAttributes(p, &fatBits);
        if (e == ENOTTY)
            fat = false;
        else if (e != 0)
            return fail(errnoText(e));
    }
    if (fat) {
        const quint32 wanted = (fatBits & ~quint32(kStoredBits)) | want;
        if (wanted != fatBits)
            if (const int e = calls.setFatAttributes(p, wanted))
                return fail(errnoText(e));
    } else {
        QByteArray value;
        quint32 stored = 0;
        bool present = false;
        bool noXattr = false;
        const int e = calls.getDosAttrib(p, &value);
        if (e == 0)
            present = parseDosAttrib(value, &stored);
        else if (e == ENOTSUP)
            noXattr = true;
        else if (e != ENODATA)
            return fail(errnoText(e));
        const bool readOnly = (st.st_mode & kWriteBits) == 0;
        const bool wantReadOnly = want & kReadOnly;
        // Write permission first when it comes back, last when it goes: an
        // unprivileged owner needs it to store the extended attribute.
        if (readOnly && !wantReadOnly)
            if (const int e = calls.changeMode(p, (st.st_mode & 07777) | S_IWUSR))
                return fail(errnoText(e));
        // The read-only copy in the extended attribute is for Windows
        // clients only: it follows a change, and only a failure for the other
        // three counts.
        const quint32 now = stored | (detail::dotName(p + nameAt) ? kHidden : 0);
        const bool othersChange = ((now ^ want) & kXattrOnlyBits) != 0;
        const bool copyReadOnly = readOnly != wantReadOnly || othersChange;
        const quint32 wanted = (stored & ~quint32(kStoredBits)) | want;
        QString problem;
        if (copyReadOnly && !noXattr && (present ? wanted != stored : wanted != 0)) {
            const int e = calls.setDosAttrib(p, dosAttribText(wanted));
            noXattr = e == ENOTSUP;
            if (e != 0 && !noXattr && othersChange)
                problem = errnoText(e);
        }
        if (noXattr && othersChange)
            problem = QStringLiteral("this file system keeps no extended attributes, so hidden, system "
                                     "and archive cannot be stored");
        if (!readOnly && wantReadOnly)
            if (const int e = calls.changeMode(p, st.st_mode & 07777 & ~kWriteBits))
                return fail(errnoText(e));
        if (!problem.isEmpty())
            return fail(problem);
    }
    if (!(want & kHidden) && detail::dotName(p + nameAt))
        return fail(QStringLiteral("the name begins with \".\", so it always reads as hidden"));
    return true;
}

bool renameNoReplace(const QString &from, const QString &to, QString *error, int *code)
{
    FileCalls &calls = fileCalls();
    const QByteArray src = encodePath(from), dst = encodePath(to);
    const auto done = [&](int e) {
        if (code)
            *code = e;
        if (e != 0 && error)
            *error = errnoText(e);
        return e == 0;
    };
    int e = calls.renameNoReplace(src.constData(), dst.constData());
    if (e != EEXIST || src == dst)
        return done(e);
    // The target may be the entry itself under a name that differs only in
    // case (FAT, case-folding folders): go through a temporary name.
    struct stat a, b;
    if (calls.stat(src.constData(), &a, false) != 0 || calls.stat(dst.constData(), &b, false) != 0
        || a.st_dev != b.st_dev || a.st_ino != b.st_ino)
        return done(EEXIST);
    const qsizetype slash = src.lastIndexOf('/');
    QByteArray tmp;
    int t = EEXIST;
    for (int i = 0; i < 16 && t == EEXIST; ++i) {
        tmp = src.left(slash + 1) + ".spindle-rename-"
              + QByteArray::number(QRandomGenerator::global()->generate(), 16);
        t = calls.renameNoReplace(src.constData(), tmp.constData());
    }
    if (t != 0)
        return done(EEXIST);
    if (calls.renameNoReplace(tmp.constData(), dst.constData()) == 0)
        return done(0);
    // A second name for the same file (a hard link): put the entry back.
    if (calls.renameNoReplace(tmp.constData(), src.constData()) != 0) {
        if (code)
            *code = EEXIST;
        if (error)
            *error = QStringLiteral("%1; the entry is now named %2").arg(errnoText(EEXIST), decodePath(tmp));
        return false;
    }
    return done(EEXIST);
}

} // namespace platform
