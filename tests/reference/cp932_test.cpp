#include "reference/cp932.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tarvelo {
namespace {

using namespace std::string_view_literals;

TEST(Utf8Validation, AcceptsWellFormedText) {
    EXPECT_TRUE(isValidUtf8(""));
    EXPECT_TRUE(isValidUtf8("plain ASCII, with \0 NUL"sv));
    EXPECT_TRUE(isValidUtf8("é ピアノ ① 髙 😀"));
    EXPECT_TRUE(isValidUtf8("\xF4\x8F\xBF\xBF"));  // U+10FFFF
}

TEST(Utf8Validation, RejectsMalformedText) {
    EXPECT_FALSE(isValidUtf8("\x80"));              // stray continuation byte
    EXPECT_FALSE(isValidUtf8("\xE3\x81"));          // truncated sequence
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));          // overlong '/'
    EXPECT_FALSE(isValidUtf8("\xE0\x80\xAF"));      // overlong three-byte form
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));      // UTF-16 surrogate
    EXPECT_FALSE(isValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(isValidUtf8("\xFF"));
    EXPECT_FALSE(isValidUtf8("\x89\xb9\x90\x46"));  // 音色 in code page 932
}

TEST(Cp932Conversion, DecodesJapaneseTextWithVendorExtensions) {
    // ピアノ, ① (NEC special character), 髙 (IBM extension), half-width ｱ, ASCII.
    const auto utf8 = cp932ToUtf8("\x83\x73\x83\x41\x83\x6d\x87\x40\xfb\xfc\xb1 A\\~");
    ASSERT_TRUE(utf8.has_value());
    EXPECT_EQ(*utf8, "ピアノ①髙ｱ A\\~");
}

TEST(Cp932Conversion, EncodesJapaneseTextWithVendorExtensions) {
    const auto cp932 = utf8ToCp932("ピアノ①髙ｱ A");
    ASSERT_TRUE(cp932.has_value());
    EXPECT_EQ(*cp932, "\x83\x73\x83\x41\x83\x6d\x87\x40\xfb\xfc\xb1 A");
}

TEST(Cp932Conversion, RoundTripsJapaneseText) {
    const std::string text = "音色リスト：①～⑳、髙橋、﨑、ｶﾀｶﾅ、全角ＡＢＣ、表示";
    const auto cp932 = utf8ToCp932(text);
    ASSERT_TRUE(cp932.has_value());
    EXPECT_FALSE(isValidUtf8(*cp932));
    const auto back = cp932ToUtf8(*cp932);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(*back, text);
}

TEST(Cp932Conversion, LongTextGrowsTheOutputAsNeeded) {
    std::string text;
    for (int i = 0; i < 5000; ++i) {
        text += "ｱ音";
    }
    const auto cp932 = utf8ToCp932(text);
    ASSERT_TRUE(cp932.has_value());
    EXPECT_EQ(cp932->size(), 15000u);
    EXPECT_EQ(cp932ToUtf8(*cp932), text);
}

TEST(Cp932Conversion, EmptyTextAndNulBytesConvert) {
    EXPECT_EQ(cp932ToUtf8(""), std::string());
    EXPECT_EQ(utf8ToCp932(""), std::string());
    EXPECT_EQ(cp932ToUtf8("a\0b"sv), std::string("a\0b"sv));
}

TEST(Cp932Conversion, CharactersOutsideCp932CannotBeEncoded) {
    EXPECT_EQ(utf8ToCp932("😀"), std::nullopt);
    EXPECT_EQ(utf8ToCp932("ピアノ😀"), std::nullopt);
    EXPECT_EQ(utf8ToCp932("한국어"), std::nullopt);
    // Characters the converter would only approximate: the yen sign (as 5Ch, a backslash), the
    // em dash (as the horizontal bar ―) and the minus sign (as the full-width hyphen －).
    EXPECT_EQ(utf8ToCp932("Bass—Lo ¥100 −5"), std::nullopt);
    EXPECT_EQ(utf8ToCp932("¥"), std::nullopt);
}

TEST(Cp932Conversion, MalformedInputIsRejected) {
    EXPECT_EQ(utf8ToCp932("\xE3\x81"), std::nullopt);
    EXPECT_EQ(utf8ToCp932("\xED\xA0\x80"), std::nullopt);
    EXPECT_EQ(cp932ToUtf8("\x83"), std::nullopt);       // lead byte without trail byte
    EXPECT_EQ(cp932ToUtf8("A\x83\x20"), std::nullopt);  // trail byte out of range
    EXPECT_EQ(cp932ToUtf8("\xFF"), std::nullopt);
}

TEST(Cp932LossyConversion, ReplacesUndecodableBytesAndGoesOn) {
    EXPECT_EQ(cp932ToUtf8Lossy("\x83\x73\xFF\x83\x41"), "ピ\uFFFDア");
    EXPECT_EQ(cp932ToUtf8Lossy("ab\x83"), "ab\uFFFD");
    EXPECT_EQ(cp932ToUtf8Lossy("\x83 x"), "\uFFFD x");
}

TEST(Utf8Sanitizing, KeepsValidTextAndReplacesBrokenBytes) {
    EXPECT_EQ(sanitizeUtf8("ピアノ"), "ピアノ");
    EXPECT_EQ(sanitizeUtf8("a\x80z"), "a\uFFFDz");
    EXPECT_EQ(sanitizeUtf8("x\xE3\x81"), "x\uFFFD\uFFFD");
    EXPECT_TRUE(isValidUtf8(sanitizeUtf8("\xC0\xAF\xED\xA0\x80\xF4\x90")));
}

TEST(Utf8Truncation, CutsOnlyAtCharacterBoundaries) {
    std::string text = "aピアノ";  // 1 + 3 * 3 bytes
    truncateUtf8(text, 10);
    EXPECT_EQ(text, "aピアノ");
    truncateUtf8(text, 9);
    EXPECT_EQ(text, "aピア");
    truncateUtf8(text, 5);
    EXPECT_EQ(text, "aピ");
    truncateUtf8(text, 3);
    EXPECT_EQ(text, "a");

    std::string emoji = "😀😀";
    truncateUtf8(emoji, 7);
    EXPECT_EQ(emoji, "😀");
    truncateUtf8(emoji, 0);
    EXPECT_EQ(emoji, "");
}

}  // namespace
}  // namespace tarvelo
