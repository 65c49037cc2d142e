#pragma once
// A group of like problems, filled while Check walks; shown with a few of
// its examples and the count of the rest.
#include "iso/check.h"

namespace iso {

struct CheckGroup
{
    static constexpr int kExamples = 5;

    bool fatal;
    QString sentence, fix;
    QStringList examples;
    qsizetype count = 0;

    void add(const QString &example)
    {
        if (examples.size() < kExamples)
            examples << example;
        ++count;
    }
    void appendTo(QList<CheckProblem> *problems) const
    {
        if (count > 0)
            problems->append({fatal, sentence, fix, examples, count});
    }
};

} // namespace iso
