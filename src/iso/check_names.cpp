#include "iso/check_names.h"

#include "platform/charset.h"

#include <QHash>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace iso {

BuildSwitches readSwitches(const QList<exec::Word> &arguments, Builder builder)
{
    BuildSwitches s;
    s.xorrisofs = builder == Builder::Xorrisofs;
    s.rock = s.xorrisofs;
    // xorrisofs: level 1 unless asked; -l makes it at least 2, and 4 adds an
    // ISO 9660:1999 tree beside a level 3 one.
    int xorrisoLevel = -1;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QByteArray &w = arguments[i].bytes;
        const QByteArray next = i + 1 < arguments.size() ? arguments[i + 1].bytes : QByteArray();
        if (w == "-J" || w == "-joliet")
            s.joliet = true;
        else if (w == "-joliet-long")
            s.jolietLong = true;
        else if (w == "-r" || w == "-R" || w == "-rock" || w == "-rational-rock")
            s.rock = true;
        else if (w == "-D" || w == "-disable-deep-relocation")
            s.deep = true;
        else if (w == "-allow-limited-size")
            s.limitedSize = true;
        else if (w == "-m" || w == "-exclude" || w == "-x" || w == "-old-exclude" || w == "-exclude-list"
                 || w == "-no-bak" || w == "-M" || w == "-prev-session" || w == "-dev")
            s.leavesOut = true;
        else if (w == "-duplicates-once")
            s.duplicatesOnce = true;
        else if (w == "-input-charset" && i + 1 < arguments.size())
            s.inputCharset = arguments[++i].bytes;
        else if (w == "-output-charset" && i + 1 < arguments.size())
            s.outputCharset = arguments[++i].bytes;
        else if (w == "-iso-level" && i + 1 < arguments.size()) {
            ++i;
            const int level = next.toInt();
            if (s.xorrisofs) {
                xorrisoLevel = level;
                continue;
            }
            s.level = level;
            if (level == 4) {
                s.deep = true;
                s.nameLength = 207;
                s.fullNames = s.omitVersion = s.omitPeriod = s.leadingDots = s.relaxed = s.lowercase =
                    s.multidot = true;
            }
        } else if (w == "-l" || w == "-full-iso9660-filenames") {
            s.fullNames = true;
            if (xorrisoLevel <= 2)
                xorrisoLevel = 2;
        } else if (w == "-max-iso9660-filenames") {
            s.maxNames = true;
            s.omitVersion = true;
            if (!s.xorrisofs) {
                s.nameLength = 37;
                s.fullNames = true;
            }
        } else if (w == "-d" || w == "-omit-period")
            s.omitPeriod = true;
        else if (w == "-N" || w == "-omit-version-number")
            s.omitVersion = true;
        else if (w == "-L" || w == "-allow-leading-dots" || w == "-ldots")
            s.leadingDots = true;
        else if (w == "-allow-lowercase")
            s.lowercase = true;
        else if (w == "-relaxed-filenames")
            s.relaxed = true;
        else if (w == "-allow-multidot")
            s.multidot = true;
        else if (w == "-no-iso-translate")
            s.translate = false;
        else if (w == "-U" || w == "-untranslated-filenames") {
            s.untranslated = true;
            s.fullNames = s.omitPeriod = s.leadingDots = s.omitVersion = s.relaxed = s.lowercase = s.multidot =
                true;
        }
    }
    if (s.xorrisofs) {
        // It has no equivalent of these: they are ignored.
        s.leadingDots = s.multidot = false;
        s.translate = true;
        s.level = xorrisoLevel == 4 ? 3 : std::clamp(xorrisoLevel, 1, 3);
    } else if (s.rock && s.nameLength > 193) {
        s.nameLength = 193; // room for the Rock Ridge fields
    }
    return s;
}

namespace {

// genisoimage's name.c, iso9660_file_length(): the name without clashes.
QByteArray genisoimageName(const QByteArray &name, bool folder, const BuildSwitches &s)
{
    const bool full = s.fullNames || s.level > 1;
    const int nameLength = s.nameLength;
    QByteArray src = name;
    qsizetype lastDot = src.lastIndexOf('.');
    // A last dot followed by nothing or '~' does not start the extension.
    if (lastDot >= 0 && (lastDot + 1 == src.size() || src[lastDot + 1] == '~')) {
        const qsizetype before = lastDot > 0 ? src.lastIndexOf('.', lastDot - 1) : -1;
        if (before >= 0)
            lastDot = before;
    }
    const int charsAfter = lastDot >= 0 ? int(src.size() - lastDot) : 0; // the dot counts
    int beforeDot = 8, afterDot = 3;
    if (full) {
        beforeDot = nameLength;
        afterDot = beforeDot - 1;
        if (!folder) {
            if (charsAfter > nameLength / 2 + 1) {
                beforeDot = nameLength / 2;
                afterDot = charsAfter;
            } else {
                beforeDot -= charsAfter;
                afterDot = charsAfter;
            }
        }
    }
    QByteArray out;
    int before = 0, after = 0, length = 0;
    bool seenDot = false, ignore = false;
    for (qsizetype i = 0; i < src.size();) {
        if (ignore || length >= nameLength) {
            ++i;
            continue;
        }
        char c = src[i];
        if (c == '.') {
            if (!s.multidot) {
                const QByteArray rest = src.mid(i);
                if (rest == ".tar.gz" || rest == ".ps.gz") {
                    src = src.left(i) + (rest == ".tar.gz" ? ".tgz" : ".psz");
                    lastDot = i;
                }
            }
            if (before == 0 && !s.leadingDots) {
                ++before;
                out += '_'; // DOS cannot read a name that starts with a dot
            } else if (i == lastDot) {
                if (seenDot) {
                    ignore = true;
                    continue;
                }
                out += '.';
                seenDot = true;
            } else if (before < beforeDot) {
                ++before;
                out += s.multidot ? '.' : '_';
            }
        } else {
            int &count = seenDot ? after : before;
            if (count >= (seenDot ? afterDot : beforeDot)) {
                ++i;
                continue;
            }
            ++count;
            if (c & 0x80) {
                if (s.level < 4)
                    c = '_';
            } else if (!s.lowercase && c >= 'a' && c <= 'z') {
                c = char(c - 'a' + 'A');
            }
            if (s.relaxed) {
                out += c == '/' ? '_' : c;
            } else if (c == '#' || c == '-' || c == '~') {
                out += s.translate ? '_' : c;
            } else if ((c >= 1 && c < 32) || std::strchr("+=%:;.,\t /\"[]><|!$&'()*?@\\^`{}", c)) {
                out += '_';
            } else {
                out += c;
            }
        }
        ++length;
        ++i;
    }
    if (!folder) {
        if (!seenDot && !s.omitPeriod) {
            if (before >= nameLength - 1)
                out.chop(1);
            out += '.';
        }
        if (!s.omitVersion)
            out += ";1";
    }
    return out;
}

// genisoimage's hash.c compares names up to their version, so a file and a
// folder of one name meet; a name whose ';' starts no version meets none.
QByteArray clashKey(const QByteArray &name, qsizetype index)
{
    const qsizetype semi = name.indexOf(';');
    if (semi < 0)
        return name;
    const QByteArray version = name.mid(semi + 1);
    bool digits = !version.isEmpty();
    for (qsizetype i = 0; i < version.size() && i < 5; ++i)
        digits = digits && version[i] >= '0' && version[i] <= '9';
    const int number = digits ? version.left(5).toInt() : 0;
    if (number >= 1 && number <= 32767)
        return name.left(semi);
    return QByteArray(1, char(0)) + QByteArray::number(index); // no name holds a NUL
}

// genisoimage's tree.c, sort_n_finish(): entries in the reverse of the
// listing's order; where a name is taken already, the entry that had it
// gets a new one of three digits or letters, and the newcomer keeps it.
void genisoimageClashes(QList<IsoNamed> &names, const QList<FolderName> &entries, const BuildSwitches &s)
{
    const bool full = s.fullNames || s.level > 1;
    QHash<QByteArray, qsizetype> taken;
    taken.reserve(names.size());
    for (qsizetype n = names.size() - 1; n >= 0; --n) {
        const QByteArray name = names[n].name;
        const QByteArray key = clashKey(name, n);
        const auto it = taken.constFind(key);
        if (it == taken.constEnd()) {
            taken.insert(key, n);
            continue;
        }
        const qsizetype other = it.value();
        QByteArray root = name, ext;
        qsizetype dot = root.indexOf('.');
        if (dot == 0 && root.lastIndexOf('.') != 0)
            dot = root.lastIndexOf('.');
        if (dot >= 0) {
            ext = root.mid(dot);
            root.truncate(dot);
        } else if (const qsizetype semi = root.indexOf(';'); semi >= 0) {
            root.truncate(semi);
        }
        if (const qsizetype semi = ext.indexOf(';'); semi >= 0)
            ext.truncate(semi);
        if (full) {
            if (root.size() + ext.size() > s.nameLength - 3)
                root.truncate(std::max<qsizetype>(0, s.nameLength - 3 - ext.size()));
        } else if (root.size() > 5) {
            root.truncate(5);
        }
        QByteArray fresh = root + "000" + ext + (entries[n].folder || s.omitVersion ? "" : ";1");
        const qsizetype at = root.size();
        static const char digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
        bool found = false;
        for (int a = 0; a < 36 && !found; ++a)
            for (int b = 0; b < 36 && !found; ++b)
                for (int c = 0; c < 36 && !found; ++c) {
                    fresh[at] = digits[a];
                    fresh[at + 1] = digits[b];
                    fresh[at + 2] = digits[c];
                    found = !taken.contains(clashKey(fresh, -1));
                }
        if (!found)
            continue; // genisoimage gives up on the image
        names[other].name = fresh;
        names[other].renamed = true;
        taken.insert(clashKey(fresh, other), other);
        taken.insert(key, n);
    }
}

// libisofs reads a name into characters of its character set and writes
// each that is not ASCII, and each byte that starts none, as '_'.
QByteArray asciiName(const QByteArray &name, const platform::Charset &charset)
{
    bool plain = true;
    for (char c : name)
        plain = plain && !(c & 0x80);
    if (plain || !charset.isValid()) {
        QByteArray out = name;
        for (char &c : out)
            if (c & 0x80)
                c = '_';
        return out;
    }
    QByteArray out;
    for (char32_t c : charset.characters(name))
        out += c < 0x80 ? char(c) : '_';
    return out;
}

bool dChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }

// libisofs util.c: 1 lower case kept, 2 all of 8 bits, 4 all of 7 bits.
char mapChar(char c, int relaxed)
{
    if (c == '/')
        return '_';
    if ((relaxed & 3) == 2 || dChar(c))
        return c;
    if ((relaxed & 4) && !(c & 0x80) && (c < 'a' || c > 'z'))
        return c;
    const char upper = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
    if (dChar(upper))
        return (relaxed & 3) ? c : upper;
    return '_';
}

// iso_1_fileid(): 8.3.
QByteArray level1Name(const QByteArray &src, int relaxed, bool forceDot)
{
    qsizetype dot = src.lastIndexOf('.');
    if (dot == 0 && src.size() > 4)
        dot = -1; // a long extension alone serves as the name
    const qsizetype ext = dot >= 0 ? src.size() - dot - 1 : 0;
    const qsizetype name = src.size() - ext - (dot >= 0 ? 1 : 0);
    QByteArray out;
    for (qsizetype i = 0; i < name && i < 8; ++i)
        out += dot < 0 && src[i] == '.' ? '_' : mapChar(src[i], relaxed);
    if (forceDot || ext > 0)
        out += '.';
    for (qsizetype i = 0; i < ext && i < 3; ++i)
        out += mapChar(src[name + 1 + i], relaxed);
    return out;
}

// iso_2_fileid() (strict) and iso_r_fileid() (`len` characters besides the
// dot): the extension gives way first, down to 3.
QByteArray longName(const QByteArray &src, qsizetype len, int relaxed, bool forceDot, bool strict)
{
    const qsizetype dot = src.lastIndexOf('.');
    qsizetype name, ext, newName, newExt;
    if (dot < 0 || dot + 1 == src.size()) {
        name = src.size();
        newName = std::min(name, len);
        ext = newExt = 0;
    } else {
        ext = src.size() - dot - 1;
        name = src.size() - ext - 1;
        newExt = (src.size() > len + 1 && ext > 3) ? (name < len - 3 ? len - name : 3) : ext;
        newName = src.size() > len + 1 ? len - newExt : name;
    }
    const auto map = [&](char c) {
        if (!strict)
            return mapChar(c, relaxed);
        const char upper = c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
        return dChar(upper) ? upper : '_';
    };
    QByteArray out;
    for (qsizetype i = 0; i < newName; ++i)
        out += map(src[i]);
    if (strict || newExt > 0 || forceDot)
        out += '.';
    for (qsizetype i = name + 1; i < name + 1 + newExt; ++i)
        out += map(src[i]);
    return out;
}

// libisofs ecma119_tree.c, iso_get_ecma119_name(), as xorrisofs sets it up
// (folders may have an extension).
QByteArray xorrisofsName(const QByteArray &name, bool folder, const BuildSwitches &s,
                         const platform::Charset &charset)
{
    const QByteArray ascii = asciiName(name, charset);
    int relaxed = s.untranslated ? 2 : s.lowercase ? 1 : 0;
    if (s.relaxed && !s.untranslated)
        relaxed |= 4;
    const bool forceDot = !s.omitPeriod && !folder;
    if (s.maxNames || s.untranslated)
        return longName(ascii, 36, relaxed, forceDot, false);
    if (s.level == 1)
        return level1Name(ascii, relaxed, forceDot);
    return longName(ascii, 30, relaxed, forceDot, !(relaxed || !forceDot));
}

int power10(int digits)
{
    int p = 1;
    while (digits-- > 0)
        p *= 10;
    return p;
}

// mangle_single_dir(): names that meet are numbered, all of them, in the
// order of their own names; the digits take the end of the name before
// the extension.
void xorrisofsClashes(QList<QByteArray> &iso, const QList<FolderName> &entries, const BuildSwitches &s,
                      QList<bool> &renamed)
{
    const bool long37 = s.maxNames || s.untranslated;
    const int maxFile = long37 ? 37 : s.level == 1 ? 12 : 31;
    const int maxFolder = long37 ? 37 : s.level == 1 ? 8 : 31;
    QList<qsizetype> order(iso.size());
    std::iota(order.begin(), order.end(), 0);
    const auto byNames = [&](qsizetype a, qsizetype b) {
        const int c = iso[a].compare(iso[b]);
        return c != 0 ? c < 0 : entries[a].name < entries[b].name;
    };
    std::sort(order.begin(), order.end(), byNames);
    QHash<QByteArray, int> table;
    for (const QByteArray &n : iso)
        ++table[n];
    for (qsizetype i = 0; i < order.size(); ++i) {
        qsizetype j = i;
        while (j + 1 < order.size() && iso[order[j + 1]] == iso[order[i]])
            ++j;
        if (j == i)
            continue;
        for (int digits = 1; digits < 8; ++digits) {
            const QByteArray full = iso[order[i]].left(39);
            const qsizetype dot = full.lastIndexOf('.');
            QByteArray base = full, ext;
            bool withDot = false;
            if (dot >= 0) {
                base = full.left(dot);
                ext = full.mid(dot + 1);
                int extLength = maxFile == 12 ? 3 : int(ext.size());
                int max = maxFile - extLength - 1 - digits;
                if (max <= 0) {
                    extLength = extLength + max - 1;
                    ext.truncate(extLength);
                    max = maxFile - extLength - 1 - digits;
                }
                if (max < base.size())
                    base.truncate(max);
                withDot = true;
            } else {
                base.truncate(std::max(0, (entries[order[i]].folder ? maxFolder : maxFile) - digits));
            }
            bool ok = true;
            int change = 0;
            for (qsizetype k = i; k <= j && ok; ++k) {
                QByteArray fresh;
                for (;;) {
                    fresh = base + QByteArray::number(change).rightJustified(digits, '0')
                            + (withDot ? "." + ext : QByteArray());
                    ++change;
                    if (change > power10(digits)) {
                        ok = false;
                        break;
                    }
                    if (!table.contains(fresh))
                        break;
                }
                if (!ok)
                    break;
                QByteArray &old = iso[order[k]];
                if (--table[old] == 0)
                    table.remove(old);
                old = fresh;
                ++table[fresh];
                renamed[order[k]] = true;
            }
            if (ok)
                break;
        }
        i = j;
    }
}

} // namespace

QList<IsoNamed> isoNames(const QList<FolderName> &entries, const BuildSwitches &s, const QByteArray &charset)
{
    QList<IsoNamed> out;
    out.reserve(entries.size());
    if (!s.xorrisofs) {
        for (const FolderName &e : entries) {
            const QByteArray name = genisoimageName(e.name, e.folder, s);
            out.append({name, name, false});
        }
        genisoimageClashes(out, entries, s);
        return out;
    }
    const platform::Charset set(s.inputCharset.isEmpty() ? charset : s.inputCharset);
    QList<QByteArray> iso;
    iso.reserve(entries.size());
    for (const FolderName &e : entries)
        iso.append(xorrisofsName(e.name, e.folder, s, set));
    const QList<QByteArray> mapped = iso;
    QList<bool> renamed(entries.size(), false);
    xorrisofsClashes(iso, entries, s, renamed);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const QByteArray version = entries[i].folder || s.omitVersion ? "" : ";1";
        out.append({iso[i] + version, mapped[i] + version, renamed[i]});
    }
    return out;
}

} // namespace iso
