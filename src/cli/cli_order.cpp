#include "cli/cli_commands.h"

#include "iso/image_order.h"
#include "platform/path_codec.h"

#include <cinttypes>
#include <cstdio>

namespace cli {

namespace {
int orderUsage()
{
    std::fputs("usage: spindle-cli order [--root DIR] IMAGE.iso [SORTFILE]\n", stderr);
    return 2;
}

std::string bytesOf(const QString &path)
{
    const QByteArray b = platform::encodePath(path);
    return std::string(b.constData(), size_t(b.size()));
}

const char *namesText(iso::NameSource n)
{
    switch (n) {
    case iso::NameSource::RockRidge: return "Rock Ridge";
    case iso::NameSource::Joliet: return "Joliet";
    case iso::NameSource::Iso9660: break;
    }
    return "ISO 9660";
}
} // namespace

// The files of an image by first sector; with a sort file, the weight each
// one has by it and whether its place agrees.
int order(const QStringList &args)
{
    QStringList rest;
    QString root;
    bool rootGiven = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--root")) {
            if (i + 1 >= args.size() || rootGiven)
                return orderUsage();
            root = args.at(++i);
            rootGiven = true;
        } else if (args.at(i).startsWith(QLatin1String("--"))) {
            return orderUsage();
        } else {
            rest << args.at(i);
        }
    }
    if (rest.isEmpty() || rest.size() > 2 || (rootGiven && rest.size() < 2) || (rootGiven && root.isEmpty()))
        return orderUsage();

    const std::string imagePath = bytesOf(rest.at(0));
    const iso::FileImage image(imagePath);
    if (!image.isOpen()) {
        std::fprintf(stderr, "%s: %s\n", imagePath.c_str(), image.openError().c_str());
        return 1;
    }
    const iso::ImageListing listing = iso::readImageOrder(image);
    if (!listing.ok) {
        std::fprintf(stderr, "%s: %s\n", imagePath.c_str(), listing.error.c_str());
        return 1;
    }
    for (const std::string &p : listing.problems)
        std::fprintf(stderr, "%s: %s\n", imagePath.c_str(), p.c_str());

    if (rest.size() == 1) {
        for (const iso::ImageFile &f : listing.files)
            std::printf("%" PRIu32 "\t%" PRIu64 "\t%s\n", f.extent, f.size, f.path.c_str());
        std::fprintf(stderr, "%zu files, %s names\n", listing.files.size(), namesText(listing.names));
        return listing.problems.empty() ? 0 : 1;
    }

    const std::string sortPath = bytesOf(rest.at(1));
    std::string text, error;
    if (!iso::readSortFileBytes(sortPath, &text, &error)) {
        std::fprintf(stderr, "%s: %s\n", sortPath.c_str(), error.c_str());
        return 1;
    }
    const iso::SortFileText sort = iso::parseSortFile(text);
    for (const std::string &p : sort.problems)
        std::fprintf(stderr, "%s: %s\n", sortPath.c_str(), p.c_str());
    const iso::OrderCheck check = iso::checkOrder(listing, sort.lines, rootGiven ? bytesOf(root) : std::string());
    for (const iso::OrderedFile &o : check.files)
        std::printf("%" PRIu32 "\t%" PRIu64 "\t%s\t%" PRId32 "%s\n", o.file.extent, o.file.size, o.file.path.c_str(),
                    o.weight, o.outOfOrder ? "\tout of order" : "");
    if (check.root.empty()) {
        std::fprintf(stderr, "%s: no line names a file or folder of the image; give the root folder with --root\n",
                     sortPath.c_str());
        return 1;
    }
    if (check.linesMatched == 0 && !sort.lines.empty()) {
        std::fprintf(stderr, "%s: no line names a file or folder of the image under %s\n", sortPath.c_str(),
                     check.root.c_str());
        return 1;
    }
    std::fprintf(stderr, "root folder %s%s; %zu of %zu sort lines match; %zu of %zu files out of order; %s names\n",
                 check.root.c_str(), check.rootGuessed ? " (from the sort file)" : "", check.linesMatched,
                 sort.lines.size(), check.outOfOrder, check.files.size(), namesText(listing.names));
    return check.outOfOrder == 0 && listing.problems.empty() ? 0 : 1;
}

} // namespace cli
