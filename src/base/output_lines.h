#pragma once
#include <QString>
#include <QStringList>

namespace base {

// A caller-owned list of lines that a runner mirrors its output into.
class OutputLines
{
public:
    virtual ~OutputLines() = default;
    virtual qsizetype count() const = 0;
    virtual void add(const QString &line) = 0;
    virtual void replaceLast(const QString &line) = 0;
    // Replaces the whole text; line breaks inside `text` start new lines.
    virtual void setText(const QString &text) = 0;
    virtual void beginUpdate() {}
    virtual void endUpdate() {}
    // After each update: the text as delivered and whether it was a
    // finished line, for readers of the output such as a progress bar.
    virtual void delivered(const QString &, bool) {}
};

class StringListLines : public OutputLines
{
public:
    qsizetype count() const override { return m_lines.size(); }
    void add(const QString &line) override { m_lines.append(line); }
    void replaceLast(const QString &line) override { m_lines.last() = line; }
    void setText(const QString &text) override;
    const QStringList &lines() const { return m_lines; }
    void clear() { m_lines.clear(); }

private:
    QStringList m_lines;
};

// Splits text at CR LF, lone CR or lone LF, as a list's text assignment does;
// a final line break does not start an extra empty line.
QStringList splitTextLines(const QString &text);

} // namespace base
