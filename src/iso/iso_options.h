#pragma once
#include "iso/option_table.h"

#include <QObject>
#include <QString>

#include <array>
#include <bitset>

namespace iso {

// The Make ISO option set and its rules: enabling, exclusions and path
// normalisation run on every change, whoever makes it (a user, Clear All,
// a template), and never on a non-change.
class IsoOptions : public QObject
{
    Q_OBJECT
public:
    IsoOptions();

    bool check(Opt key) const { return m_checks[int(key)]; }
    void setCheck(Opt key, bool on);
    QString text(Opt key) const { return m_texts[int(key)]; }
    void setText(Opt key, const QString &value);
    int isoLevel() const { return m_isoLevel; }
    // Brought into 1..3.
    void setIsoLevel(int level);
    QString comments() const { return m_texts[int(Opt::comment_1)]; }
    void setComments(const QString &text) { setText(Opt::comment_1, text); }
    // Any row as text: "1"/"0" for a box, the number for the level.
    QString value(Opt key) const;
    void setValue(Opt key, const QString &value);

    // The enabled state of an option's control by the window's rules.
    bool isEnabled(Opt key) const { return !m_disabled[int(key)]; }

    // The program behind the mkisofs location. What it ignores or refuses
    // is off: never on the command line, its control unusable.
    Builder builder() const { return m_builder; }
    void setBuilder(Builder builder);
    bool isOff(Opt key) const;
    // Why an option is off for the program, or empty.
    QString offReason(Opt key) const;
    // Checked and not off: the option goes on the command line.
    bool isOn(Opt key) const { return check(key) && !isOff(key); }
    // Its control can be used: enabled by the rules and not off.
    bool isUsable(Opt key) const { return isEnabled(key) && !isOff(key); }

    // Clear All, in its order.
    void clearAll();

signals:
    void valueChanged(iso::Opt key);
    void enabledChanged(iso::Opt key, bool enabled);
    void builderChanged();

private:
    void setEnabled(Opt key, bool on);
    QString normalised(Opt key, const QString &value) const;

    std::array<bool, kOptionCount> m_checks{};
    std::array<QString, kOptionCount> m_texts;
    std::bitset<kOptionCount> m_disabled;
    int m_isoLevel = 1;
    Builder m_builder = Builder::Unknown;
};

// A boot image's text with the root folder's text taken off its front, so a
// file picked inside the root shows as its path below it. Only a whole
// leading folder path is taken: the root's text elsewhere in the path is the
// name of another folder.
QString bootImageBelowRoot(const QString &bootImage, const QString &root);

} // namespace iso
