// File checksums, compared with the system's sha256sum on the same files.
#include "cli/station/file_sha256.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "test_env.h"
#include "test_patterns.h"

namespace zelvar::cli {
namespace {

// The first word sha256sum prints for path; empty when it could not be run.
std::string SystemSha256(const std::string& path) {
    const std::string command = "sha256sum '" + path + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return {};
    char digest[65] = {};
    const bool read = std::fscanf(pipe, "%64s", digest) == 1;
    pclose(pipe);
    return read ? digest : "";
}

TEST(FileSha256, AgreesWithSha256sumAcrossPaddingAndChunkBoundaries) {
    test::TempDir dir;
    // 55 and 56 bytes: the last ones whose length fits in the first block or not; 64:
    // a whole block; around kSha256ChunkBytes and a file of several megabytes: reads that
    // end inside a block.
    const std::size_t sizes[] = {0,
                                 1,
                                 55,
                                 56,
                                 63,
                                 64,
                                 65,
                                 119,
                                 120,
                                 kSha256ChunkBytes - 1,
                                 kSha256ChunkBytes,
                                 kSha256ChunkBytes + 1,
                                 3 * 1024 * 1024 + 17};
    for (std::size_t size : sizes) {
        std::string name = std::to_string(size);
        name += ".bin";
        const std::string path = dir.File(name);
        ASSERT_TRUE(test::WriteBytes(path, test::Pattern(static_cast<uint32_t>(size), size)));
        const std::string expected = SystemSha256(path);
        ASSERT_EQ(expected.size(), 64u) << "sha256sum did not run on " << path;
        std::string error;
        EXPECT_EQ(FileSha256(path, error), expected) << size << " bytes";
        EXPECT_EQ(error, "");
    }
}

TEST(FileSha256, PiecesOfAnySizeGiveTheDigestOfTheWhole) {
    const std::vector<uint8_t> bytes = test::Pattern(7, 1000);
    Sha256 whole;
    whole.Update(bytes.data(), bytes.size());
    const auto expected = whole.Finish();
    for (std::size_t piece : {1u, 3u, 63u, 64u, 65u, 999u}) {
        Sha256 hash;
        for (std::size_t at = 0; at < bytes.size(); at += piece) {
            hash.Update(bytes.data() + at, std::min(piece, bytes.size() - at));
        }
        EXPECT_EQ(hash.Finish(), expected) << piece;
    }
}

TEST(FileSha256, UnreadableFilesGiveNoDigestAndTheReason) {
    test::TempDir dir;
    std::string error;
    EXPECT_EQ(FileSha256(dir.File("missing.bin"), error), "");
    EXPECT_EQ(error, dir.File("missing.bin") + ": No such file or directory");
    error.clear();
    EXPECT_EQ(FileSha256(dir.Path(), error), "");  // a directory opens but cannot be read
    EXPECT_EQ(error, dir.Path() + ": Is a directory");
}

}  // namespace
}  // namespace zelvar::cli
