#pragma once
// El Torito boot catalog reading: the boot record volume descriptor, the
// validation entry, the initial entry and every section that follows.
#include <cstdint>
#include <string>
#include <vector>

namespace eltorito {

constexpr uint64_t kSector = 2048;
// The system identifier of the boot record volume descriptor.
constexpr char kBootSystemId[] = "EL TORITO SPECIFICATION";

// Random access to an image file or a block device.
class Source
{
public:
    virtual ~Source() = default;
    virtual uint64_t size() const = 0;
    // Reads exactly n bytes at off; false with a reason otherwise.
    virtual bool read(uint64_t off, void *buf, size_t n, std::string *error) const = 0;
};

// An in-memory source (tests and fuzzing).
class MemorySource : public Source
{
public:
    MemorySource(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    uint64_t size() const override { return m_size; }
    bool read(uint64_t off, void *buf, size_t n, std::string *error) const override;

private:
    const uint8_t *m_data;
    size_t m_size;
};

enum class Media : uint8_t { NoEmulation = 0, Floppy12 = 1, Floppy144 = 2, Floppy288 = 3, HardDisk = 4 };

struct BootEntry
{
    uint8_t platform = 0;   // of its section (the validation entry's for the initial entry)
    bool bootable = false;  // boot indicator 0x88
    uint8_t media = 0;      // low four bits of the media byte
    uint16_t loadSegment = 0;
    uint8_t systemType = 0;
    uint16_t sectorCount = 0;
    uint32_t loadRba = 0;
};

enum class Status { Ok, NotIso, NoBootRecord, BadCatalog, ReadError };

struct Catalog
{
    Status status = Status::Ok;
    std::string message;   // what failed, for anything but Ok
    uint32_t sector = 0;   // where the catalog lies
    // The volume's end by its primary volume descriptor (0 when it gives
    // none): what an image inside the volume can hold, whatever lies after.
    uint64_t volumeEnd = 0;
    std::vector<BootEntry> entries;
    std::vector<std::string> warnings; // the catalog ended early, and why
};

Catalog readCatalog(const Source &src);

// No emulated disk or image is larger than this.
constexpr uint64_t kMaxImage = uint64_t(1) << 32;

// Where an entry's image lies and how long it is. An image is cut at what
// the source holds after its start (inside the volume when it starts
// there: a file padded or extended past the volume holds nothing of it)
// and at kMaxImage, whatever its entry, MBR or boot sector claims.
struct Extent
{
    uint64_t offset = 0;
    uint64_t size = 0;     // bytes to copy, never past what the source holds
    uint64_t wanted = 0;   // what the entry describes
    uint64_t holds = 0;    // bytes the source has from offset on
    bool truncated = false;
    bool outside = false;  // starts at or past the end of the source
};
// `fileSize`, when not 0, is the size of the file that starts at a
// no-emulation image's sector: the loader is that file, not its load count.
Extent imageExtent(const Source &src, const BootEntry &e, uint64_t volumeEnd = 0, uint64_t fileSize = 0);

// The bounds of one run over all its images: a catalog can hold a thousand
// entries, each claiming the whole source.
constexpr size_t kMaxImages = 64; // twice what xorriso puts in a catalog

enum class Action { Write, Outside, Same, TooMany, OverBound };

struct PlannedImage
{
    BootEntry entry;
    Extent extent;
    Action action = Action::Write;
    size_t sameAs = 0;      // Same: the entry (1-based) written with this image
    bool wholeFile = false; // no emulation, sized by the file at its sector
    std::string file;       // that file's path
    uint64_t fileSize = 0;
};

struct RunPlan
{
    std::vector<PlannedImage> images; // one per catalog entry, in order
    uint64_t bound = 0; // what the written images may hold together: the volume's size
    uint64_t total = 0; // what they hold
    size_t same = 0, tooMany = 0, overBound = 0;
    std::string treeStopped; // why the folder walk for no-emulation loaders ended early
};

// Which entries are written: each distinct image once, at most kMaxImages
// of them, together at most the volume's size (the source's when the
// volume gives none); a no-emulation image whole when a file starts at
// its sector.
RunPlan planRun(const Source &src, const Catalog &cat);

std::string platformName(uint8_t platform);
std::string mediaName(uint8_t media);

} // namespace eltorito
