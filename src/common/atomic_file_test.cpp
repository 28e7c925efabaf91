#include "common/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace nubo {
namespace {

namespace fs = std::filesystem;

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder_ = fs::temp_directory_path() / ("nubo-atomic-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path folder_;
};

// A written file reads back byte for byte, binary zeros included, and no temporary is left behind.
TEST_F(AtomicFileTest, WritesAllBytesAndLeavesNoTemporary)
{
    const std::string path = (folder_ / "out.bin").string();
    const std::string bytes("a\0b\r\n\xff", 6);
    ASSERT_TRUE(writeFileAtomically(path, bytes).ok());
    const StatusOr<std::string> back = readWholeFile(path);
    ASSERT_TRUE(back.ok()) << back.reason();
    EXPECT_EQ(*back, bytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 1);
}

// A failed write keeps the old file and reports a reason.
TEST_F(AtomicFileTest, FailureKeepsExistingFile)
{
    const std::string path = (folder_ / "keep.bin").string();
    ASSERT_TRUE(writeFileAtomically(path, "old").ok());
    const std::string missingFolder = (folder_ / "no-such-folder" / "x.bin").string();
    const Status missing = writeFileAtomically(missingFolder, "new");
    EXPECT_FALSE(missing.ok());
    EXPECT_NE(missing.reason().find("cannot create a temporary file beside"), std::string::npos) << missing.reason();
    // Renaming a file over a directory fails after the temporary was written: the directory stays.
    fs::create_directories(folder_ / "dir");
    const Status overDirectory = writeFileAtomically((folder_ / "dir").string(), "new");
    EXPECT_NE(overDirectory.reason().find("cannot replace"), std::string::npos) << overDirectory.reason();
    EXPECT_TRUE(fs::is_directory(folder_ / "dir"));
    const StatusOr<std::string> back = readWholeFile(path);
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(*back, "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(folder_), fs::directory_iterator()), 2);
}

// Reading a missing file fails with a reason.
TEST_F(AtomicFileTest, ReadingMissingFileFails)
{
    const StatusOr<std::string> bytes = readWholeFile((folder_ / "missing").string());
    EXPECT_FALSE(bytes.ok());
    EXPECT_NE(bytes.reason().find("cannot open"), std::string::npos) << bytes.reason();
    EXPECT_NE(bytes.reason().find("missing"), std::string::npos);
}

} // namespace
} // namespace nubo
