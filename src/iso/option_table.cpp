#include "iso/option_table.h"

#include <algorithm>

namespace iso {

namespace {

using K = OptionKind;
using P = Piece;
using F = Form;
using T = Treatment;

// Per program: genisoimage, xorrisofs, cdrtools' mkisofs. What xorrisofs
// does was seen with xorriso 1.5.4; cdrtools' column follows its manual.
constexpr std::array<Support, kBuilderCount> xorrisofs(Support s) { return {Support{}, s, Support{}}; }

constexpr std::array<OptionRow, kOptionCount> kRows{{
    {.key = Opt::Joliet, .name = "Joliet", .section = "File", .kind = K::Check, .control = "CheckBox1",
     .caption = "Joliet (-J) ", .tooltip = "-J: Joliet names for Windows", .readDefault = "1", .line = 2,
     .piece = P::Flag, .word = "-J", .clear = 1},
    {.key = Opt::Joliet_long, .name = "Joliet_long", .section = "File", .kind = K::Check, .control = "CheckBox3",
     .caption = "Joliet-long [103 Unicode chars]",
     .tooltip = "-joliet-long: Joliet names up to 103 characters instead of 64", .readDefault = "1", .line = 3,
     .piece = P::Flag, .word = "-joliet-long", .clear = 2},
    {.key = Opt::full_ISO, .name = "full_ISO", .section = "File", .kind = K::Check, .control = "CheckBox7",
     .caption = "Full ISO9660 filenames (-l) [31 char]", .tooltip = "-l: ISO 9660 names up to 31 characters",
     .readDefault = "1", .unchecks = optSet({Opt::max_ISO}), .line = 4, .piece = P::Flag, .word = "-l",
     .clear = 3,
     .support = xorrisofs({T::Changed, "xorrisofs cuts and maps some names otherwise than genisoimage "
                                       "(CAF_.TXT for café.txt, .HIDDEN for .hidden)"})},
    {.key = Opt::max_ISO, .name = "max_ISO", .section = "File", .kind = K::Check, .control = "CheckBox6",
     .caption = "Max ISO9660 filenames [37 char]",
     .tooltip = "-max-iso9660-filenames: ISO 9660 names up to 37 characters", .readDefault = "0",
     .unchecks = optSet({Opt::full_ISO}), .line = 5, .piece = P::Flag, .word = "-max-iso9660-filenames",
     .clear = 4},
    {.key = Opt::RRRidge, .name = "RRRidge", .section = "File", .kind = K::Check, .control = "CheckBox4",
     .caption = "Rationalized RockRidge (-r)",
     .tooltip = "-r: Rock Ridge names and permissions for Unix, made readable for everyone", .readDefault = "1",
     .line = 6, .piece = P::Flag, .word = "-r", .clear = 5,
     .support = xorrisofs({T::Always, "xorrisofs writes Rock Ridge always; -r makes it readable for everyone"})},
    {.key = Opt::ISO_level, .name = "ISO_level", .section = "File", .kind = K::Check, .control = "CheckBox5",
     .caption = "Set ISO level",
     .tooltip = "-iso-level N: the ISO 9660 level (3 allows files of 4 GiB and more)", .readDefault = "0",
     .enables = optSet({Opt::ISO_level_value}), .unchecks = optSet({Opt::ISO9660_1999}), .line = 7,
     .piece = P::Value, .word = "-iso-level", .value = Opt::ISO_level_value, .form = F::Number, .clear = 6},
    {.key = Opt::ISO_level_value, .name = "ISO_level_value", .section = "File", .kind = K::Integer,
     .control = "SpinEdit1", .tooltip = "The ISO 9660 level written after -iso-level", .start = "1",
     .readDefault = "1", .clear = 7},
    {.key = Opt::ISO9660_1999, .name = "ISO9660:1999", .section = "File", .kind = K::Check,
     .control = "CheckBox20", .caption = "ISO9660:1999", .tooltip = "-iso-level 4: ISO 9660:1999 names",
     .readDefault = "1", .unchecks = optSet({Opt::ISO_level}), .line = 8, .piece = P::Flag,
     .word = "-iso-level 4", .clear = 8},
    {.key = Opt::Omit_ver_nr, .name = "Omit_ver_nr", .section = "Advanced", .kind = K::Check,
     .control = "CheckBox8", .caption = "Omit version number (-N)",
     .tooltip = "-N: no version number (;1) after ISO 9660 names", .readDefault = "1", .line = 9,
     .piece = P::Flag, .word = "-N", .clear = 9},
    {.key = Opt::Verbose, .name = "Verbose", .section = "Advanced", .kind = K::Check, .control = "CheckBox9",
     .caption = "Verbose (-v)", .tooltip = "-v: verbose output while the image is built", .readDefault = "1",
     .line = 10, .piece = P::Flag, .word = "-v", .clear = 10},
    {.key = Opt::multidot, .name = "multidot", .section = "Advanced", .kind = K::Check, .control = "CheckBox12",
     .caption = "Allow multidot", .tooltip = "-allow-multidot: keep several dots in ISO 9660 names",
     .readDefault = "0", .line = 11, .piece = P::Flag, .word = "-allow-multidot", .clear = 11,
     .support = xorrisofs({T::Ignored, "xorrisofs ignores -allow-multidot: its ISO 9660 names keep one dot"})},
    {.key = Opt::omit_period, .name = "omit_period", .section = "Advanced", .kind = K::Check,
     .control = "CheckBox21", .caption = "Omit period (-d)",
     .tooltip = "-d: no trailing period for names without an extension", .readDefault = "0", .line = 12,
     .piece = P::Flag, .word = "-d", .clear = 36},
    {.key = Opt::allow_lowercase, .name = "allow_lowercase", .section = "Advanced", .kind = K::Check,
     .control = "CheckBox22", .caption = "Allow lowercase",
     .tooltip = "-allow-lowercase: keep lower-case letters in ISO 9660 names", .readDefault = "0", .line = 13,
     .piece = P::Flag, .word = "-allow-lowercase", .clear = 37},
    {.key = Opt::no_iso_translate, .name = "no_iso_translate", .section = "Advanced", .kind = K::Check,
     .control = "CheckBox24", .caption = "No ISO translate",
     .tooltip = "-no-iso-translate: keep '~' and '#' in ISO 9660 names", .readDefault = "0", .line = 14,
     .piece = P::Flag, .word = "-no-iso-translate", .clear = 12,
     .support = xorrisofs({T::Ignored, "xorrisofs ignores -no-iso-translate: '~' and '#' become '_' "
                                       "(Relaxed filenames keeps them)"})},
    {.key = Opt::relaxed_filenames, .name = "relaxed_filenames", .section = "Advanced", .kind = K::Check,
     .control = "CheckBox25", .caption = "Relaxed filenames",
     .tooltip = "-relaxed-filenames: allow all printable ASCII in ISO 9660 names", .readDefault = "0",
     .line = 15, .piece = P::Flag, .word = "-relaxed-filenames", .clear = 13},
    {.key = Opt::charset, .name = "charset", .section = "Advanced", .kind = K::Check, .control = "CheckBox16",
     .caption = "Output Charset", .tooltip = "-output-charset: the character set of Rock Ridge names",
     .readDefault = "0", .enables = optSet({Opt::charset_value}), .line = 23, .piece = P::Value,
     .word = "-output-charset", .value = Opt::charset_value, .missing = "Output charset isn't specified",
     .clear = 19},
    {.key = Opt::charset_value, .name = "charset_value", .section = "Advanced", .kind = K::Text,
     .control = "Edit14", .tooltip = "The character set written after -output-charset, e.g. utf-8", .clear = 20},
    {.key = Opt::root_folder, .name = "root_folder", .section = "Folders", .kind = K::Text, .control = "Edit7",
     .caption = "Root of CD", .tooltip = "The folder whose contents become the image's root", .line = 34,
     .piece = P::Text, .form = F::Path, .missing = "Root of CD tree isn't specified", .clear = 21,
     .fileName = true},
    {.key = Opt::output_folder, .name = "output_folder", .section = "Folders", .kind = K::Text,
     .control = "Edit8", .caption = "Output folder", .tooltip = "The folder the image is written into (-o)",
     .line = 26, .piece = P::Output, .word = "-o", .form = F::Path,
     .missing = "Output folder or file name isn't specified", .clear = 22, .fileName = true},
    {.key = Opt::output_filename, .name = "output_filename", .section = "Folders", .kind = K::Text,
     .control = "Edit13", .caption = "Output file name", .tooltip = "The image's file name (-o)", .clear = 23,
     .fileName = true},
    {.key = Opt::batch_folder, .name = "batch_folder", .section = "Folders", .kind = K::Text, .control = "Edit9",
     .caption = "Batch folder", .tooltip = "The folder build.bat is written into and run in", .clear = 24,
     .fileName = true},
    {.key = Opt::mkisofs_folder, .name = "mkisofs_folder", .section = "Folders", .kind = K::Text,
     .control = "Edit12", .caption = "Mkisofs.exe location", .tooltip = "The mkisofs program the command line starts",
     .line = 1, .piece = P::Program, .missing = "Path to %1 isn't specified", .fileName = true},
    {.key = Opt::bootable, .name = "bootable", .section = "boot", .kind = K::Check, .control = "CheckBoot",
     .caption = "Bootable CD", .tooltip = "-b FILE: make the disc bootable (El Torito)", .readDefault = "0",
     .enables = optSet({Opt::boot_info_table, Opt::boot_load_segment, Opt::boot_load_size, Opt::boot_cat,
                        Opt::joliet_boot_cat, Opt::boot_image, Opt::no_emulation}),
     .line = 27, .piece = P::Value, .word = "-b", .value = Opt::boot_image, .form = F::BootImage,
     .missing = "Boot image/sector isn't specified", .clear = 25},
    {.key = Opt::boot_image, .name = "boot_image", .section = "boot", .kind = K::Text, .control = "Edit5",
     .caption = "Boot image", .tooltip = "The boot image (-b), inside the root folder", .clear = 26,
     .fileName = true},
    {.key = Opt::no_emulation, .name = "no_emulation", .section = "boot", .kind = K::Check, .control = "NoEmulBox",
     .caption = "No emulation mode",
     .tooltip = "-no-emul-boot: load the boot image as it is, without floppy emulation", .readDefault = "0",
     .line = 28, .piece = P::Flag, .word = "-no-emul-boot", .needsEnabled = true, .clear = 27},
    {.key = Opt::boot_info_table, .name = "boot_info_table", .section = "boot", .kind = K::Check,
     .control = "CheckBox17", .caption = "Boot info table",
     .tooltip = "-boot-info-table: patch the boot file with the disc's layout (changes the file in your tree)",
     .readDefault = "0", .line = 20, .piece = P::Flag, .word = "-boot-info-table", .needsEnabled = true,
     .clear = 14,
     .support = xorrisofs({T::Changed, "xorrisofs patches the copy in the image, not the file in your tree"})},
    {.key = Opt::boot_load_segment, .name = "boot_load_segment", .section = "boot", .kind = K::Check,
     .control = "CheckBox18", .caption = "Boot load segment",
     .tooltip = "-boot-load-seg: the memory segment the boot image is loaded at", .readDefault = "0",
     .enables = optSet({Opt::blsegment_value}), .line = 21, .piece = P::Value, .word = "-boot-load-seg",
     .value = Opt::blsegment_value, .needsEnabled = true, .missing = "Boot load segment value isn't specified",
     .clear = 15,
     .support = xorrisofs({T::Refused, "xorrisofs refuses -boot-load-seg (\"Unsupported option\"): "
                                       "the build would fail"})},
    // The classic default "07C0" is refused by every mkisofs; the window's
    // own start value serves instead.
    {.key = Opt::blsegment_value, .name = "blsegment_value", .section = "boot", .kind = K::Text,
     .control = "Edit10", .tooltip = "The load segment written after -boot-load-seg, e.g. 0x7C0", .start = "0x7C0",
     .readDefault = "0x7C0", .clear = 16},
    {.key = Opt::boot_load_size, .name = "boot_load_size", .section = "boot", .kind = K::Check,
     .control = "CheckBox19", .caption = "Boot load size",
     .tooltip = "-boot-load-size: how many 512-byte sectors the BIOS loads", .readDefault = "0",
     .enables = optSet({Opt::blsize_value}), .line = 22, .piece = P::Value, .word = "-boot-load-size",
     .value = Opt::blsize_value, .needsEnabled = true, .missing = "Boot load size value isn't specified",
     .clear = 17},
    {.key = Opt::blsize_value, .name = "blsize_value", .section = "boot", .kind = K::Text, .control = "Edit11",
     .tooltip = "The sector count written after -boot-load-size, e.g. 4", .start = "4", .readDefault = "4",
     .clear = 18},
    {.key = Opt::preparer, .name = "preparer", .section = "Info", .kind = K::Text, .control = "Edit1",
     .caption = "Preparer", .tooltip = "-p: the data preparer", .line = 29, .piece = P::Text, .word = "-p",
     .form = F::Quoted, .clear = 28, .support = xorrisofs({T::Changed, "xorrisofs writes it in upper case"})},
    {.key = Opt::volume_ID, .name = "volume_ID", .section = "Info", .kind = K::Text, .control = "Edit2",
     .caption = "Volume ID", .tooltip = "-volid: the volume name shown for the disc", .line = 30, .piece = P::Text,
     .word = "-volid", .form = F::Quoted, .clear = 29},
    {.key = Opt::app_ID, .name = "app_ID", .section = "Info", .kind = K::Text, .control = "Edit3",
     .caption = "Application ID", .tooltip = "-appid: the application identifier", .line = 31, .piece = P::Text,
     .word = "-appid", .form = F::Quoted, .clear = 30,
     .support = xorrisofs({T::Changed, "xorrisofs writes it in upper case"})},
    {.key = Opt::publisher_ID, .name = "publisher_ID", .section = "Info", .kind = K::Text, .control = "Edit4",
     .caption = "Publisher ID", .tooltip = "-P: the publisher", .line = 32, .piece = P::Text, .word = "-P",
     .form = F::Quoted, .clear = 31, .support = xorrisofs({T::Changed, "xorrisofs writes it in upper case"})},
    {.key = Opt::sys_ID, .name = "sys_ID", .section = "Info", .kind = K::Text, .control = "Edit15",
     .caption = "Sys ID", .tooltip = "-sysid: the system identifier", .line = 33, .piece = P::Text,
     .word = "-sysid", .form = F::Quoted, .clear = 39,
     .support = xorrisofs({T::Changed, "xorrisofs writes it in upper case"})},
    {.key = Opt::boot_cat, .name = "boot_cat", .section = "Hide", .kind = K::Check, .control = "CheckBox14",
     .caption = "boot.catalog", .tooltip = "-hide boot.catalog: hide the boot catalog from the ISO 9660 tree",
     .readDefault = "1", .line = 24, .piece = P::Flag, .word = "-hide boot.catalog", .needsEnabled = true,
     .clear = 32},
    {.key = Opt::joliet_boot_cat, .name = "joliet_boot_cat", .section = "Hide", .kind = K::Check,
     .control = "CheckBox15", .caption = "Joliet boot.catalog",
     .tooltip = "-hide-joliet boot.catalog: hide the boot catalog from the Joliet tree", .readDefault = "1",
     .line = 25, .piece = P::Flag, .word = "-hide-joliet boot.catalog", .needsEnabled = true, .clear = 33,
     .support = xorrisofs({T::Changed, "xorrisofs hides the boot catalog from the ISO 9660 tree as well"})},
    {.key = Opt::sorting, .name = "sorting", .section = "Other", .kind = K::Check, .control = "CheckBox2",
     .caption = "Sort", .tooltip = "-sort FILE: order the files in the image by the weights of a sort file",
     .readDefault = "0", .enables = optSet({Opt::sorting_list}), .line = 19, .piece = P::Value, .word = "-sort",
     .value = Opt::sorting_list, .form = F::Path, .clear = 42,
     .support = xorrisofs({T::Converted,
                           "xorrisofs ignores -sort: Make Batch writes the sort file's weights beside build.bat "
                           "for its --sort-weight-list",
                           "--sort-weight-list"})},
    {.key = Opt::sorting_list, .name = "sorting_list", .section = "Other", .kind = K::Text, .control = "Edit17",
     .tooltip = "The sort file written after -sort (the Layout Sorter writes one)", .clear = 41, .fileName = true},
    {.key = Opt::other_param, .name = "other_param", .section = "Other", .kind = K::Check, .control = "OtherParam",
     .caption = "Other Parameters", .tooltip = "Put the text of the field on the command line as it stands",
     .readDefault = "0", .enables = optSet({Opt::other_param_value}), .line = 17, .piece = P::Value,
     .value = Opt::other_param_value, .form = F::Words, .clear = 34},
    {.key = Opt::other_param_value, .name = "other_param_value", .section = "Other", .kind = K::Text,
     .control = "Edit6", .tooltip = "Further mkisofs options, written as typed", .clear = 35},
    {.key = Opt::other_param_2, .name = "other_param_2", .section = "Other", .kind = K::Check,
     .control = "CheckBox23", .caption = "Other Parameters 2",
     .tooltip = "Put the text of the second field on the command line as it stands", .readDefault = "0",
     .enables = optSet({Opt::other_param_value_2}), .line = 18, .piece = P::Value,
     .value = Opt::other_param_value_2, .form = F::Words, .clear = 38},
    {.key = Opt::other_param_value_2, .name = "other_param_value_2", .section = "Other", .kind = K::Text,
     .control = "Edit16", .tooltip = "More mkisofs options, written as typed", .clear = 40},
    {.key = Opt::comment_1, .name = "comment_1", .section = "Comments", .kind = K::Text, .control = "Memo1",
     .clear = 43},
    {.key = Opt::duplicates_once, .name = "duplicates_once", .section = "Vesk", .kind = K::Check,
     .control = "CheckBox26", .caption = "Duplicates once",
     .tooltip = "-duplicates-once: store files with the same content once", .readDefault = "0", .line = 16,
     .piece = P::Flag, .word = "-duplicates-once",
     .support = {Support{T::Refused, "genisoimage refuses -duplicates-once (\"invalid option\"): the build would fail"},
                 Support{T::Refused, "xorrisofs refuses -duplicates-once (\"Unrecognized option\"): the build would fail"},
                 Support{}}},
}};

constexpr bool inKeyOrder()
{
    for (int i = 0; i < kOptionCount; ++i)
        if (int(kRows[i].key) != i)
            return false;
    return true;
}
static_assert(inKeyOrder(), "the rows follow the keys");

// Each of `places` once, a row's place or 0.
std::array<Opt, kOptionCount> orderBy(int OptionRow::*place)
{
    std::array<Opt, kOptionCount> out{};
    for (int i = 0; i < kOptionCount; ++i)
        out[i] = Opt(i);
    std::stable_sort(out.begin(), out.end(), [place](Opt a, Opt b) {
        const int pa = kRows[int(a)].*place, pb = kRows[int(b)].*place;
        // Rows without a place go last, in template order.
        return (pa == 0 ? 1000 : pa) < (pb == 0 ? 1000 : pb);
    });
    return out;
}

} // namespace

const OptionRow &row(Opt key) { return kRows[int(key)]; }

const std::array<OptionRow, kOptionCount> &optionRows() { return kRows; }

const std::array<Opt, kOptionCount> &lineOrder()
{
    static const std::array<Opt, kOptionCount> order = orderBy(&OptionRow::line);
    return order;
}

const std::array<Opt, kOptionCount> &clearOrder()
{
    static const std::array<Opt, kOptionCount> order = orderBy(&OptionRow::clear);
    return order;
}

Opt ownerOf(Opt key)
{
    for (const OptionRow &r : kRows)
        if (r.piece == Piece::Value && r.value == key)
            return r.key;
    return key;
}

const Support &supportOf(Opt key, Builder builder)
{
    static const Support asWritten;
    return builder == Builder::Unknown ? asWritten : kRows[int(key)].support[int(builder)];
}

bool isOff(Opt key, Builder builder)
{
    const Treatment t = supportOf(key, builder).treatment;
    return t == Treatment::Ignored || t == Treatment::Refused;
}

const char *builderName(Builder builder)
{
    switch (builder) {
    case Builder::Genisoimage: return "genisoimage";
    case Builder::Xorrisofs: return "xorrisofs";
    case Builder::Cdrtools: return "mkisofs (cdrtools)";
    case Builder::Unknown: return "mkisofs";
    }
    return "";
}

} // namespace iso
