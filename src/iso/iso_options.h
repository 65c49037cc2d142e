#pragma once
#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

namespace iso {

enum class OptionKind { Check, Integer, Text };

// One option: its template key (also its name everywhere in the program),
// its template section, kind, read default and the control that shows it.
struct OptionDef
{
    const char *key;
    const char *section;
    OptionKind kind;
    const char *readDefault;
    const char *control;
};

// Every option in template order (the version key and the comments aside).
const QList<OptionDef> &optionTable();

// The Make ISO option set and its rules: enabling, exclusions and path
// normalisation run on every change, whoever makes it (a user, Clear All,
// a template), and never on a non-change.
class IsoOptions : public QObject
{
    Q_OBJECT
public:
    IsoOptions();

    bool check(const QString &key) const { return m_checks.value(key); }
    void setCheck(const QString &key, bool on);
    QString text(const QString &key) const { return m_texts.value(key); }
    void setText(const QString &key, const QString &value);
    int isoLevel() const { return m_isoLevel; }
    // Brought into 1..3.
    void setIsoLevel(int level);
    QString comments() const { return m_comments; }
    void setComments(const QString &text);

    // The enabled state of an option's control.
    bool isEnabled(const QString &key) const { return !m_disabled.contains(key); }

    // Clear All, in its order.
    void clearAll();

signals:
    void valueChanged(const QString &key);
    void enabledChanged(const QString &key, bool enabled);

private:
    void setEnabled(const QString &key, bool on);
    void applyRule(const QString &key, bool on);
    QString normalised(const QString &key, const QString &value) const;

    QHash<QString, bool> m_checks;
    QHash<QString, QString> m_texts;
    int m_isoLevel = 1;
    QString m_comments;
    QSet<QString> m_disabled;
};

} // namespace iso
