#include "wizard/sheet/ComboBoxMoreModel.h"

void CComboBoxMoreModel::SetItems(std::vector<DestinationEntry> entries) {
    m_full = std::move(entries);
    m_shown.clear();
    m_hasMore = false;
    for (const DestinationEntry& entry : m_full) {
        if (m_shown.size() == kShownLimit) {
            m_shown.push_back({m_moreText, kNamingFolderAndName});
            m_hasMore = true;
            break;
        }
        m_shown.push_back(entry);
    }
    Select(m_selection);
}

bool CComboBoxMoreModel::IsMoreItem(int index) const {
    return m_hasMore && index == static_cast<int>(m_shown.size()) - 1;
}

void CComboBoxMoreModel::Select(int index) {
    if (EntryCount() == 0) {
        m_selection = -1;
    } else if (index < 0 || static_cast<size_t>(index) >= EntryCount()) {
        m_selection = 0;
    } else {
        m_selection = index;
    }
}

const DestinationEntry* CComboBoxMoreModel::SelectedEntry() const {
    return m_selection < 0 ? nullptr : &m_shown[static_cast<size_t>(m_selection)];
}

CComboBoxMoreModel::Resolved CComboBoxMoreModel::Current() const {
    const DestinationEntry* entry = SelectedEntry();
    return entry == nullptr ? Resolved{} : Resolved{m_selection, entry->type};
}

CComboBoxMoreModel::Resolved CComboBoxMoreModel::ResolveSelection(int index,
                                                                  const Chooser& chooser) {
    if (!IsMoreItem(index)) {
        Select(index);
        return Current();
    }
    std::vector<std::string> texts;
    texts.reserve(m_full.size());
    for (const DestinationEntry& entry : m_full) {
        texts.push_back(entry.text);
    }
    const std::optional<size_t> chosen = chooser ? chooser(texts) : std::nullopt;
    if (!chosen || *chosen >= m_full.size()) {
        Select(0);
        return Current();
    }
    const DestinationEntry& entry = m_full[*chosen];
    for (size_t i = 0; i < EntryCount(); ++i) {
        if (m_shown[i].text == entry.text) {
            Select(static_cast<int>(i));
            return Current();
        }
    }
    // The "more" item exists only when the shown entries reached the limit.
    m_shown.erase(m_shown.begin() + (kShownLimit - 1));
    m_shown.insert(m_shown.begin(), entry);
    Select(0);
    return Current();
}
