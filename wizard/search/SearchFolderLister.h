// Lists the entries of one folder for the picture search. The walk itself, the extension rules
// and the found set stay above this, the same for every file system.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum class FolderEntryKind : std::uint8_t {
    File,   // a file whose contents can be read: a regular file, or a link to one
    Folder, // a folder of its own, never a link to one (links to folders are not followed)
    Other,  // anything else: links to folders, dangling links, devices, pipes, sockets
};

// The entries of one folder in the order the file system gave them. The names share one buffer,
// so that listing a folder costs a few allocations however many entries it holds.
class CFolderListing {
public:
    void Clear() {
        m_names.clear();
        m_entries.clear();
    }

    void Add(std::string_view name, FolderEntryKind kind) {
        m_entries.push_back({m_names.size(), name.size(), kind});
        m_names.append(name);
    }

    size_t Size() const { return m_entries.size(); }
    std::string_view Name(size_t index) const {
        const Entry& entry = m_entries[index];
        return std::string_view(m_names).substr(entry.offset, entry.length);
    }
    FolderEntryKind Kind(size_t index) const { return m_entries[index].kind; }

private:
    struct Entry {
        size_t offset;
        size_t length;
        FolderEntryKind kind;
    };
    std::string m_names;
    std::vector<Entry> m_entries;
};

class CAbstractFolderLister {
public:
    virtual ~CAbstractFolderLister() = default;

    // Fills listing with the entries of folder (a path ending with a separator), "." and ".."
    // included as the file system gives them. followLink: folder may be a link to a folder (the
    // root the user chose); otherwise a folder that has turned into a link is not listed. Returns
    // false, with the listing empty, when the folder cannot be opened for listing. Once stop reads
    // 1 it may end early with what it has read so far.
    virtual bool List(const std::string& folder, bool followLink, const std::atomic<int>& stop,
                      CFolderListing& listing) = 0;
};

// The lister of the local file systems.
std::unique_ptr<CAbstractFolderLister> CreateFolderLister();
