// The single-instance rule on Linux: an exclusive flock on a lock file in a directory that every
// user can write, so that the rule holds across all users at once.
#pragma once

#include "common/files/linux/FileDescriptor.h"
#include "wizard/app/SingleInstance.h"

#include <string>

// Names the lock directory instead of the usual one (tests use a private folder).
inline constexpr const char* kLockDirectoryVariable = "VELMORA_LOCK_DIR";
inline constexpr const char* kWizardLockFileName = "velmora-snapferry.lock";

// The claim is the flock, not the file: the kernel drops it when the holder ends in any way, a
// crash or SIGKILL included, so a file left behind never blocks. The file itself is never
// removed, because removing it would race with another start that has just opened it and leave
// two runs each holding a lock on a different file.
//
// The file is opened without following symbolic links and without O_CREAT when it exists: in a
// sticky world-writable directory (fs.protected_regular) an O_CREAT open of another user's file
// fails even when the file could be opened, and a read-only descriptor is enough for flock. A
// missing file is made mode 0666 whatever the umask under a name of its own, and only then linked
// into place, so that every other user can open it from the moment it is there. A file the process
// cannot open (another user's, mode 0600), a symbolic link or anything but a regular file gives
// CouldNotCheck: the run goes on rather than hang or stop. The descriptor is close-on-exec, so that
// programs the wizard starts (the file manager it opens at the end) do not hold the claim after the
// wizard has ended.
class CSingleInstanceLock : public CAbstractSingleInstance {
public:
    CSingleInstanceLock(const std::string& directory, const std::string& fileName);

    // $VELMORA_LOCK_DIR when set and not empty; else /run/lock when it is a sticky directory
    // that every user may write; else /tmp.
    static std::string DefaultLockDirectory();

    SingleInstanceResult Acquire() override;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
    CFileDescriptor lock_;
};
