// The JSON stream against the JSON library's own layout of the same document.

#include "cli/json_stream.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>
#include <sstream>

namespace kitforge::cli {
namespace {

std::string LibraryText(const std::string& text) {
    return nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

TEST(JsonStream, EscapesStringsAsTheJsonLibraryDoes) {
    std::vector<std::string> texts = {
        "",
        "plain",
        "quote\" backslash\\ slash/",
        std::string("nul\0one", 7),
        "\b\f\n\r\t\x1b[31m\x1f\x7f",
        "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xC2\x9B",
        "\xE9t\xE9",         // code page 1252, not UTF-8
        "\xC0\xAF",          // overlong "/"
        "\xED\xA0\x80",      // surrogate
        "\xF4\x90\x80\x80",  // past U+10FFFF
        "cut \xE2\x82",      // a sequence cut short
        "\xFF\xFE a \x80",
    };
    std::mt19937 random(15);
    for (int i = 0; i < 2000; ++i) {
        std::string text(random() % 12, '\0');
        for (char& c : text) c = static_cast<char>(random() % 4 == 0 ? 0x80 + random() % 0x80 : random() % 0x80);
        texts.push_back(text);
    }
    for (const std::string& text : texts) {
        std::string ours;
        AppendJsonString(ours, text);
        EXPECT_EQ(ours, LibraryText(text)) << ::testing::PrintToString(text);
    }
}

TEST(JsonStream, LaysOutNestedContainersAsTheJsonLibraryDoes) {
    std::ostringstream out;
    {
        JsonStream json(out);
        json.BeginObject();
        json.Key("a");
        json.Number(std::uint32_t{4000000000u});
        json.Key("empty list");
        json.BeginArray();
        json.EndArray();
        json.Key("list");
        json.BeginArray();
        json.BeginObject();
        json.EndObject();
        json.BeginObject();
        json.Key("b");
        json.Bool(false);
        json.Key("c");
        json.Number(std::int64_t{-5});
        json.EndObject();
        json.String("s\n");
        json.BeginArray();
        json.Number(std::uint8_t{255});
        json.EndArray();
        json.EndArray();
        json.Key("t");
        json.Bool(true);
        json.EndObject();
        json.Finish();
    }
    const auto tree = nlohmann::ordered_json::parse(out.str());
    EXPECT_EQ(out.str(), tree.dump(2) + "\n");
    EXPECT_EQ(tree["a"], 4000000000u);
    EXPECT_EQ(tree["list"][3][0], 255);
}

}  // namespace
}  // namespace kitforge::cli
