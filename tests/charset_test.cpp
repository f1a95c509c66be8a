// Windows-1252 and UTF-8 as the program converts them, against the C library's iconv.
#include <iconv.h>

#include <string>

#include <gtest/gtest.h>

#include "charset.hpp"

namespace {

// Converts in from one encoding to another with iconv; returns false when iconv refuses.
bool convert(const char* to, const char* from, const std::string& in, std::string& out) {
    const iconv_t converter = iconv_open(to, from);
    EXPECT_NE(converter, reinterpret_cast<iconv_t>(-1));
    std::string input = in;
    char buffer[16];
    char* in_at = input.data();
    char* out_at = buffer;
    std::size_t in_left = input.size();
    std::size_t out_left = sizeof buffer;
    const bool done = iconv(converter, &in_at, &in_left, &out_at, &out_left) != static_cast<std::size_t>(-1);
    iconv_close(converter);
    out.assign(buffer, sizeof buffer - out_left);
    return done;
}

char32_t utf32(const std::string& bytes) {
    char32_t c = 0;
    for (int i = 3; i >= 0; --i) {
        c = (c << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return c;
}

TEST(Windows1252, EveryByteIsItsLetterAndBack) {
    for (int byte = 0; byte < 256; ++byte) {
        SCOPED_TRACE(byte);
        const char32_t c = quadrivo::from_windows_1252(static_cast<unsigned char>(byte));
        std::string wide;
        if (convert("UTF-32LE", "WINDOWS-1252", std::string(1, static_cast<char>(byte)), wide)) {
            EXPECT_EQ(c, utf32(wide));
        } else {
            EXPECT_EQ(c, static_cast<char32_t>(byte));  // unassigned: the control character of that number
        }
        EXPECT_EQ(quadrivo::to_windows_1252(c), byte);
    }
}

TEST(Windows1252, LettersItLacks) {
    for (const char32_t c : {U'\u0141', U'\u017A', U'\u0100', U'\u2015', U'\U0001F600'}) {
        EXPECT_EQ(quadrivo::to_windows_1252(c), -1) << static_cast<unsigned>(c);
    }
}

TEST(Utf8, EncodedAsIconvDoesAndDecodedBack) {
    for (const char32_t c : {0x0u, 0x41u, 0x7Fu, 0x80u, 0xE8u, 0x7FFu, 0x800u, 0x20ACu, 0xD7FFu, 0xE000u, 0xFFFDu,
                             0xFFFFu, 0x10000u, 0x1F600u, 0x10FFFFu}) {
        SCOPED_TRACE(static_cast<unsigned>(c));
        char ours[quadrivo::UTF8_MAX];
        const int length = quadrivo::to_utf8(c, ours);
        std::string theirs;
        const std::string wide{static_cast<char>(c), static_cast<char>(c >> 8), static_cast<char>(c >> 16), '\0'};
        ASSERT_TRUE(convert("UTF-8", "UTF-32LE", wide, theirs));
        EXPECT_EQ(std::string(ours, static_cast<std::size_t>(length)), theirs);
        const auto* bytes = reinterpret_cast<const unsigned char*>(ours);
        EXPECT_EQ(quadrivo::utf8_length(bytes[0]), length);
        for (int i = 1; i < length; ++i) {
            EXPECT_TRUE(quadrivo::utf8_follows(bytes, i)) << i;
        }
        char32_t back = 0;
        EXPECT_EQ(quadrivo::decode_char(bytes, length, back), length);
        EXPECT_EQ(back, c);
    }
}

// UTF-16 units to characters: a unit, the next (-1 for none), the character, whether the next was taken.
struct Units {
    int unit;
    int next;
    char32_t c;
    bool took;
};

TEST(Utf16, SurrogatesJoinedOnlyInPairsCrLfOneLineEnd) {
    const Units cases[] = {
        {0x41, 0xDC00, 0x41, false},   {0xD83D, 0xDE00, 0x1F600, true}, {0xDBFF, 0xDFFF, 0x10FFFF, true},
        {0xD800, 0x41, 0xFFFD, false}, {0xD800, -1, 0xFFFD, false},     {0xDE00, 0xD83D, 0xFFFD, false},
        {'\r', '\n', '\n', true},      {'\r', 0xDC00, '\r', false},     {'\n', '\r', '\n', false},
    };
    for (const Units& u : cases) {
        bool took = !u.took;
        EXPECT_EQ(quadrivo::join_units(u.unit, u.next, took), u.c) << u.unit;
        EXPECT_EQ(took, u.took) << u.unit;
    }
}

TEST(Message, CutAtItsHole) {
    char head[quadrivo::MESSAGE];
    EXPECT_STREQ(quadrivo::split_at_hole("a %s b %s", head), " b %s");
    EXPECT_STREQ(head, "a ");
    EXPECT_EQ(quadrivo::split_at_hole("100%", head), nullptr);
    EXPECT_STREQ(head, "100%");
}

// Whether bytes are UTF-8 throughout, as iconv judges them.
TEST(Utf8, WellFormedThroughoutAsIconvJudges) {
    for (const std::string& bytes :
         {std::string(), std::string("Lup"), std::string("S\xC3\xBC"), std::string("\xF0\x9F\x90\xBA"),
          std::string("S\xC3"), std::string("S\xFC"), std::string("\xC0\x80"), std::string("\xED\xA0\x80"),
          std::string("\xF4\x90\x80\x80"), std::string("\xE0\x80\x80"),
          // each edge of the second byte's range, on both sides
          std::string("\xC2\x80"), std::string("\xC1\xBF"), std::string("\xE0\xA0\x80"), std::string("\xE0\x9F\xBF"),
          std::string("\xED\x9F\xBF"), std::string("\xEE\x80\x80"), std::string("\xF0\x90\x80\x80"),
          std::string("\xF0\x8F\xBF\xBF"), std::string("\xF4\x8F\xBF\xBF"), std::string("\xF5\x80\x80\x80"),
          std::string("\xE1\x80"), std::string("\xC3\xC3"), std::string("\xE1\x80\xC0")}) {
        SCOPED_TRACE(bytes);
        std::string out;
        const bool theirs = convert("UTF-32LE", "UTF-8", bytes, out);
        EXPECT_EQ(quadrivo::is_utf8(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()), theirs);
    }
}

}  // namespace

TEST(Message, WidenedWithinItsRoom) {
    struct Widening {
        const char* text;
        int used;  // characters already in the line of 4
        std::size_t count;
        std::u32string line;
    };
    const Widening cases[] = {
        {"a\x80\xE8", 0, SIZE_MAX, U"a\u20AC\u00E8"},  // the euro and an accented letter
        {"abcdef", 1, SIZE_MAX, U"xabc"},  // no more than the room
        {"abcdef", 0, 2, U"ab"},  // no more than count
        {"", 2, SIZE_MAX, U"xx"},
    };
    for (const Widening& w : cases) {
        char32_t line[4] = {U'x', U'x', U'x', U'x'};
        const int length = quadrivo::widen(w.text, line, w.used, 4, w.count);
        EXPECT_EQ(std::u32string(line, static_cast<std::size_t>(length)), w.line) << w.text;
    }
}
