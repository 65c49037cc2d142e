#pragma once
// What the program behind mkisofs makes of an option set's names: the
// switches as it reads them off the command line, and the ISO 9660 names it
// gives a folder's entries — genisoimage's mapping and its renaming of
// names that meet, or libisofs's (xorrisofs).
#include "exec/command_line.h"
#include "iso/option_table.h"

#include <QByteArray>
#include <QList>

namespace iso {

// The switches of one command line that shape names, paths and sizes, read
// in order as the program reads them.
struct BuildSwitches
{
    bool xorrisofs = false;
    bool joliet = false, jolietLong = false;
    bool rock = false;        // -r, -R (xorrisofs: always)
    bool deep = false;        // -D: no relocation of deep folders
    bool limitedSize = false; // -allow-limited-size
    int level = 1;            // the ISO 9660 tree's level; 4: ISO 9660:1999
    bool fullNames = false;   // -l
    bool maxNames = false;    // -max-iso9660-filenames
    bool omitPeriod = false, omitVersion = false, leadingDots = false;
    bool lowercase = false, relaxed = false, multidot = false;
    bool translate = true;    // cleared by -no-iso-translate
    bool untranslated = false; // -U
    QByteArray inputCharset;  // -input-charset, empty when not given
    QByteArray outputCharset; // -output-charset
    // Not every file walked takes sectors of its own: some are left out
    // (-m, -x, -exclude-list, -no-bak) or kept from an earlier session (-M).
    bool leavesOut = false;
    bool duplicatesOnce = false; // -duplicates-once: one copy of equal files
    // genisoimage's longest ISO 9660 name.
    int nameLength = 31;
};
BuildSwitches readSwitches(const QList<exec::Word> &arguments, Builder builder);

struct FolderName
{
    QByteArray name;
    bool folder = false;
};
struct IsoNamed
{
    QByteArray name;      // as written in the directory, version included
    QByteArray mapped;    // what the name alone gives, before names that meet are told apart
    bool renamed = false; // changed because another entry had its name
};

// The ISO 9660 names of one folder's entries, given in the order the file
// system lists them (genisoimage's renaming depends on it). `charset` is the
// character set xorrisofs reads names in.
QList<IsoNamed> isoNames(const QList<FolderName> &entries, const BuildSwitches &s, const QByteArray &charset);

} // namespace iso
