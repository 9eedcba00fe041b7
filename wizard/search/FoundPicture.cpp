#include "wizard/search/FoundPicture.h"

#include "common/files/Paths.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace {

// The rank of each byte in the order of the found set. ASCII letters fold to lower case. The path
// separator ranks where a backslash stands, so that the copy order, and with it the pictures'
// numbers, is the same on every platform the suite runs on ("Trip2.jpg" before "Trip/a.jpg").
// Where a backslash may be part of a name (Linux), it ranks just after the separator, so that
// "a\\b.jpg" in one folder and "b.jpg" in folder "a" stay two pictures.
constexpr std::array<unsigned short, 256> MakeRankTable() {
    std::array<unsigned short, 256> table{};
    for (int c = 0; c < 256; ++c) {
        const int folded = c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
        table[c] = static_cast<unsigned short>(2 * folded);
    }
    table['/'] = 2 * '\\';
    table['\\'] = IsPathSeparator('\\') ? 2 * '\\' : 2 * '\\' + 1;
    return table;
}

constexpr std::array<unsigned short, 256> kRank = MakeRankTable();

// A full path seen as its pieces (folder, separator, name), so that two pictures can be compared
// without building their paths.
class PathPieces {
public:
    explicit PathPieces(const FoundPicture& picture)
        : m_pieces{picture.folder,
                   !picture.folder.empty() && IsPathSeparator(picture.folder.back())
                       ? std::string_view{}
                       : std::string_view{&kPathSeparator, 1},
                   picture.name} {}

    // The unread rest of the current piece; empty only at the end of the path.
    std::string_view Current() {
        while (m_pieces[m_index].empty() && m_index + 1 < m_pieces.size()) {
            ++m_index;
        }
        return m_pieces[m_index];
    }

    void Advance(size_t count) { m_pieces[m_index].remove_prefix(count); }

private:
    std::array<std::string_view, 3> m_pieces;
    size_t m_index = 0;
};

int CompareFolded(const FoundPicture& a, const FoundPicture& b) {
    PathPieces left(a);
    PathPieces right(b);
    for (;;) {
        const std::string_view l = left.Current();
        const std::string_view r = right.Current();
        if (l.empty() || r.empty()) {
            return static_cast<int>(!l.empty()) - static_cast<int>(!r.empty());
        }
        const size_t count = std::min(l.size(), r.size());
        for (size_t i = 0; i < count; ++i) {
            const unsigned short lc = kRank[static_cast<unsigned char>(l[i])];
            const unsigned short rc = kRank[static_cast<unsigned char>(r[i])];
            if (lc != rc) {
                return lc < rc ? -1 : 1;
            }
        }
        left.Advance(count);
        right.Advance(count);
    }
}

} // namespace

std::string FoundPicture::FullPath() const {
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    if (folder.empty() || !IsPathSeparator(folder.back())) {
        path += kPathSeparator;
    }
    path += name;
    return path;
}

bool FoundPictureOrder::operator()(const FoundPicture& a, const FoundPicture& b) const {
    return CompareFolded(a, b) < 0;
}
