#include "iso/iso_options.h"

#include "platform/path_codec.h"

namespace iso {

const QList<OptionDef> &optionTable()
{
    using K = OptionKind;
    static const QList<OptionDef> t{
        {"Joliet", "File", K::Check, "1", "CheckBox1"},
        {"Joliet_long", "File", K::Check, "1", "CheckBox3"},
        {"full_ISO", "File", K::Check, "1", "CheckBox7"},
        {"max_ISO", "File", K::Check, "0", "CheckBox6"},
        {"RRRidge", "File", K::Check, "1", "CheckBox4"},
        {"ISO_level", "File", K::Check, "0", "CheckBox5"},
        {"ISO_level_value", "File", K::Integer, "1", "SpinEdit1"},
        {"ISO9660:1999", "File", K::Check, "1", "CheckBox20"},
        {"Omit_ver_nr", "Advanced", K::Check, "1", "CheckBox8"},
        {"Verbose", "Advanced", K::Check, "1", "CheckBox9"},
        {"multidot", "Advanced", K::Check, "0", "CheckBox12"},
        {"omit_period", "Advanced", K::Check, "0", "CheckBox21"},
        {"allow_lowercase", "Advanced", K::Check, "0", "CheckBox22"},
        {"no_iso_translate", "Advanced", K::Check, "0", "CheckBox24"},
        {"relaxed_filenames", "Advanced", K::Check, "0", "CheckBox25"},
        {"charset", "Advanced", K::Check, "0", "CheckBox16"},
        {"charset_value", "Advanced", K::Text, "", "Edit14"},
        {"root_folder", "Folders", K::Text, "", "Edit7"},
        {"output_folder", "Folders", K::Text, "", "Edit8"},
        {"output_filename", "Folders", K::Text, "", "Edit13"},
        {"batch_folder", "Folders", K::Text, "", "Edit9"},
        {"mkisofs_folder", "Folders", K::Text, "", "Edit12"},
        {"bootable", "boot", K::Check, "0", "CheckBoot"},
        {"boot_image", "boot", K::Text, "", "Edit5"},
        {"no_emulation", "boot", K::Check, "0", "NoEmulBox"},
        {"boot_info_table", "boot", K::Check, "0", "CheckBox17"},
        {"boot_load_segment", "boot", K::Check, "0", "CheckBox18"},
        // The classic default "07C0" is refused by every mkisofs; the
        // window's own start value serves instead.
        {"blsegment_value", "boot", K::Text, "0x7C0", "Edit10"},
        {"boot_load_size", "boot", K::Check, "0", "CheckBox19"},
        {"blsize_value", "boot", K::Text, "4", "Edit11"},
        {"preparer", "Info", K::Text, "", "Edit1"},
        {"volume_ID", "Info", K::Text, "", "Edit2"},
        {"app_ID", "Info", K::Text, "", "Edit3"},
        {"publisher_ID", "Info", K::Text, "", "Edit4"},
        {"sys_ID", "Info", K::Text, "", "Edit15"},
        {"boot_cat", "Hide", K::Check, "1", "CheckBox14"},
        {"joliet_boot_cat", "Hide", K::Check, "1", "CheckBox15"},
        {"sorting", "Other", K::Check, "0", "CheckBox2"},
        {"sorting_list", "Other", K::Text, "", "Edit17"},
        {"other_param", "Other", K::Check, "0", "OtherParam"},
        {"other_param_value", "Other", K::Text, "", "Edit6"},
        {"other_param_2", "Other", K::Check, "0", "CheckBox23"},
        {"other_param_value_2", "Other", K::Text, "", "Edit16"},
        {"comment_1", "Comments", K::Text, "", "Memo1"},
        {"duplicates_once", "Vesk", K::Check, "0", "CheckBox26"},
    };
    return t;
}

namespace {
// What each check box enables while it is checked.
const QHash<QString, QStringList> &dependents()
{
    static const QHash<QString, QStringList> d{
        {QStringLiteral("bootable"),
         {"boot_info_table", "boot_load_segment", "boot_load_size", "boot_cat", "joliet_boot_cat", "boot_image",
          "no_emulation"}},
        {QStringLiteral("boot_load_segment"), {"blsegment_value"}},
        {QStringLiteral("boot_load_size"), {"blsize_value"}},
        {QStringLiteral("charset"), {"charset_value"}},
        {QStringLiteral("other_param"), {"other_param_value"}},
        {QStringLiteral("other_param_2"), {"other_param_value_2"}},
        {QStringLiteral("sorting"), {"sorting_list"}},
        {QStringLiteral("ISO_level"), {"ISO_level_value"}},
    };
    return d;
}
} // namespace

IsoOptions::IsoOptions()
{
    for (const OptionDef &d : optionTable()) {
        if (d.kind == OptionKind::Check)
            m_checks.insert(QLatin1String(d.key), false);
        else if (d.kind == OptionKind::Text && QLatin1String(d.key) != QLatin1String("comment_1"))
            m_texts.insert(QLatin1String(d.key), QString());
    }
    m_texts[QStringLiteral("blsegment_value")] = QStringLiteral("0x7C0");
    m_texts[QStringLiteral("blsize_value")] = QStringLiteral("4");
    for (const QStringList &keys : dependents())
        for (const QString &k : keys)
            m_disabled.insert(k);
}

void IsoOptions::setEnabled(const QString &key, bool on)
{
    if (isEnabled(key) == on)
        return;
    if (on)
        m_disabled.remove(key);
    else
        m_disabled.insert(key);
    emit enabledChanged(key, on);
}

void IsoOptions::setCheck(const QString &key, bool on)
{
    if (!m_checks.contains(key) || m_checks.value(key) == on)
        return;
    m_checks[key] = on;
    emit valueChanged(key);
    applyRule(key, on);
}

void IsoOptions::applyRule(const QString &key, bool on)
{
    for (const QString &dep : dependents().value(key))
        setEnabled(dep, on);
    if (!on)
        return;
    if (key == QLatin1String("ISO_level"))
        setCheck(QStringLiteral("ISO9660:1999"), false);
    else if (key == QLatin1String("ISO9660:1999"))
        setCheck(QStringLiteral("ISO_level"), false);
    else if (key == QLatin1String("max_ISO"))
        setCheck(QStringLiteral("full_ISO"), false);
    else if (key == QLatin1String("full_ISO"))
        setCheck(QStringLiteral("max_ISO"), false);
}

QString IsoOptions::normalised(const QString &key, const QString &value) const
{
    if (key == QLatin1String("root_folder") || key == QLatin1String("output_folder"))
        return platform::slashForm(value);
    if (key == QLatin1String("boot_image")) {
        QString v = platform::slashForm(value);
        const QString root = m_texts.value(QStringLiteral("root_folder"));
        if (!root.isEmpty())
            v.remove(root, Qt::CaseSensitive);
        return v;
    }
    return value;
}

void IsoOptions::setText(const QString &key, const QString &value)
{
    if (!m_texts.contains(key))
        return;
    const QString v = normalised(key, value);
    if (m_texts.value(key) == v)
        return;
    m_texts[key] = v;
    emit valueChanged(key);
}

void IsoOptions::setIsoLevel(int level)
{
    level = qBound(1, level, 3);
    if (level == m_isoLevel)
        return;
    m_isoLevel = level;
    emit valueChanged(QStringLiteral("ISO_level_value"));
}

void IsoOptions::setComments(const QString &text)
{
    if (text == m_comments)
        return;
    m_comments = text;
    emit valueChanged(QStringLiteral("comment_1"));
}

void IsoOptions::clearAll()
{
    auto off = [this](std::initializer_list<const char *> keys) {
        for (const char *k : keys)
            setCheck(QLatin1String(k), false);
    };
    auto empty = [this](std::initializer_list<const char *> keys) {
        for (const char *k : keys)
            setText(QLatin1String(k), QString());
    };
    off({"Joliet", "Joliet_long", "full_ISO", "max_ISO", "RRRidge", "ISO_level"});
    setIsoLevel(1);
    off({"ISO9660:1999", "Omit_ver_nr", "Verbose", "multidot", "no_iso_translate", "relaxed_filenames",
         "boot_info_table", "boot_load_segment"});
    setText(QStringLiteral("blsegment_value"), QStringLiteral("0x7C0"));
    off({"boot_load_size"});
    setText(QStringLiteral("blsize_value"), QStringLiteral("4"));
    off({"charset"});
    // The mkisofs location stays: it is where the tool is, not an option of
    // the image.
    empty({"charset_value", "root_folder", "output_folder", "output_filename", "batch_folder"});
    off({"bootable"});
    empty({"boot_image"});
    off({"no_emulation"});
    empty({"preparer", "volume_ID", "app_ID", "publisher_ID"});
    off({"boot_cat", "joliet_boot_cat", "other_param"});
    empty({"other_param_value"});
    off({"omit_period", "allow_lowercase", "other_param_2"});
    empty({"sys_ID", "other_param_value_2", "sorting_list"});
    off({"sorting"});
    setComments(QString());
}

} // namespace iso
