// The backward search for the end record, which the zip component, the zip library and the
// self-extracting stub all run over the tail of an archive.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/end_record_search.h"

namespace kitforge::formats {
namespace {

// An end record with this comment length, as stored.
std::string EndRecordBytes(std::uint16_t comment_length) {
    EndRecord record = EndRecord::Empty();
    PutU16LE<end_record::kCommentSize>(record.bytes, comment_length);
    return std::string(record.bytes.begin(), record.bytes.end());
}

std::span<const std::uint8_t> AsBytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Every place the search offers, in the order it offers them, when nothing is accepted.
std::vector<std::size_t> Offered(const std::string& tail) {
    std::vector<std::size_t> places;
    const auto found = SearchEndRecord(AsBytes(tail), [&](std::size_t at) {
        places.push_back(at);
        return false;
    });
    EXPECT_FALSE(found.has_value());
    return places;
}

TEST(EndRecordSearch, OffersTheSignaturesNearestTheEndFirst) {
    struct Row {
        const char* label;
        std::string tail;
        std::vector<std::size_t> offered;
    };
    const std::string record = EndRecordBytes(0);
    const std::string signature = record.substr(0, 4);
    const Row rows[] = {
        {"a record alone", record, {0}},
        {"behind other bytes", "stub" + record, {4}},
        {"a comment that holds a signature", EndRecordBytes(30) + std::string(4, 'c') + record + "cccc", {26, 0}},
        {"a signature too near the end for a whole record", record + signature + std::string(17, 'x'), {0}},
        {"shorter than a record", record.substr(0, 21), {}},
        {"no signature", std::string(100, 'P'), {}},
    };
    for (const Row& row : rows) EXPECT_EQ(Offered(row.tail), row.offered) << row.label;
}

TEST(EndRecordSearch, TheFirstAcceptedPlaceWinsAndItsCommentIsChecked) {
    // The real record announces a 26-byte comment that holds a record of its own, whose
    // comment would run past the end.
    const std::string inner = EndRecordBytes(200);
    const std::string tail = "data" + EndRecordBytes(26) + inner + "cccc";
    const auto bytes = AsBytes(tail);
    EXPECT_EQ(SearchEndRecord(bytes, [&](std::size_t at) { return CommentFitsTail(bytes, at); }), 4u);
    EXPECT_EQ(SearchEndRecord(bytes, [](std::size_t) { return true; }), 26u);
    EXPECT_EQ(EndRecordFrom(bytes, 4).CommentSize(), 26);
    EXPECT_EQ(EndSearchLength(10), 10u);
    EXPECT_EQ(EndSearchLength(1u << 20), 65535u + 22u);
}

}  // namespace
}  // namespace kitforge::formats
