#include "commands.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

using namespace vantorctl;

namespace {

class SettingsFile : public ::testing::Test {
protected:
    std::string dir;
    void SetUp() override
    {
        char pattern[] = "/tmp/vantorctl-files-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        for (const char *name : {"/ok.ssf", "/short.ssf", "/long.ssf", "/empty.ssf"})
            std::remove((dir + name).c_str());
        ::rmdir(dir.c_str());
    }
    std::string write(const char *name, size_t size)
    {
        std::string path = dir + name;
        std::ofstream out(path, std::ios::binary);
        for (size_t i = 0; i < size; ++i)
            out.put(char(i * 7));
        return path;
    }
};

}  // namespace

TEST_F(SettingsFile, ExactlyTwoThousandFiveHundredBytesAreRead)
{
    unsigned char block[2500] = {};
    std::string error;
    ASSERT_TRUE(readSettingsFile(write("/ok.ssf", 2500), block, error)) << error;
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(block[1], 7);
    EXPECT_EQ(block[2499], (unsigned char)(2499 * 7));
}

TEST_F(SettingsFile, AnyOtherSizeIsRefusedWithItsSize)
{
    unsigned char block[2500];
    std::memset(block, 0xAB, sizeof block);
    std::string error;
    EXPECT_FALSE(readSettingsFile(write("/short.ssf", 2499), block, error));
    EXPECT_NE(error.find("2499 bytes"), std::string::npos) << error;
    EXPECT_NE(error.find("exactly 2500"), std::string::npos) << error;
    EXPECT_FALSE(readSettingsFile(write("/long.ssf", 2501), block, error));
    EXPECT_NE(error.find("2501 bytes"), std::string::npos) << error;
    EXPECT_FALSE(readSettingsFile(write("/empty.ssf", 0), block, error));
    EXPECT_EQ(block[0], 0xAB);  // nothing was taken from a refused file
}

TEST_F(SettingsFile, MissingFileNamesThePath)
{
    unsigned char block[2500];
    std::string error;
    EXPECT_FALSE(readSettingsFile(dir + "/absent.ssf", block, error));
    EXPECT_NE(error.find("absent.ssf"), std::string::npos);
}
