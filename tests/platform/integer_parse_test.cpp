#include "platform/integer_parse.h"

#include <gtest/gtest.h>

namespace kitforge {
namespace {

TEST(ParsePlatformInteger, AcceptsDecimalSignsBlanksAndHexPrefixes) {
    struct Row {
        const char* text;
        std::int32_t value;
    };
    const Row rows[] = {{"0", 0},
                        {"12", 12},
                        {"  7", 7},
                        {"+5", 5},
                        {"-3", -3},
                        {"$1F", 31},
                        {"x10", 16},
                        {"X10", 16},
                        {"0x10", 16},
                        {"0XfF", 255},
                        {"2147483647", 2147483647},
                        {"-2147483648", -2147483647 - 1},
                        {"$7FFFFFFF", 2147483647},
                        {"007", 7}};
    for (const auto& row : rows) {
        EXPECT_EQ(ParsePlatformInteger(row.text), std::optional<std::int32_t>(row.value)) << row.text;
    }
}

TEST(ParsePlatformInteger, RefusesEverythingElse) {
    for (const char* text : {"", " ", "1 ", "1a", "a", "$", "0x", "-$1", "+x1", "2147483648", "-2147483649",
                             "$80000000", "1.0", "\t1", "- 1", "$-1"}) {
        EXPECT_FALSE(ParsePlatformInteger(text).has_value()) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace kitforge
