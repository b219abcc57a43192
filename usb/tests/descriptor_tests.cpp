#include "device_match.h"

#include <gtest/gtest.h>

#include <vector>

namespace ferrule {
namespace {

std::vector<std::uint8_t> descriptor(std::uint16_t vid, std::uint16_t pid)
{
    std::vector<std::uint8_t> d(18, 0);
    d[0] = 18;
    d[1] = 1;
    d[8] = vid & 0xFF;
    d[9] = vid >> 8;
    d[10] = pid & 0xFF;
    d[11] = pid >> 8;
    return d;
}

TEST(DeviceDescriptor, MatchesOnlyTheInstrumentIdsAtTheirOffsets)
{
    auto good = descriptor(0xF4EC, 0xEE38);
    EXPECT_TRUE(isInstrumentDescriptor(good.data(), good.size()));
    EXPECT_EQ(good[8], 0xEC);  // little-endian on the wire

    auto otherVendor = descriptor(0xF4ED, 0xEE38);
    auto otherProduct = descriptor(0xF4EC, 0xEE39);
    auto swapped = descriptor(0xEE38, 0xF4EC);
    EXPECT_FALSE(isInstrumentDescriptor(otherVendor.data(), otherVendor.size()));
    EXPECT_FALSE(isInstrumentDescriptor(otherProduct.data(), otherProduct.size()));
    EXPECT_FALSE(isInstrumentDescriptor(swapped.data(), swapped.size()));

    auto bigEndian = good;
    std::swap(bigEndian[8], bigEndian[9]);
    EXPECT_FALSE(isInstrumentDescriptor(bigEndian.data(), bigEndian.size()));
}

TEST(DeviceDescriptor, WantsExactlyEighteenBytes)
{
    auto good = descriptor(0xF4EC, 0xEE38);
    EXPECT_FALSE(isInstrumentDescriptor(good.data(), 17));
    auto longer = good;
    longer.push_back(0);
    EXPECT_FALSE(isInstrumentDescriptor(longer.data(), longer.size()));
    EXPECT_FALSE(isInstrumentDescriptor(nullptr, 18));
}

struct Candidate {
    std::optional<std::vector<std::uint8_t>> descriptor;
    bool opens = true;
};

std::optional<std::size_t> search(const std::vector<Candidate> &all, std::vector<std::size_t> *opened)
{
    CandidateProbe probe{[&](std::size_t i) { return all[i].descriptor; },
                         [&](std::size_t i) {
                             opened->push_back(i);
                             return all[i].opens;
                         }};
    return findFirstInstrument(all.size(), probe);
}

TEST(InstrumentSearch, SkipsOtherIdsAndGoesOn)
{
    std::vector<Candidate> all{{descriptor(0x1234, 0xEE38)},
                               {descriptor(0xF4EC, 0x0001)},
                               {descriptor(0xF4EC, 0xEE38)},
                               {descriptor(0xF4EC, 0xEE38)}};
    std::vector<std::size_t> opened;
    EXPECT_EQ(search(all, &opened), std::optional<std::size_t>(2));
    // Devices that do not match are never opened; the first match ends the search.
    EXPECT_EQ(opened, std::vector<std::size_t>{2});
}

TEST(InstrumentSearch, PassesOverUnreadableAndUnopenableCandidates)
{
    std::vector<Candidate> all{{std::nullopt},
                               {descriptor(0xF4EC, 0xEE38), false},
                               {std::vector<std::uint8_t>(17, 0)},
                               {descriptor(0xF4EC, 0xEE38), true}};
    std::vector<std::size_t> opened;
    EXPECT_EQ(search(all, &opened), std::optional<std::size_t>(3));
    EXPECT_EQ(opened, (std::vector<std::size_t>{1, 3}));
}

TEST(InstrumentSearch, NothingWhenNoCandidateMatches)
{
    std::vector<std::size_t> opened;
    EXPECT_EQ(search({}, &opened), std::nullopt);
    EXPECT_EQ(search({{descriptor(0xF4EC, 0xEE37)}, {descriptor(0, 0)}}, &opened), std::nullopt);
    EXPECT_TRUE(opened.empty());
}

}  // namespace
}  // namespace ferrule
