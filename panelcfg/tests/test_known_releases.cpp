// The known-release table as the build writes it from a release history (release_history.txt
// beside this file) and this build's own files, and the lookup every tool makes in it: an older
// release's module is told by its name and sum together, a file of another name or sum is none.
#include <gtest/gtest.h>

#include <string>

#include "known_releases.h"
#include "release_sums.h"

using panelcfg::release_of;
using panelcfg::ReleasedFile;

namespace {

const std::string BOOMCUE_0_9_0 = "1b4f0e9851971998e732078544c96b36c3d01cedf7caa332359d6f1d83567014";
const std::string DRAG_DRONE_0_9_0 = "60303ae22b998861bce3b28f33eec1be758a213c86c93c076dbe9f558c11c752";
const std::string BOOMCUE_0_9_5 = "fd61a03af4f77d870fc21e05e7e80678095c92d38490b11b5ed1c0b5b5ddb27b";

TEST(KnownReleases, EachHistoryRowByItsNameInAnyCaseAndItsSum)
{
    struct Row {
        const char *file;
        std::string sum;
        const char *version;  // null: no release shipped it
    } rows[] = {
        {"VQT7_Boomcue.gau", BOOMCUE_0_9_0, "0.9.0"},
        {"vqt7_boomcue.GAU", BOOMCUE_0_9_5, "0.9.5"},
        {"VQT7_Drag_Drone.gau", DRAG_DRONE_0_9_0, "0.9.0"},
        {"VQT7_Drag_Drone.gau", BOOMCUE_0_9_0, nullptr},  // another module's sum
        {"VQT7_Boomcue.gau.bak", BOOMCUE_0_9_0, nullptr},
        {"VQT7_Boomcue.gau", BOOMCUE_0_9_0.substr(0, 63) + "5", nullptr},
        {"VQT7_Boomcue.gau", "", nullptr},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.file) + " " + row.sum);
        const ReleasedFile *found = release_of(gaugecheck::KNOWN_MODULES, row.file, row.sum);
        if (!row.version) {
            EXPECT_EQ(found, nullptr);
            continue;
        }
        ASSERT_NE(found, nullptr);
        EXPECT_STREQ(found->version, row.version);
    }
}

TEST(KnownReleases, ThisBuildsFilesAreTheCurrentReleasesRowsAfterTheHistory)
{
    EXPECT_STREQ(gaugecheck::CURRENT_RELEASE, "2.0.0");
    ASSERT_EQ(std::size(gaugecheck::KNOWN_MODULES), 5u);
    const ReleasedFile &boomcue = gaugecheck::KNOWN_MODULES[3], &drag_drone = gaugecheck::KNOWN_MODULES[4];
    EXPECT_STREQ(boomcue.version, "2.0.0");
    EXPECT_STREQ(boomcue.file, "VQT7_Boomcue.gau");
    EXPECT_STREQ(drag_drone.file, "VQT7_Drag_Drone.gau");
    for (const ReleasedFile *row : {&boomcue, &drag_drone}) {
        EXPECT_EQ(std::string(row->sha256).find_first_not_of("0123456789abcdef"), std::string::npos) << row->sha256;
        EXPECT_EQ(std::string(row->sha256).size(), 64u);
        EXPECT_EQ(release_of(gaugecheck::KNOWN_MODULES, row->file, row->sha256), row);
    }
    ASSERT_EQ(std::size(gaugecheck::KNOWN_SOUNDS), 1u);
    EXPECT_STREQ(gaugecheck::KNOWN_SOUNDS[0].version, "2.0.0");
    EXPECT_STREQ(gaugecheck::KNOWN_SOUNDS[0].file, "Supersonic.wav");
}

}  // namespace
