// Which server a command talks to: one found on the local network, the remembered server through
// the relay domain, or the relay domain's own site.
#pragma once

#include "common/discovery/DeviceRecord.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class wxWindow;

enum ChoiceCase : int {
    ChoiceCancelled = 1,   // the user cancelled; nothing is opened; output unchanged
    ChoiceInvalid = 2,     // an entry of an unknown kind came back; output empty
    ChoiceLocalDevice = 3, // output: the server's address text
    ChoiceRemoteHome = 4,  // the remembered server through the relay domain; output empty
    ChoiceRelaySite = 5,   // the relay domain's own site; output empty
};

// A veto on a chosen entry. Nothing asks it yet; CValidateDeviceChoice allows everything.
class CAbstractValidateDeviceChoice {
public:
    virtual ~CAbstractValidateDeviceChoice() = default;
    virtual bool Validate(const DeviceRecord* candidate, wxWindow* dialog) = 0;
};

class CValidateDeviceChoice final : public CAbstractValidateDeviceChoice {
public:
    bool Validate(const DeviceRecord* /*candidate*/, wxWindow* /*dialog*/) override { return true; }
};

class CAbstractDeviceChooser {
public:
    explicit CAbstractDeviceChooser(CAbstractValidateDeviceChoice* validator)
        : m_validator(validator) {}
    virtual ~CAbstractDeviceChooser() = default;

    // Returns a ChoiceCase; ChosenAddress holds the address for ChoiceLocalDevice and is empty
    // otherwise.
    virtual int Choose() = 0;

    void SetTable(const DeviceTable* table) { m_table = table; }
    const DeviceTable* Table() const { return m_table; }
    CAbstractValidateDeviceChoice* Validator() const { return m_validator; }
    const std::string& ChosenAddress() const { return m_chosenAddress; }

protected:
    CAbstractValidateDeviceChoice* m_validator; // not owned
    const DeviceTable* m_table = nullptr;       // not owned; may be none
    std::string m_chosenAddress;
};

// The case for an entry the user picked; the address text goes to chosenAddress for a local
// server. An entry of any other kind is an internal error (ChoiceInvalid).
int ChoiceCaseForEntry(const DeviceRecord& entry, std::string& chosenAddress);

// The remembered server name: "subdomain" under the product key, machine-wide. Empty when none.
std::string ReadRememberedServerName();

// The automatic choice: the first server, in ascending address order, whose server name equals
// rememberedName without regard to letter case gives ChoiceLocalDevice and its address text (at
// most maxLength bytes) in out; otherwise ChoiceRemoteHome with out untouched. An empty name
// never matches.
int MatchServerName(const DeviceTable& table, std::string_view rememberedName, std::string& out,
                    std::size_t maxLength);
// The same with the remembered server name from the registry.
int MatchHomeServer(const DeviceTable& table, std::string& out, std::size_t maxLength);

// One line of the launcher's device list.
struct ChoiceListItem {
    enum class Entry { Found, Home, Relay };
    enum Image { NetworkDrive = 0, InternetDrive = 1, NoDevice = 2 };

    std::string text; // at most kDeviceTextLimit bytes
    Image image = NetworkDrive;
    Entry entry = Entry::Found;
    const DeviceRecord* record = nullptr; // the found server, for Entry::Found
};

// The list: every found server that has a server name, as "name (address)" in ascending address
// order; then, when a server name is remembered and none of them carries it, the home entry
// "name.domain (home)"; then always the relay entry "www.domain".
std::vector<ChoiceListItem> BuildChoiceListItems(const DeviceTable* table,
                                                 std::string_view rememberedName,
                                                 std::string_view relayDomain,
                                                 std::string_view homeWord);
