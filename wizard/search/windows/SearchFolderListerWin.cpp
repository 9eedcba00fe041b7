// Lists local folders with FindFirstFileExW. The entry's kind comes from its attributes in the
// listing itself, so that a plain file costs no further call.
#include "wizard/search/SearchFolderLister.h"

#include "common/files/windows/WideText.h"

#include <windows.h>

#include <string>

namespace {

class FindHandle {
public:
    explicit FindHandle(HANDLE handle) : m_handle(handle) {}
    ~FindHandle() {
        if (m_handle != INVALID_HANDLE_VALUE) {
            ::FindClose(m_handle);
        }
    }
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;

    HANDLE Get() const { return m_handle; }

private:
    HANDLE m_handle;
};

// A reparse point that is a folder (a junction, a folder link) is never walked, so that a link
// back up the tree cannot make the walk go round for ever; a file link is read as the file.
FolderEntryKind KindOf(const WIN32_FIND_DATAW& entry) {
    const DWORD attributes = entry.dwFileAttributes;
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? FolderEntryKind::Other
                                                                : FolderEntryKind::Folder;
    }
    if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) {
        return FolderEntryKind::Other;
    }
    return FolderEntryKind::File;
}

class CWindowsFolderLister final : public CAbstractFolderLister {
public:
    bool List(const std::string& folder, bool followLink, const std::atomic<int>& stop,
              CFolderListing& listing) override {
        listing.Clear();
        std::wstring path = WideFromUtf8(folder);
        if (!followLink) {
            // A folder that has turned into a link since its parent was listed is refused rather
            // than followed.
            const DWORD attributes = ::GetFileAttributesW(path.c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES ||
                (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
                return false;
            }
        }
        if (!path.empty() && path.back() != L'\\' && path.back() != L'/') {
            path.push_back(L'\\');
        }
        path.push_back(L'*');
        WIN32_FIND_DATAW entry{};
        const FindHandle find(::FindFirstFileExW(path.c_str(), FindExInfoBasic, &entry,
                                                 FindExSearchNameMatch, nullptr,
                                                 FIND_FIRST_EX_LARGE_FETCH));
        if (find.Get() == INVALID_HANDLE_VALUE) {
            // The root of an empty drive has not even "." and "..".
            return ::GetLastError() == ERROR_FILE_NOT_FOUND;
        }
        do {
            listing.Add(Utf8FromWide(entry.cFileName), KindOf(entry));
        } while (stop.load(std::memory_order_relaxed) != 1 && ::FindNextFileW(find.Get(), &entry));
        return true;
    }
};

} // namespace

std::unique_ptr<CAbstractFolderLister> CreateFolderLister() {
    return std::make_unique<CWindowsFolderLister>();
}
