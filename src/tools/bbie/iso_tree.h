#pragma once
// Which file of an image's ISO 9660 directory tree starts at a given sector:
// a no-emulation entry names only a sector and a load count, and the loader
// it starts (isolinux.bin, an EFI image) is usually longer than that count.
#include "tools/bbie/eltorito.h"

#include <cstdint>
#include <map>
#include <set>
#include <string>

namespace eltorito {

struct TreeFile
{
    std::string path;   // "/"-separated from the root, bytes as stored
    uint64_t size = 0;  // bytes, all sections of a multi-extent file
};

// Bounds of one walk; a hostile tree ends the walk early, never in a loop,
// a read past the source or memory that grows with the tree.
struct TreeLimits
{
    int maxDepth = 64;
    uint64_t maxDirectoryBytes = 64u << 20; // also never more than the source holds
    int maxContinuations = 32;              // Rock Ridge CE areas per record
};

struct TreeSearch
{
    std::map<uint32_t, TreeFile> files; // by first sector; the first file found wins
    std::string stopped;                // why the walk ended before the whole tree, if it did
};

// Walks the tree of the primary volume descriptor and gives, for each of
// `sectors`, the non-empty file that starts there. Names are Rock Ridge
// names when the image has them, else ISO 9660 names without ";1".
TreeSearch filesStartingAt(const Source &src, const std::set<uint32_t> &sectors, const TreeLimits &limits = {});

} // namespace eltorito
