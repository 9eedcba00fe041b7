// A wx application for GUI test cases, with the launcher's services set up in a private
// program directory and registry: each case runs in a process of its own, under its own Xvfb.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace testing_support {

// The program directory of this process (VELMORA_PROGRAM_DIR), made afresh for it.
const std::filesystem::path& ProgramDirectory();

// Writes settings.ini into the program directory.
void WriteSettings(const std::string& text);

// Runs `step` on the UI thread every 50 ms, while any event loop or yield runs, until it returns
// true. For answering modal dialogs the code under test shows.
class UiPoller {
public:
    explicit UiPoller(std::function<bool()> step);
    ~UiPoller();
    UiPoller(const UiPoller&) = delete;
    UiPoller& operator=(const UiPoller&) = delete;
    bool Finished() const;

private:
    class Timer;
    Timer* m_timer;
};

} // namespace testing_support
