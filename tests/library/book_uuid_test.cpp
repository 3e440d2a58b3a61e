#include "library/book_uuid.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

namespace novel {
namespace {

// The DNS namespace of RFC 4122, appendix C.
constexpr UuidBytes kDnsNamespace = {0x6b, 0xa7, 0xb8, 0x10, 0x9d, 0xad, 0x11, 0xd1,
                                     0x80, 0xb4, 0x00, 0xc0, 0x4f, 0xd4, 0x30, 0xc8};

TEST(UuidV5, MatchesPublishedNameBasedUuids) {
    EXPECT_EQ(uuid_v5(kDnsNamespace, "python.org"), "886313e1-3b8a-5372-9b90-0c9aee199e5d");
    EXPECT_EQ(uuid_v5(kDnsNamespace, "www.example.com"), "2ed6657d-e927-568b-95e1-2665a8aea6a2");
}

TEST(UuidV5, LongNamesCrossSha1Blocks) {
    // 55, 56 and 64 bytes of message with the 16-byte namespace: the padding's edge cases.
    EXPECT_EQ(uuid_v5(kDnsNamespace, std::string(39, 'a')), "5824f981-4282-59d4-9716-acb6d741350e");
    EXPECT_EQ(uuid_v5(kDnsNamespace, std::string(40, 'a')), "39f39c20-db47-5131-8879-62f8f67f9014");
    EXPECT_EQ(uuid_v5(kDnsNamespace, std::string(48, 'a')), "7280cc42-274a-5c4a-91fc-ae23f853eeb7");
}

TEST(BookUuid, StableVersionFiveAndDistinctPerBook) {
    const std::regex shape("[0-9a-f]{8}-[0-9a-f]{4}-5[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}");
    EXPECT_TRUE(std::regex_match(book_uuid("1_1234"), shape)) << book_uuid("1_1234");
    EXPECT_EQ(book_uuid("1_1234"), book_uuid("1_1234"));
    EXPECT_NE(book_uuid("1_1234"), book_uuid("1_1235"));
    EXPECT_NE(book_uuid("123"), uuid_v5(kDnsNamespace, "123"));
}

}  // namespace
}  // namespace novel
