#include "iso/iso_options.h"

#include "platform/path_codec.h"

namespace iso {

IsoOptions::IsoOptions()
{
    for (const OptionRow &r : optionRows()) {
        if (r.kind == OptionKind::Text)
            m_texts[int(r.key)] = QString::fromLatin1(r.start);
        for (int k = 0; k < kOptionCount; ++k)
            if (contains(r.enables, Opt(k)))
                m_disabled.set(k);
    }
    m_isoLevel = QByteArray(row(Opt::ISO_level_value).start).toInt();
}

void IsoOptions::setEnabled(Opt key, bool on)
{
    if (isEnabled(key) == on)
        return;
    m_disabled.set(int(key), !on);
    emit enabledChanged(key, on);
}

void IsoOptions::setCheck(Opt key, bool on)
{
    const OptionRow &r = row(key);
    if (r.kind != OptionKind::Check || m_checks[int(key)] == on)
        return;
    m_checks[int(key)] = on;
    emit valueChanged(key);
    for (int k = 0; k < kOptionCount; ++k)
        if (contains(r.enables, Opt(k)))
            setEnabled(Opt(k), on);
    if (on)
        for (int k = 0; k < kOptionCount; ++k)
            if (contains(r.unchecks, Opt(k)))
                setCheck(Opt(k), false);
}

QString bootImageBelowRoot(const QString &bootImage, const QString &root)
{
    const QString boot = platform::slashForm(bootImage);
    QString folder = platform::slashForm(root);
    if (folder.isEmpty())
        return boot;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return boot.startsWith(folder) && boot.size() > folder.size() ? boot.mid(folder.size()) : boot;
}

QString IsoOptions::normalised(Opt key, const QString &value) const
{
    if (key == Opt::root_folder || key == Opt::output_folder)
        return platform::slashForm(value);
    if (key == Opt::boot_image)
        return bootImageBelowRoot(value, text(Opt::root_folder));
    return value;
}

void IsoOptions::setText(Opt key, const QString &value)
{
    if (row(key).kind != OptionKind::Text)
        return;
    const QString v = normalised(key, value);
    if (m_texts[int(key)] == v)
        return;
    m_texts[int(key)] = v;
    emit valueChanged(key);
}

void IsoOptions::setIsoLevel(int level)
{
    level = qBound(1, level, 3);
    if (level == m_isoLevel)
        return;
    m_isoLevel = level;
    emit valueChanged(Opt::ISO_level_value);
}

QString IsoOptions::value(Opt key) const
{
    switch (row(key).kind) {
    case OptionKind::Check: return check(key) ? QStringLiteral("1") : QStringLiteral("0");
    case OptionKind::Integer: return QString::number(m_isoLevel);
    case OptionKind::Text: break;
    }
    return text(key);
}

void IsoOptions::setValue(Opt key, const QString &value)
{
    switch (row(key).kind) {
    case OptionKind::Check: setCheck(key, value.toLongLong() != 0); break;
    case OptionKind::Integer: setIsoLevel(value.toInt()); break;
    case OptionKind::Text: setText(key, value); break;
    }
}

void IsoOptions::setBuilder(Builder builder)
{
    if (builder == m_builder)
        return;
    m_builder = builder;
    emit builderChanged();
}

bool IsoOptions::isOff(Opt key) const
{
    return iso::isOff(key, m_builder) || (ownerOf(key) != key && iso::isOff(ownerOf(key), m_builder));
}

QString IsoOptions::offReason(Opt key) const
{
    const Opt owner = iso::isOff(key, m_builder) ? key : ownerOf(key);
    if (!iso::isOff(owner, m_builder))
        return QString();
    return QString::fromUtf8(supportOf(owner, m_builder).note);
}

void IsoOptions::clearAll()
{
    // The mkisofs location stays: it is where the tool is, not an option of
    // the image; "Duplicates once" keeps its state.
    for (Opt k : clearOrder())
        if (row(k).clear != 0)
            setValue(k, QString::fromLatin1(row(k).start));
}

} // namespace iso
