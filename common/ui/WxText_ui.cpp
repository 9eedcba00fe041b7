#include "common/ui/WxText_ui.h"

wxString ToWxText(std::string_view text) {
    const wxString converted = wxString::FromUTF8(text.data(), text.size());
    if (converted.empty() && !text.empty()) {
        return wxString(text.data(), wxConvISO8859_1, text.size());
    }
    return converted;
}
