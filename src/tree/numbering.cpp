#include "tree/numbering.h"

#include "platform/path_codec.h"

#include <limits>

namespace tree {

namespace {
constexpr qint64 kMax32 = std::numeric_limits<qint32>::max();
constexpr qint64 kMin32 = std::numeric_limits<qint32>::min();

bool fits32(qint64 v) { return v >= kMin32 && v <= kMax32; }
} // namespace

// --- Add to list and the numbering fields ------------------------------------

namespace {
// Start weight from "Weight for next file", or from the last row's weight
// plus the step when the field is empty.
std::optional<QString> startWeight(const SortList &list, const QString &field, qint32 step,
                                   bool strict, qint64 *start)
{
    if (!field.isEmpty()) {
        const auto v = toInt32(field);
        if (!v && strict)
            return conversionErrorText(field);
        *start = v.value_or(0);
        return std::nullopt;
    }
    const QString last = platform::decodePath(list.weightBytesOf(list.pathBytes(list.size() - 1)).toByteArray());
    if (last.isEmpty()) {
        *start = 0;
        return std::nullopt;
    }
    const auto v = toInt32(last);
    if (!v || !fits32(qint64(*v) + step))
        return conversionErrorText(last);
    *start = qint64(*v) + step;
    return std::nullopt;
}
} // namespace

std::optional<QString> addToList(SortList &list, const QStringList &selectedFiles,
                                 const QString &folder, Numbering &fields)
{
    qint64 step = fields.step.isEmpty() ? 1 : toInt32(fields.step).value_or(1);
    qint64 w = 0;
    if (auto e = startWeight(list, fields.nextWeight, qint32(step), false, &w))
        return e;
    if (!selectedFiles.isEmpty()) {
        QList<SortRow> entries;
        entries.reserve(selectedFiles.size());
        for (const QString &f : selectedFiles) {
            if (!fits32(w + step))
                return conversionErrorText(QString::number(w));
            entries.append({platform::slashForm(f), QString::number(w)});
            w += step;
        }
        list.insertEntries(entries);
        fields.nextWeight = QString::number(w);
        fields.step = QString::number(step);
        return std::nullopt;
    }
    // The folder: the fields are read strictly this time.
    if (!fields.step.isEmpty()) {
        const auto s = toInt32(fields.step);
        if (!s)
            return conversionErrorText(fields.step);
        step = *s;
    } else {
        step = 1;
    }
    if (auto e = startWeight(list, fields.nextWeight, qint32(step), true, &w))
        return e;
    if (!fits32(w + step))
        return conversionErrorText(QString::number(w));
    if (folder.isEmpty())
        return std::nullopt;
    list.insertEntry(platform::slashForm(folder), QString::number(w));
    fields.nextWeight = QString::number(w + step);
    fields.step = QString::number(step);
    return std::nullopt;
}

std::optional<QString> updateNextWeight(const SortList &list, Numbering &fields)
{
    const QString weight = list.currentWeight();
    const auto v = toInt32(weight);
    if (!v)
        return std::nullopt;
    const qint64 next = qint64(*v) + toInt32(fields.step).value_or(1);
    if (!fits32(next))
        return conversionErrorText(weight);
    fields.nextWeight = QString::number(next);
    return std::nullopt;
}

QStringList arrowSteps()
{
    QStringList steps;
    for (qint64 s = 1; s <= 100000000; s *= 10)
        steps << QString::number(s);
    return steps;
}

} // namespace tree
