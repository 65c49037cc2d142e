#pragma once
// The image order as text a user reads and copies: the files of an image
// by first sector, with the weights a sort list gives them.
#include <QList>
#include <QPair>
#include <QString>

namespace iso {

struct OrderReport
{
    bool ok = false;
    QString error;     // why the image could not be read
    QString text;      // the listing, one file a line
    qsizetype outOfOrder = 0;
};

// `rows` are a sort list's (path, weight) pairs, in list order; a row
// whose weight is not an integer is left out and said so. With no rows the
// listing has no weights.
OrderReport orderReport(const QString &imagePath, const QList<QPair<QString, QString>> &rows);

} // namespace iso
