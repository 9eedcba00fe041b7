// The destination drop-down of the folder page: a few entries, then an item that offers the whole
// list. The control shows ShownList() and forwards its selection changes to ResolveSelection.
#pragma once

#include "wizard/sheet/DestinationEntries.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class CComboBoxMoreModel {
public:
    static constexpr size_t kShownLimit = 5;

    // Given the texts of the full list, the index of the chosen one, or nothing when the user
    // cancelled.
    using Chooser = std::function<std::optional<size_t>(const std::vector<std::string>& texts)>;

    struct Resolved {
        int index = -1; // in the shown list; -1 when there is nothing to select
        int type = kNamingFolderAndName;
    };

    void SetMoreText(std::string text) { m_moreText = std::move(text); }
    const std::string& MoreText() const { return m_moreText; }

    // Shows the first kShownLimit entries, and the "more" item after them when more remain. The
    // selection stays when it still names an entry, else it becomes the first one.
    void SetItems(std::vector<DestinationEntry> entries);

    const std::vector<DestinationEntry>& FullList() const { return m_full; }
    // What the control holds, the "more" item included (last, type 0).
    const std::vector<DestinationEntry>& ShownList() const { return m_shown; }
    bool HasMoreItem() const { return m_hasMore; }
    bool IsMoreItem(int index) const;

    // -1 when the list is empty.
    int Selection() const { return m_selection; }
    // Selects an entry; the first one when `index` names none (the "more" item included).
    void Select(int index);
    const DestinationEntry* SelectedEntry() const;

    // The entry a selection of the control comes to. The "more" item asks `chooser` for an entry
    // of the full list: one already shown is selected; another takes the top place, the last
    // shown entry giving way; Cancel selects the first entry.
    Resolved ResolveSelection(int index, const Chooser& chooser);

private:
    size_t EntryCount() const { return m_shown.size() - (m_hasMore ? 1 : 0); }
    Resolved Current() const;

    std::string m_moreText;
    std::vector<DestinationEntry> m_full;
    std::vector<DestinationEntry> m_shown;
    bool m_hasMore = false;
    int m_selection = -1;
};
