// The copy job: filled by the wizard's pages, read by the copy and camera steps.
#pragma once

#include "wizard/search/FoundPicture.h"
#include "wizard/transfer/KnownCopies.h"

#include <cstdint>
#include <memory>
#include <string>

struct CTransferProperties {
    std::string location;      // destination folder below the library share ("MyPhotos\Holiday")
    std::string groupName;     // the name the user gave the group of pictures
    std::string serverAddress; // the chosen server's address text ("a.b.c.d")
    std::string serverName;    // its name as the wizard remembers it
    bool deleteAfterCopy = false;
    bool copyVideos = true;             // videos go with the pictures
    const FoundSet* pictures = nullptr; // folder mode: the found pictures, not owned
    uint8_t library = 0;                // 0: family library, any other value: personal library
    // The user's web folder ("https://..."), when the copies go there through the relay instead
    // of to a library; it stands in for the library share.
    std::string webFolderLink;
    int32_t number = 0; // the last number used in a copy's name
    uint32_t total = 0; // pictures of the run
    bool cameraMode = false;
    std::string cameraDeviceId; // camera mode: the camera's port
    // The record of copies, and in folder mode the pictures already on the server (a camera run
    // finds them itself); none: every picture is copied and nothing recorded.
    std::shared_ptr<const RecordPlan> recordPlan;

    // Kept for the other pages of the wizard.
    std::string userName;
    std::string sourceDisplayName;
    std::string driveText;
    bool cannotDelete = false;
};
