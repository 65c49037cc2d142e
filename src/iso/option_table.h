#pragma once
// The Make ISO options, one row each: everything the window, the command
// line, templates, Clear All and Check know about an option is in its row.
// Adding an option is adding its key and its row (and its control).
#include <array>
#include <cstdint>
#include <initializer_list>

namespace iso {

// Every option, in template order. A key that is not here does not compile.
enum class Opt : std::uint8_t {
    Joliet, Joliet_long, full_ISO, max_ISO, RRRidge, ISO_level, ISO_level_value, ISO9660_1999,
    Omit_ver_nr, Verbose, multidot, omit_period, allow_lowercase, no_iso_translate, relaxed_filenames,
    charset, charset_value,
    root_folder, output_folder, output_filename, batch_folder, mkisofs_folder,
    bootable, boot_image, no_emulation, boot_info_table, boot_load_segment, blsegment_value, boot_load_size,
    blsize_value,
    preparer, volume_ID, app_ID, publisher_ID, sys_ID,
    boot_cat, joliet_boot_cat,
    sorting, sorting_list, other_param, other_param_value, other_param_2, other_param_value_2,
    comment_1, duplicates_once,
};
inline constexpr int kOptionCount = int(Opt::duplicates_once) + 1;

enum class OptionKind { Check, Integer, Text };

// How an option reaches the command line.
enum class Piece {
    None,    // only through the row that names it as its value, or never
    Program, // the program word
    Flag,    // box checked: the switch
    Value,   // box checked: the switch, then the value of the row `value`
    Text,    // text not empty: the switch, then the text
    Output,  // both output fields not empty: -o and the image's path
};

// How a value is written after its switch.
enum class Form {
    Bare,      // as the field holds it
    Quoted,    // in double quotes
    Number,    // the integer in decimal
    Words,     // free parameters: read into words
    Path,      // absolute, in double quotes
    BootImage, // its path below the root folder, in double quotes
};

// The programs that answer to the name mkisofs. Unknown (not identified):
// every option is written as it stands.
enum class Builder : std::uint8_t { Genisoimage, Xorrisofs, Cdrtools, Unknown };
inline constexpr int kBuilderCount = 3; // the known ones

// What a program does with an option.
enum class Treatment : std::uint8_t {
    Works,
    Always,    // its effect is there with the box unticked too
    Changed,   // done, with the difference the note names
    Converted, // Spindle writes it in the program's own form (`word`)
    Ignored,   // accepted and not done: the option is off
    Refused,   // the build fails: the option is off
};

struct Support
{
    Treatment treatment = Treatment::Works;
    // For the tooltip and Check: what the program does instead.
    const char *note = nullptr;
    // Converted: the program's own switch.
    const char *word = nullptr;
};

using OptSet = std::uint64_t;
constexpr OptSet optSet(std::initializer_list<Opt> keys)
{
    OptSet s = 0;
    for (Opt k : keys)
        s |= OptSet(1) << int(k);
    return s;
}
constexpr bool contains(OptSet s, Opt k) { return (s >> int(k)) & 1; }

struct OptionRow
{
    Opt key;
    const char *name;    // template key, and the option's name in messages
    const char *section; // template section
    OptionKind kind;
    const char *control;       // object name of the control
    const char *caption = "";  // check box text or field label
    const char *tooltip = "";
    const char *start = "";        // window start value, and what Clear All sets
    const char *readDefault = "";  // a template without the key (or not a number)
    OptSet enables = 0;            // enabled while this box is checked
    OptSet unchecks = 0;           // unchecked when this box becomes checked
    int line = 0;                  // place in the command line, 0: none
    Piece piece = Piece::None;
    const char *word = "";         // the switch; blanks part its words
    Opt value = Opt::comment_1;    // Value: the row whose value follows
    Form form = Form::Bare;
    bool needsEnabled = false;     // only while its control is enabled
    const char *missing = nullptr; // the message when its value is empty
    int clear = 0;                 // place in Clear All, 0: kept
    bool fileName = false;         // a name of the file system: its bytes are kept
    std::array<Support, kBuilderCount> support{};
};

// Rows in template order: row(k).key == k.
const OptionRow &row(Opt key);
const std::array<OptionRow, kOptionCount> &optionRows();
// Keys in command-line order, and in Clear All order.
const std::array<Opt, kOptionCount> &lineOrder();
const std::array<Opt, kOptionCount> &clearOrder();
// The row that names `key` as its value, or `key` itself.
Opt ownerOf(Opt key);

const Support &supportOf(Opt key, Builder builder);
// The option is left off for this program (ignored or refused).
bool isOff(Opt key, Builder builder);
const char *builderName(Builder builder);

} // namespace iso
