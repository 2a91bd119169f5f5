#include "scanner.h"

#include "text_model.h"
#include "text_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <vector>

namespace {

// Reads `count` fields of `line` in turn, each as read_field leaves it.
std::vector<std::string> fields_of(std::string_view line, int count,
                                   std::size_t capacity = FIELD_LIMIT) {
    std::vector<std::string> fields;
    std::array<char, TEXT_BUF_SIZE> out{};
    std::size_t cursor = 0;
    for (int i = 0; i < count; ++i) {
        read_field(line, cursor, std::span(out.data(), capacity));
        fields.emplace_back(out.data());
    }
    return fields;
}

using Fields = std::vector<std::string>;

struct FieldCase {
    std::string line;
    Fields expected;
};

TEST(ReadField, SplitsAtCommasAndStopsAtLineEnds) {
    const FieldCase cases[] = {
        {"1234, Smith ,London", {"1234", " Smith ", "London", ""}},
        {"\"Smith, John\"", {"\"Smith", " John\"", ""}},
        {"a,b,\n", {"a", "b", "", ""}},
        {",a", {"", "a", ""}},
        {"\n", {"", "", ""}},
        {"", {"", ""}},
        {"a,b\rc,d", {"a", "b", "", ""}},                 // a CR ends the line's fields
        {std::string("a,b\0c,d", 7), {"a", "b", "", ""}}, // so does a NUL
        {"x,,y", {"x", "", "y"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fields_of(c.line, static_cast<int>(c.expected.size())), c.expected)
            << "line: " << c.line;
    }
}

TEST(ReadField, CutsALongFieldButPassesOverAllOfIt) {
    const std::string line = std::string(300, 'x') + ",next";
    const Fields fields = fields_of(line, 2);
    EXPECT_EQ(fields[0], std::string(FIELD_LIMIT - 1, 'x'));
    EXPECT_EQ(fields[1], "next");
    // A capacity of one keeps nothing but still moves on.
    EXPECT_EQ(fields_of("abc,de", 2, 1), (Fields{"", ""}));
}

TEST(ReadField, CursorStaysOnTheLineEnd) {
    const std::string_view line = "a\r,b";
    std::array<char, TEXT_BUF_SIZE> out{};
    std::size_t cursor = 0;
    read_field(line, cursor, std::span(out.data(), FIELD_LIMIT));
    EXPECT_EQ(cursor, 1U);
    read_field(line, cursor, std::span(out.data(), FIELD_LIMIT));
    EXPECT_EQ(cursor, 1U);
    EXPECT_STREQ(out.data(), "");
}

TEST(TrimField, StripsSpacesAndQuotesFromBothEndsOnly) {
    const std::pair<std::string, std::string> cases[] = {
        {" Smith ", "Smith"}, {"\"42\" ", "42"}, {"\" \"a \"b\" \"", "a \"b"},
        {"\t a\t", "\t a\t"}, // tabs are kept
        {"\" \" \"", ""},     {"", ""},          {"a", "a"},
    };
    for (const auto& [text, expected] : cases) {
        std::array<char, TEXT_BUF_SIZE> buf{};
        text.copy(buf.data(), text.size());
        trim_field(buf.data());
        EXPECT_STREQ(buf.data(), expected.c_str()) << "text: [" << text << "]";
        EXPECT_EQ(trimmed(text), expected);
    }
}

TEST(KeyMatches, FoldsAsciiLettersOnly) {
    EXPECT_TRUE(key_matches("ABC", "abc"));
    EXPECT_TRUE(key_matches("a[z", "A[Z"));
    EXPECT_FALSE(key_matches("a{", "A[")); // '[' and '{' are 0x20 apart, yet not letters
    EXPECT_FALSE(key_matches("@", "`"));
    EXPECT_FALSE(key_matches("\xc3\x89", "\xc3\xa9")); // É and é differ
    EXPECT_FALSE(key_matches("abc", "ab"));
    EXPECT_FALSE(key_matches("ab", "abc"));
    EXPECT_TRUE(key_matches("", ""));
}

struct MatchCase {
    std::string line;
    std::string key; // already trimmed, as the driver passes it
    bool matches;
};

TEST(FirstFieldMatches, TrimsTheFieldAndComparesItWhole) {
    const std::string field255 = std::string(254, 'k') + "x";
    const MatchCase cases[] = {
        {"1234, Smith ,London", "1234", true},
        {" \"42\" ,x", "42", true},
        {"ABC,1", "abc", true},
        {"abcd,1", "abc", false},
        {"ab,1", "abc", false},
        {"a b ,1", "a b", true},
        {"\"a\"b\",1", "a\"b", true},
        {",rest", "", true},
        {"", "", true},
        {" \" ,rest", "", true},
        {"x,rest", "", false},
        {"k\r,rest", "k", true},
        {"k\rz", "k", true},
        {std::string("k\0z", 3), "k", true},
        {"k,z", "k,z", false}, // a comma in the key can never be inside a field
        {field255 + ",v", field255, true},
        {" " + field255 + ",v", field255, false}, // 256 bytes before trimming
        {field255 + " ,v", field255, false},
        {std::string(300, 'k') + ",v", std::string(255, 'k'), false}, // no prefix match
        {std::string(300, 'k'), std::string(300, 'k'), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(first_field_matches(c.line, c.key), c.matches)
            << "line: [" << c.line.substr(0, 40) << "] key: [" << c.key.substr(0, 40) << "]";
    }
}

// find_record against the obvious way: cut the run into lines, take each
// one's record, test its first field. Random runs of bytes that matter to the
// scan, over every way of finding line ends, so that a line end in any spot
// of a vector chunk, and lines too short for the head compare, are covered.
std::string reference_find(std::string_view lines, std::string_view key) {
    const std::vector<std::string> records = run_records(lines);
    const std::string* match = first_match(records, key);
    return match != nullptr ? *match : "(none)";
}

std::string found_by(LineEndSearch search, std::string_view lines, std::string_view key) {
    std::string_view record;
    return find_record_with(search, lines, key, record) ? std::string(record) : "(none)";
}

TEST(FindRecord, EveryLineEndSearchAgreesWithTheObviousWay) {
    const std::string alphabet = "kKeyY0 \",\r[{";
    const std::string keys[] = {"", "k", "K", "ke", "key", "k[", "keyy0key", "KEYY0KEYK", "y k"};
    const unsigned lf_per_mille[] = {300, 100, 15};
    std::mt19937 random(20261211);
    for (int round = 0; round < 3000; ++round) {
        std::string lines(random() % 400, ' ');
        const unsigned lf_odds = lf_per_mille[round % 3];
        for (char& c : lines) {
            c = random() % 1000 < lf_odds ? '\n' : alphabet[random() % alphabet.size()];
        }
        for (const std::string& key : keys) {
            const std::string expected = reference_find(lines, key);
            for (const LineEndSearch search :
                 {LineEndSearch::BYTES, LineEndSearch::SSE2, LineEndSearch::AVX2}) {
                if (line_end_search_available(search)) {
                    ASSERT_EQ(found_by(search, lines, key), expected)
                        << "search " << static_cast<int>(search) << " key [" << key << "] lines "
                        << testing::PrintToString(lines);
                }
            }
        }
    }
}

TEST(FindRecord, TakesTheFirstMatchAndItsRecord) {
    const std::string filler(100, 'f');
    const std::string lines = filler + "\nkey,1\r\n" + filler + "\n \"KEY\" ,2\n";
    std::string_view record;
    ASSERT_TRUE(find_record(lines, "key", record));
    EXPECT_EQ(record, "key,1");
    ASSERT_TRUE(find_record(lines.substr(110), "key", record));
    EXPECT_EQ(record, " \"KEY\" ,2");
    EXPECT_FALSE(find_record(lines, "ke", record));
    EXPECT_FALSE(find_record("", "", record));
}

} // namespace
