#include "cli/cli_commands.h"

#include "base/sort_lines.h"
#include "iso/order_check.h"
#include "platform/bounded_read.h"
#include "platform/files.h"
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

// A path as one tab-separated field: a tab, a line break and the
// backslash that quotes them are written as \t, \n, \r and \\.
std::string field(const std::string &path)
{
    if (path.find_first_of("\t\n\r\\") == std::string::npos)
        return path;
    std::string out;
    out.reserve(path.size() + 8);
    for (char c : path) {
        switch (c) {
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\\': out += "\\\\"; break;
        default: out += c;
        }
    }
    return out;
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
            std::printf("%" PRIu32 "\t%" PRIu64 "\t%s\n", f.extent, f.size, field(f.path).c_str());
        std::fprintf(stderr, "%zu files, %s names\n", listing.files.size(), namesText(listing.names));
        return listing.problems.empty() ? 0 : 1;
    }

    const std::string sortPath = bytesOf(rest.at(1));
    const platform::BoundedRead file = platform::readBounded(rest.at(1), base::kSortFileLimit);
    if (!file.ok()) {
        std::fprintf(stderr, "%s\n", platform::encodePath(platform::cannotOpenText(rest.at(1), file.reason)).constData());
        return 1;
    }
    const base::SortLines sort = base::readSortLines(std::string_view(file.data.constData(), size_t(file.data.size())));
    for (const std::string &m : sort.messages)
        std::fprintf(stderr, "%s: %s\n", sortPath.c_str(), m.c_str());
    if (sort.stopLine != 0)
        std::fprintf(stderr, "%s: %s\n", sortPath.c_str(), base::sortStopMessage(sort).c_str());
    const iso::OrderCheck check = iso::checkOrder(listing, sort, rootGiven ? bytesOf(root) : std::string());
    std::string out;
    for (const iso::OrderedFile &o : check.files) {
        out += std::to_string(o.file.extent) + '\t' + std::to_string(o.file.size) + '\t' + field(o.file.path) + '\t' +
               std::to_string(o.weight) + (o.outOfOrder ? "\tout of order\n" : "\n");
        if (out.size() > (1 << 16)) {
            std::fwrite(out.data(), 1, out.size(), stdout);
            out.clear();
        }
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    if (check.root.empty()) {
        std::fprintf(stderr, "%s: no line names a file or folder of the image; give the root folder with --root\n",
                     sortPath.c_str());
        return 1;
    }
    if (check.linesMatched == 0 && !sort.names.empty()) {
        std::fprintf(stderr, "%s: no line names a file or folder of the image under %s\n", sortPath.c_str(),
                     check.root.c_str());
        return 1;
    }
    std::fprintf(stderr, "root folder %s%s; %zu of %zu sort lines match; %zu of %zu files out of order; %s names\n",
                 check.root.c_str(), check.rootGuessed ? " (from the sort file)" : "", check.linesMatched,
                 sort.names.size(), check.outOfOrder, check.files.size(), namesText(listing.names));
    return check.outOfOrder == 0 && listing.problems.empty() && sort.stopLine == 0 ? 0 : 1;
}

} // namespace cli
