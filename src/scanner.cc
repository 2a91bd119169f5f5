#include "scanner.h"

#include "text_reader.h"

#include <bit>
#include <cstdint>
#include <cstring>

// On x86-64 line ends are found 64 bytes at a time with vector compares:
// SSE2 is always there, AVX2 is used where the processor has it.
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define RECLOOKUP_X86_VECTORS 1
#endif

namespace {

constexpr char FIELD_SEPARATOR = ',';

[[nodiscard]] constexpr bool ends_field(char c) {
    return c == FIELD_SEPARATOR || c == '\n' || c == '\r' || c == '\0';
}

[[nodiscard]] constexpr bool is_trimmed_away(char c) {
    return c == ' ' || c == '"';
}

// string_view::substr checks its position and could throw; these cannot.
[[nodiscard]] constexpr std::string_view prefix(std::string_view text, std::size_t size) {
    return {text.data(), size < text.size() ? size : text.size()};
}

[[nodiscard]] constexpr char fold(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

} // namespace

void read_field(std::string_view line, std::size_t& cursor, std::span<char> out) {
    std::size_t count = 0;
    while (cursor < line.size()) {
        const char c = line[cursor];
        if (c == '\n' || c == '\r' || c == '\0') {
            break; // the line's fields are over; the cursor stays here
        }
        ++cursor;
        if (c == FIELD_SEPARATOR) {
            break;
        }
        if (count + 1 < out.size()) {
            out[count++] = c;
        }
    }
    out[count] = '\0';
}

std::string_view trimmed(std::string_view text) {
    std::size_t begin = 0;
    while (begin < text.size() && is_trimmed_away(text[begin])) {
        ++begin;
    }
    std::size_t end = text.size();
    while (end > begin && is_trimmed_away(text[end - 1])) {
        --end;
    }
    return {text.data() + begin, end - begin};
}

void trim_field(char* text) {
    const std::string_view kept = trimmed(text);
    std::memmove(text, kept.data(), kept.size());
    text[kept.size()] = '\0';
}

bool key_matches(std::string_view field, std::string_view key) {
    if (field.size() != key.size()) {
        return false;
    }
    for (std::size_t i = 0; i < key.size(); ++i) {
        if (fold(field[i]) != fold(key[i])) {
            return false;
        }
    }
    return true;
}

bool first_field_matches(std::string_view line, std::string_view key) {
    const std::string_view head = prefix(line, FIELD_LIMIT);
    std::size_t end = 0;
    while (end < head.size() && !ends_field(head[end])) {
        ++end;
    }
    if (end == FIELD_LIMIT) {
        return false; // longer than a field may be: never a key
    }
    return key_matches(trimmed(prefix(head, end)), key);
}

namespace {

// The first bytes of the key, laid out to be compared with the first bytes of
// a line in one go. Most lines differ from the key right at their start, so
// this turns them away without looking for the end of their first field.
constexpr std::size_t HEAD_SIZE = sizeof(std::uint64_t);

struct KeyHead {
    std::uint64_t bytes; // the key's first bytes, letters in lower case
    std::uint64_t fold;  // 0x20 where the key has a letter: ORed into the line's byte
    std::uint64_t mask;  // 0xff over the bytes the key has
};

[[nodiscard]] KeyHead key_head(std::string_view key) {
    unsigned char bytes[HEAD_SIZE] = {};
    unsigned char fold_bits[HEAD_SIZE] = {};
    unsigned char mask[HEAD_SIZE] = {};
    for (std::size_t i = 0; i < HEAD_SIZE && i < key.size(); ++i) {
        const char lower = fold(key[i]);
        const bool letter = lower >= 'a' && lower <= 'z';
        bytes[i] = static_cast<unsigned char>(lower);
        fold_bits[i] = letter ? 0x20 : 0;
        mask[i] = 0xff;
    }
    KeyHead head{};
    std::memcpy(&head.bytes, bytes, HEAD_SIZE);
    std::memcpy(&head.fold, fold_bits, HEAD_SIZE);
    std::memcpy(&head.mask, mask, HEAD_SIZE);
    return head;
}

// False only when a line that starts at `line` cannot match: its first bytes
// differ from the key's and it does not start with a byte that trimming takes
// off. A byte ORed with 0x20 equals a lower-case letter only when it is that
// letter in either case; ' ' and '"' are the bytes that OR 2 makes '"'.
// HEAD_SIZE bytes must be readable at `line`, past the line's end if need be.
[[nodiscard]] inline bool head_could_match(const char* line, const KeyHead& head) {
    std::uint64_t word = 0;
    std::memcpy(&word, line, HEAD_SIZE);
    return (((word | head.fold) ^ head.bytes) & head.mask) == 0 || (line[0] | 2) == '"';
}

// The close look at a line that passed head_could_match. Kept out of line:
// few lines get here, and the scan loop keeps its registers.
[[gnu::noinline]] bool line_matches(const char* line, const char* stop, bool ended_by_lf,
                                    std::string_view key, std::string_view& record) {
    record = record_of(std::string_view(line, static_cast<std::size_t>(stop - line)), ended_by_lf);
    return first_field_matches(record, key);
}

constexpr std::ptrdiff_t CHUNK_SIZE = 64;

#if RECLOOKUP_X86_VECTORS
// One bit per byte of the CHUNK_SIZE bytes at `p`: set where the byte is an LF.
[[nodiscard]] inline std::uint64_t lf_bits_sse2(const char* p) {
    const __m128i lf = _mm_set1_epi8('\n');
    std::uint64_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * i));
        const auto hits = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf)));
        bits |= static_cast<std::uint64_t>(hits) << (16 * i);
    }
    return bits;
}

[[gnu::target("avx2")]] [[nodiscard]] inline std::uint64_t lf_bits_avx2(const char* p) {
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const auto low_hits =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, lf)));
    const auto high_hits =
        static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, lf)));
    return low_hits | static_cast<std::uint64_t>(high_hits) << 32;
}
#endif

// The scan itself, built once for each way of finding line ends. Every line
// is turned away or taken by its first bytes; only a line that could match
// is cut to its record and looked at field by field.
template <std::uint64_t (*LF_BITS)(const char*)>
[[gnu::always_inline]] inline bool scan_lines(std::string_view lines, std::string_view key,
                                              std::string_view& record) {
    const KeyHead head = key_head(key);
    const char* const end = lines.data() + lines.size();
    const char* line = lines.data(); // start of the line under test
    const char* scan = line;         // where the next LF is looked for
    if constexpr (LF_BITS != nullptr) {
        // Chunks that leave HEAD_SIZE bytes behind them: the head of any line
        // that ends in one can be read without a bounds check.
        for (; end - scan >= CHUNK_SIZE + static_cast<std::ptrdiff_t>(HEAD_SIZE);
             scan += CHUNK_SIZE) {
            for (std::uint64_t bits = LF_BITS(scan); bits != 0; bits &= bits - 1) {
                const char* lf = scan + std::countr_zero(bits);
                if (head_could_match(line, head)) [[unlikely]] {
                    if (line_matches(line, lf, true, key, record)) {
                        return true;
                    }
                }
                line = lf + 1;
            }
        }
    }
    // The rest, line by line; the last line of the file may have no LF.
    while (line < end) {
        const auto* lf =
            static_cast<const char*>(std::memchr(scan, '\n', static_cast<std::size_t>(end - scan)));
        const char* stop = lf != nullptr ? lf : end;
        const bool head_readable = end - line >= static_cast<std::ptrdiff_t>(HEAD_SIZE);
        if ((!head_readable || head_could_match(line, head)) &&
            line_matches(line, stop, lf != nullptr, key, record)) {
            return true;
        }
        if (lf == nullptr) {
            return false;
        }
        line = scan = lf + 1;
    }
    return false;
}

#if RECLOOKUP_X86_VECTORS
bool find_record_sse2(std::string_view lines, std::string_view key, std::string_view& record) {
    return scan_lines<lf_bits_sse2>(lines, key, record);
}

[[gnu::target("avx2")]] bool find_record_avx2(std::string_view lines, std::string_view key,
                                              std::string_view& record) {
    return scan_lines<lf_bits_avx2>(lines, key, record);
}
#endif

} // namespace

bool line_end_search_available(LineEndSearch search) {
    switch (search) {
    case LineEndSearch::BYTES:
        return true;
#if RECLOOKUP_X86_VECTORS
    case LineEndSearch::SSE2:
        return true;
    case LineEndSearch::AVX2:
        return __builtin_cpu_supports("avx2");
#endif
    default:
        return false;
    }
}

bool find_record_with(LineEndSearch search, std::string_view lines, std::string_view key,
                      std::string_view& record) {
    // Instructions the processor lacks would kill the process: never tried.
    switch (line_end_search_available(search) ? search : LineEndSearch::BYTES) {
#if RECLOOKUP_X86_VECTORS
    case LineEndSearch::AVX2:
        return find_record_avx2(lines, key, record);
    case LineEndSearch::SSE2:
        return find_record_sse2(lines, key, record);
#endif
    default:
        return scan_lines<nullptr>(lines, key, record);
    }
}

bool find_record(std::string_view lines, std::string_view key, std::string_view& record) {
#if RECLOOKUP_X86_VECTORS
    if (__builtin_cpu_supports("avx2")) {
        return find_record_avx2(lines, key, record);
    }
    return find_record_sse2(lines, key, record);
#else
    return scan_lines<nullptr>(lines, key, record);
#endif
}

bool find_record_in(TextReader& reader, std::string_view key, std::string_view& record) {
    std::string_view lines;
    while (next_lines(reader, lines)) {
        if (find_record(lines, key, record)) {
            return true;
        }
    }
    return false;
}
