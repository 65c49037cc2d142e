#pragma once
// The Layout Sorter's numbering: the weights Add to list gives, the next
// weight a click in the list proposes, and the arrow steps.
#include "tree/sort_list.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace tree {

// The numbering fields of Add to list: "Weight for next file" and "step".
struct Numbering
{
    QString nextWeight;
    QString step;
};

// Add to list: the selected files (in their order) with weights counted up
// from the numbering fields, or, with no file selected, `folder` itself.
// Paths go in as slash form. On a conversion error (a field or the last
// row's weight that is not an integer, or a weight that would leave the
// 32-bit range) nothing is added and the error text is returned.
std::optional<QString> addToList(SortList &list, const QStringList &selectedFiles,
                                 const QString &folder, Numbering &fields);

// Next-weight update: when the current row's weight is an integer v,
// fields.nextWeight becomes v plus the step (the integer in fields.step, or
// 1). Returns the conversion error when the sum leaves the 32-bit range.
std::optional<QString> updateNextWeight(const SortList &list, Numbering &fields);

// The arrow step list: 1, 10, ... 100000000.
QStringList arrowSteps();

} // namespace tree
