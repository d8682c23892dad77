// The caller's address split into the host part and the path part at its first "/".
#include <gtest/gtest.h>

#include <string>

#include "address.h"

namespace kelpa::web {
namespace {

struct SplitCase {
    const char* name;
    std::string address;
    std::string host;
    std::string path;
};

void PrintTo(const SplitCase& row, std::ostream* out) { *out << row.name; }

class SplitAddressCases : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitAddressCases, SplitsAtTheFirstSlash) {
    const SplitCase& c = GetParam();
    AddressParts parts;
    ASSERT_TRUE(SplitAddress(c.address, parts));
    EXPECT_EQ(std::string(parts.host), c.host);
    EXPECT_EQ(std::string(parts.path), c.path);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, SplitAddressCases,
    ::testing::Values(SplitCase{"HostAndPath", "shop.test/a/b.txt", "shop.test", "/a/b.txt"},
                      SplitCase{"NoSlashIsAllHost", "shop.test", "shop.test", ""},
                      SplitCase{"SlashFirstHasNoHost", "/a/b", "", "/a/b"},
                      SplitCase{"TrailingSlash", "shop.test/", "shop.test", "/"},
                      SplitCase{"Empty", "", "", ""},
                      SplitCase{"LongestParts", std::string(259, 'h') + "/" + std::string(258, 'p'),
                                std::string(259, 'h'), "/" + std::string(258, 'p')}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SplitAddress, APartOverTwoHundredFiftyNineCharactersIsRefused) {
    AddressParts parts;
    EXPECT_FALSE(SplitAddress(std::string(260, 'h'), parts));
    EXPECT_FALSE(SplitAddress(std::string(260, 'h') + "/p", parts));
    EXPECT_FALSE(SplitAddress("h/" + std::string(259, 'p'), parts));
}

}  // namespace
}  // namespace kelpa::web
