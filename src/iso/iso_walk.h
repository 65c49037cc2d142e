#pragma once
// The files of an ISO 9660 image in the order they lie in it, read from the
// image's own directory records (bounded against hostile images).
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

// An image file (or block device) opened read-only; `bytesPath` is the
// name's bytes as the file system holds them. Anything else (a FIFO, a
// terminal, a folder) is refused without waiting for a writer.
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

} // namespace iso
