#include "iso/order_check.h"

#include "base/sort_match.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

namespace iso {

std::string trimmedRoot(std::string root)
{
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root;
}

namespace {

std::string joined(const std::string &root, const std::string &rel)
{
    if (rel.empty())
        return root;
    return root == "/" ? "/" + rel : root + "/" + rel;
}

std::string parentOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string guessRoot(const ImageListing &listing, const base::SortLines &lines)
{
    std::unordered_set<std::string> paths;
    for (const ImageFile &f : listing.files)
        paths.insert(f.path);
    for (const std::string &d : listing.folders)
        paths.insert(d);
    std::unordered_map<std::string, size_t> votes;
    std::string p;
    for (const std::string &name : lines.names) {
        if (!base::spelledName(name, &p))
            continue;
        std::unordered_set<std::string> mine;
        for (size_t k = p.find('/'); k != std::string::npos; k = p.find('/', k + 1)) {
            if (k + 1 >= p.size() || !paths.count(p.substr(k + 1)))
                continue;
            std::string root = k == 0 ? std::string("/") : trimmedRoot(p.substr(0, k));
            if (mine.insert(root).second)
                ++votes[root];
        }
    }
    std::string best;
    size_t most = 0;
    for (const auto &[root, n] : votes)
        if (n > most || (n == most && (root.size() < best.size() || (root.size() == best.size() && root < best)))) {
            best = root;
            most = n;
        }
    return best;
}

} // namespace

OrderCheck checkOrder(const ImageListing &listing, const base::SortLines &lines, const std::string &root)
{
    OrderCheck out;
    out.root = trimmedRoot(root);
    if (out.root.empty()) {
        out.root = guessRoot(listing, lines);
        out.rootGuessed = true;
    }
    const base::SortMatcher m(lines.names);
    std::vector<bool> used(lines.names.size(), false);
    // Weight and giving line of every folder, parents before children.
    struct Given { int32_t weight; int line; };
    std::unordered_map<std::string, Given> folders;
    auto weigh = [&](const std::string &rel, const Given &parent) -> Given {
        if (out.root.empty())
            return parent;
        const long hit = m.lastMatch(joined(out.root, rel));
        if (hit < 0)
            return parent;
        used[size_t(hit)] = true;
        return {lines.weights[size_t(hit)], lines.lineNumbers[size_t(hit)]};
    };
    const Given top = weigh(std::string(), Given{0, 0});
    folders[std::string()] = top;
    auto folderOf = [&](const std::string &rel) {
        const auto it = folders.find(parentOf(rel));
        return it == folders.end() ? top : it->second;
    };
    for (const std::string &d : listing.folders)
        folders[d] = weigh(d, folderOf(d));

    out.files.reserve(listing.files.size());
    for (const ImageFile &f : listing.files) {
        const Given g = weigh(f.path, folderOf(f.path));
        out.files.push_back({f, g.weight, g.line, false});
    }
    // Lowest weight among files at earlier sectors: a heavier file after it
    // is out of order.
    bool any = false;
    int32_t lowest = 0, groupLowest = 0;
    uint32_t groupExtent = 0;
    bool groupAny = false;
    for (OrderedFile &o : out.files) {
        if (o.file.size == 0)
            continue;
        if (!groupAny || o.file.extent != groupExtent) {
            if (groupAny) {
                lowest = any ? std::min(lowest, groupLowest) : groupLowest;
                any = true;
            }
            groupExtent = o.file.extent;
            groupLowest = o.weight;
            groupAny = true;
        } else {
            groupLowest = std::min(groupLowest, o.weight);
        }
        if (any && o.weight > lowest) {
            o.outOfOrder = true;
            ++out.outOfOrder;
        }
    }
    out.linesMatched = size_t(std::count(used.begin(), used.end(), true));
    return out;
}

} // namespace iso
