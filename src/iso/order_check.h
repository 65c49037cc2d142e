#pragma once
// How the order of an image's files agrees with a sort file's weights, the
// weights given as genisoimage gives them. Plain C++, as the walk.
#include "base/sort_lines.h"
#include "iso/iso_walk.h"

#include <string>
#include <vector>

namespace iso {

struct OrderedFile
{
    ImageFile file;
    int32_t weight = 0;
    int line = 0;            // the sort line that gave the weight (0: none, weight 0)
    bool outOfOrder = false;
};

struct OrderCheck
{
    std::string root;         // the root folder the lines were matched against
    bool rootGuessed = false; // taken from the lines, not given
    std::vector<OrderedFile> files; // in the image's order
    size_t outOfOrder = 0;
    size_t linesMatched = 0;  // sort lines that give a file or folder its weight
};

// Weights as genisoimage gives them: a file or folder takes the weight of
// the last sort line whose name matches root + "/" + its path (shell
// wildcards, "/" matched only by "/"); without one, the weight of its
// folder; the root folder without one has weight 0. `lines` are the
// entries genisoimage reads (base::readSortLines).
//
// A file is out of order when a file with a lower weight lies before it
// (at a lower first sector). Empty files hold no sector and take no part.
//
// With an empty `root`, the root is the folder under which the most sort
// lines name a file or folder of the image (on a tie, the shortest).
OrderCheck checkOrder(const ImageListing &listing, const base::SortLines &lines, const std::string &root);

// Removes trailing slashes (but keeps "/").
std::string trimmedRoot(std::string root);

} // namespace iso
