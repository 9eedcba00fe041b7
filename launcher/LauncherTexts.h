// String ids of the launcher's texts in its resource bundle.
#pragma once

namespace launcher_text {

inline constexpr unsigned kCaption = 132;                 // "%p Tandro"
inline constexpr unsigned kUsage = 134;                   // "Usage: ... %s /web ... %s /folder ..."
inline constexpr unsigned kCannotOpenFolder = 136;        // "... explorer window ... (%x)"
inline constexpr unsigned kCannotNavigate = 140;          // "Unable to Navigate to your %p. (%d)"
inline constexpr unsigned kOkButton = 142;                // "&OK"
inline constexpr unsigned kCancelButton = 143;            // "&Cancel"
inline constexpr unsigned kNamesPrompt = 144;             // "Type your %p Name and %p Username."
inline constexpr unsigned kNameLabel = 145;               // "%p Name:"
inline constexpr unsigned kUsernameLabel = 146;           // "%p Username:"
inline constexpr unsigned kRelayServerError = 155;        // "... (Server Error %d)"
inline constexpr unsigned kRelayInvalidParameter = 156;   // "... (Invalid Parameter %d)"
inline constexpr unsigned kRelayHostUnreachable = 157;    // "... (Host unreachable %d)"
inline constexpr unsigned kRelayServiceUnavailable = 158; // "... (Service not available %d)"

} // namespace launcher_text
