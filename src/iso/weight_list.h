#pragma once
// xorrisofs has no -sort: it takes the same order as a list of weights and
// paths inside the image (--sort-weight-list). The list is made from the
// sort file the user keeps, as genisoimage would read it, beside build.bat.
#include "iso/command_builder.h"
#include "iso/iso_options.h"

#include <QByteArray>
#include <QString>

namespace iso {

// The option set needs the list: sorting on, a sort file, and a program
// that takes the weights in its own form.
bool needsWeightList(const IsoOptions &o);

// The list for the tree below `root`: every regular file with the weight
// genisoimage gives it (the last line naming it, else its folder's weight;
// the root's, else 0), as "WEIGHT /PATH" lines, files of weight 0 left out.
// False with a sentence naming the line when genisoimage would refuse the
// sort file, and with the reason when it or the tree cannot be read.
bool weightListText(const QString &sortFile, const QString &root, QByteArray *text, QString *error);

// Writes the list of an option set to its place (MkisoPaths::weightList),
// atomically; false with the reason.
bool writeWeightList(const IsoOptions &o, QString *error);

} // namespace iso
