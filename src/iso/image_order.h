#pragma once
// The order of the files inside an ISO 9660 image, read from the image's own
// directory records, and how that order agrees with a sort file's weights.
// Plain C++: the fuzz target builds it without Qt.
#include <cstdint>
#include <string>
#include <vector>

namespace iso {

constexpr uint64_t kIsoSector = 2048;

// Random access to an image.
class ImageSource
{
public:
    virtual ~ImageSource() = default;
    virtual uint64_t size() const = 0;
    // Reads exactly n bytes at off; false with a reason otherwise.
    virtual bool read(uint64_t off, void *buf, size_t n, std::string *error) const = 0;
};

class MemoryImage : public ImageSource
{
public:
    MemoryImage(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    uint64_t size() const override { return m_size; }
    bool read(uint64_t off, void *buf, size_t n, std::string *error) const override;

private:
    const uint8_t *m_data;
    size_t m_size;
};

// An image file (or device) opened read-only; `bytesPath` is the name's
// bytes as the file system holds them.
class FileImage : public ImageSource
{
public:
    explicit FileImage(const std::string &bytesPath);
    ~FileImage() override;
    FileImage(const FileImage &) = delete;
    FileImage &operator=(const FileImage &) = delete;
    bool isOpen() const { return m_fd >= 0; }
    const std::string &openError() const { return m_error; }
    uint64_t size() const override { return m_size; }
    bool read(uint64_t off, void *buf, size_t n, std::string *error) const override;

private:
    int m_fd = -1;
    uint64_t m_size = 0;
    std::string m_error;
};

// Which names the paths carry: Rock Ridge NM names when the image has them,
// else Joliet names, else the ISO 9660 identifiers (";1" and a lone
// trailing dot removed).
enum class NameSource { Iso9660, RockRidge, Joliet };

struct ImageFile
{
    std::string path;     // relative to the image's root, "/"-separated, bytes
    uint32_t extent = 0;  // first sector
    uint64_t size = 0;    // bytes (all sections of a multi-extent file)
};

// Bounds of one walk: a hostile image ends the walk with a message, never a
// loop, a read past the end or unbounded memory.
struct ReadLimits
{
    int maxDepth = 64;
    size_t maxEntries = 4000000;
    uint32_t maxDirectoryBytes = 64u << 20;
    int maxContinuations = 32; // Rock Ridge CE areas per record
};

struct ImageListing
{
    bool ok = false;           // the volume descriptors and root could be read
    std::string error;         // why not, when !ok
    NameSource names = NameSource::Iso9660;
    std::vector<ImageFile> files;       // sorted by extent, then path
    std::vector<std::string> folders;   // every folder's relative path
    std::vector<std::string> problems;  // what was skipped; the listing is partial then
};

ImageListing readImageOrder(const ImageSource &src, const ReadLimits &limits = {});

// --- the order against a sort file ------------------------------------------

// One line of a sort file as genisoimage reads it: the name is everything
// before the line's last blank or tab, the weight the integer after it.
struct SortLine
{
    std::string pattern; // bytes; may hold shell wildcards
    int32_t weight = 0;
    int line = 0;        // 1-based
};

struct SortFileText
{
    std::vector<SortLine> lines;
    std::vector<std::string> problems; // lines genisoimage refuses, with their numbers
};
SortFileText parseSortFile(const std::string &text);
// A sort file's bytes, refused above `maxBytes`; false with the reason.
bool readSortFileBytes(const std::string &bytesPath, std::string *text, std::string *error,
                       size_t maxBytes = 64u << 20);

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
    size_t linesMatched = 0;  // sort lines that name at least one file or folder
};

// Weights as genisoimage gives them: a file or folder takes the weight of
// the last sort line whose pattern matches root + "/" + its path (shell
// wildcards, "/" matched only by "/"); without one, the weight of its
// folder; the root folder without one has weight 0.
//
// A file is out of order when a file with a lower weight lies before it
// (at a lower first sector). Empty files hold no sector and take no part.
//
// With an empty `root`, the root is the folder under which the most sort
// lines name a file or folder of the image (on a tie, the shortest).
OrderCheck checkOrder(const ImageListing &listing, const std::vector<SortLine> &lines, const std::string &root);

// Removes trailing slashes (but keeps "/").
std::string trimmedRoot(std::string root);

} // namespace iso
