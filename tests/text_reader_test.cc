#include "text_reader.h"

#include "text_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Records = std::vector<std::string>;

class TextReaderTest : public ::testing::Test {
  protected:
    void TearDown() override { std::filesystem::remove(path_); }

    // Every record the reader hands out for `content`, read in blocks of
    // `block_size` bytes.
    Records read_all(const std::string& content, std::size_t block_size = READ_BLOCK_SIZE) {
        {
            std::ofstream out(path_, std::ios::binary | std::ios::trunc);
            out << content;
        }
        RecordFile file = open_record_file(path_.c_str());
        EXPECT_TRUE(is_open(file));
        std::vector<char> storage(LINE_BUF_SIZE + block_size);
        TextReader reader = text_reader_start(file, storage);
        Records records;
        std::string_view lines;
        while (next_lines(reader, lines)) {
            EXPECT_FALSE(lines.empty());
            // Every run holds whole lines: only the file's last may lack an LF.
            const Records run = run_records(lines);
            records.insert(records.end(), run.begin(), run.end());
        }
        close_record_file(file);
        return records;
    }

    std::string path_ =
        (std::filesystem::temp_directory_path() /
         ("reclookup_reader_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
          "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name()))
            .string();
};

TEST_F(TextReaderTest, AppliesTextModeRules) {
    const std::pair<std::string, Records> cases[] = {
        {"", {}},
        {"a\nb\n", {"a", "b"}},
        {"a\nb", {"a", "b"}},
        {"\n\n", {"", ""}},
        {"a\r\nb\r\n", {"a", "b"}},
        {"a\rb\n", {"a\rb"}},       // a lone CR stays
        {"a\r\r\nb", {"a\r", "b"}}, // only the CR next to the LF goes
        {"a\r", {"a\r"}},
        {"a\nb\x1a"
         "c\nd\n",
         {"a", "b"}}, // Ctrl-Z ends the file
        {"\x1a"
         "a\n",
         {}},
        {"a\r\x1a\n", {"a\r"}},
        {std::string("a\0b\n", 4), {std::string("a\0b", 3)}},
    };
    for (const auto& [content, records] : cases) {
        EXPECT_EQ(read_all(content), records) << "content: " << testing::PrintToString(content);
    }
}

TEST_F(TextReaderTest, ARecordIsTheFirst511BytesOfItsLine) {
    const std::string x511(511, 'x');
    EXPECT_EQ(read_all(x511 + "\nnext\n"), (Records{x511, "next"}));
    EXPECT_EQ(read_all(x511 + "\r\nnext\n"), (Records{x511, "next"}));
    EXPECT_EQ(read_all(x511 + "y\nnext\n"), (Records{x511, "next"}));
    EXPECT_EQ(read_all(x511 + "\r\r\nnext"), (Records{x511, "next"}));
    EXPECT_EQ(read_all(std::string(599, 'z') + "\nnext\n"),
              (Records{std::string(511, 'z'), "next"}));
    EXPECT_EQ(read_all(std::string(5'000'000, 'z')), (Records{std::string(511, 'z')}));
}

// Every way a block boundary can fall: inside a CR LF, next to a Ctrl-Z, in
// the middle of a long line or of the bytes kept of it.
TEST_F(TextReaderTest, BlockBoundariesChangeNothing) {
    const std::string x510(510, 'x');
    const std::string contents[] = {
        "key,1\r\nkey2,2\r\n\r\nlast\r",
        "a\r\rb\r\n\x1a"
        "c\n",
        "short\n" + x510 + "\r\n" + x510 + "y\r\n" + x510 + "yz\r\n" + std::string(1100, 'w') +
            "\n" + x510 + "\r\r\n" + "tail",
        std::string(1300, 'q') + "\r\n" + std::string(511, 'p') + "\x1a" + "after\n",
    };
    for (const std::string& content : contents) {
        const Records expected = model_records(content);
        for (std::size_t block = 1; block <= 40; ++block) {
            ASSERT_EQ(read_all(content, block), expected) << "block size " << block;
        }
        for (std::size_t block : {509U, 510U, 511U, 512U, 513U, 1023U, 4096U}) {
            ASSERT_EQ(read_all(content, block), expected) << "block size " << block;
        }
    }
}

// Where the reads of a large file end: the first reads are small, and each
// one after twice the one before, up to the block size.
std::vector<std::size_t> read_boundaries(std::size_t file_size) {
    std::vector<std::size_t> boundaries;
    std::size_t at = 0;
    for (std::size_t size = FIRST_READ_SIZE; at + size < file_size;
         size = std::min(2 * size, READ_BLOCK_SIZE)) {
        at += size;
        boundaries.push_back(at);
    }
    return boundaries;
}

TEST_F(TextReaderTest, RealReadsSplitCrLfAndCtrlZ) {
    // A CR LF across every boundary of the reads of a 1 MB file...
    std::string content;
    for (const std::size_t boundary : read_boundaries(1'000'000)) {
        content += std::string(boundary - 1 - content.size() - 1, 'a') + "\n";
        content += "\r\n";
    }
    EXPECT_EQ(read_all(content), model_records(content));
    // ...and a Ctrl-Z that opens a read.
    const std::size_t boundary = read_boundaries(1'000'000).back();
    std::string stopped = content.substr(0, boundary) + "\x1a"
                                                        "after\n";
    EXPECT_EQ(read_all(stopped), model_records(stopped));
    EXPECT_NE(read_all(stopped).back(), "after");
}

} // namespace
