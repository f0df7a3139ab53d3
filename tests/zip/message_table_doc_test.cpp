// docs/messages.md lists the texts of the zip component's messages for users; these tests keep
// that table and the program's own texts the same, in both directions.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

#include "zip/zip_messages.h"

namespace {

std::string Trimmed(std::string text) {
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// "| id | text |" rows of the table, the text as the program holds it.
std::map<int, std::string> DocumentedTexts() {
    std::ifstream in(std::string(KITFORGE_SOURCE_DIR) + "/docs/messages.md");
    std::map<int, std::string> texts;
    std::string line;
    while (std::getline(in, line)) {
        if (line.size() < 10 || line[0] != '|' || line[2] < '0' || line[2] > '9') continue;
        const auto second_bar = line.find(" | ", 2);
        if (second_bar == std::string::npos || line.back() != '|') continue;
        std::string text = line.substr(second_bar + 3, line.size() - 1 - (second_bar + 3));
        std::string unescaped;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text.compare(i, 2, "\\|") == 0) {
                unescaped += '|';
                ++i;
            } else if (text.compare(i, 4, "\u21b5 ") == 0) {  // the line-break mark
                unescaped += "\r\n";
                i += 3;
            } else {
                unescaped += text[i];
            }
        }
        texts[std::stoi(line.substr(2, second_bar - 2))] = Trimmed(unescaped);
    }
    return texts;
}

TEST(MessageTableDocument, ListsEveryBoundTextExactlyAndNothingElse) {
    const auto documented = DocumentedTexts();
    ASSERT_GT(documented.size(), 40u) << "docs/messages.md was not found or its table was not read";
    int bound = 0;
    for (int id = 10000; id < 12000; ++id) {
        const auto text = kitforge::BoundMessageText(id);
        const auto row = documented.find(id);
        if (!text) {
            EXPECT_EQ(row, documented.end()) << "docs/messages.md lists " << id << ", which has no text";
            continue;
        }
        ++bound;
        ASSERT_NE(row, documented.end()) << "docs/messages.md lacks " << id;
        EXPECT_EQ(row->second, Trimmed(std::string(*text))) << "id " << id;
    }
    EXPECT_EQ(static_cast<std::size_t>(bound), documented.size());
}

}  // namespace
