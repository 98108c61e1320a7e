#pragma once

#include "CorrespondentPaths.h"
#include "IoContext.h"
#include "ShownMessage.h"

#include <string>

namespace qb {

// Program-wide state shared by all windows: the data directory captured once at start-up, the
// selected correspondent, what the editor shows, and the file layer's pending code and open-file table.
struct Session
{
    std::string currentdirectory;
    std::string currentuser;
    ShownMessage shownMessage;
    IoContext io;

    Session() { io.keepInside(&currentdirectory); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Captures the process's working directory as the data directory. One that is gone, cannot be listed, or cannot
    // be written or searched: EDataDirectory.
    void getcurrentdirectory();

    std::string usersFilePath() const; // DIR/users.cfg
    std::string mailFilePath() const;  // DIR/mail.cfg
    // NAME's folder, key, message and temporary file.
    CorrespondentPaths correspondent(const std::string& name) const;
};

// For the data directory open at `folder`: false when it belongs to another user than the caller or root; otherwise
// true, and one an older version left open to others has become its owner's alone.
bool claimDataDirectory(int folder);

} // namespace qb
