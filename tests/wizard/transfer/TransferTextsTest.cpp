// The messages of share access come from the wizard's texts, in the user's language.
#include "wizard/transfer/TransferTexts.h"
#include "common/resources/ResourceManager.h"
#include "resources/BuiltinBundles.h"
#include "wizard/transfer/Authenticator.h"

#include "PortableTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

namespace {

TEST(TransferTexts, FailuresNameTheShareAndTheReasonFromTheWizardsTexts) {
    SetTestEnvironment("VELMORA_PROGRAM_DIR",
                       std::string("/nonexistent-velmora-program")); // no settings.ini
    ASSERT_NE(CreateResourceManager(ProgramKind::Wizard, WizardBuiltinBundle()), nullptr);
    EXPECT_EQ(ShareFailureText("\\\\10.0.0.5\\MyLibrary", {ShareStatus::ConnectionRefused, 0}),
              "The share \\\\10.0.0.5\\MyLibrary cannot be used: the server cannot be reached.");
    EXPECT_EQ(ShareReasonText({ShareStatus::DiskFull, ENOSPC}), "the server's disk is full");
    EXPECT_EQ(ShareReasonText({ShareStatus::Failed, 71}), "error 71");
    // A server stuck on SMB1 is named as such, not as a lost connection.
    const std::string oldProtocol = ShareReasonText({ShareStatus::OldProtocolOnly, ECONNABORTED});
    EXPECT_NE(oldProtocol.find("only offers the old SMB1 protocol"), std::string::npos);
    EXPECT_NE(oldProtocol.find("allow SMB2 or later"), std::string::npos);
    DestroyResourceManager();

    // Without texts the built-in English words still say what happened.
    EXPECT_EQ(ShareReasonText({ShareStatus::DiskFull, ENOSPC}), "the server's disk is full");
    EXPECT_NE(ShareFailureText("\\\\h\\s", {ShareStatus::NotFound, ENOENT}).find("\\\\h\\s"),
              std::string::npos);
}

} // namespace
