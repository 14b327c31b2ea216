// The INI reader and editor on text: what the shared file tests cannot see
// (values as text, the integer reader on its own) and edits that keep every
// other byte. The reading rules themselves are checked on files in
// IniFileTest.cpp, against the platform's reader on Windows.
#include "soundif/core/IniText.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(IniText, NamesMatchWithoutCaseAndValuesAreTrimmedAndUnquoted) {
    const IniText ini("; comment\n# also a comment\n[Tavro]\n  delaytime =  250 \n"
                      "Key=first\nKEY=second\nq=\" two words \"\nh='x\"\n[other]\nkey=third\n");
    EXPECT_EQ(ini.value("tavro", "DelayTime"), "250");
    EXPECT_EQ(ini.value("tavro", "q"), " two words ");
    EXPECT_EQ(ini.value("tavro", "h"), "'x\"") << "quotes that do not match stay";
    EXPECT_EQ(ini.value("TAVRO", "key"), "first") << "the first occurrence wins";
    EXPECT_EQ(ini.value("other", "Key"), "third");
    EXPECT_EQ(ini.value("tavro", "missing"), std::nullopt);
    EXPECT_EQ(ini.value("missing", "key"), std::nullopt);
}

TEST(IniText, CommentsAndKeysOutsideTheSectionAreNotRead) {
    const IniText ini("orphan=1\n[s]\n;Speed=1\n#Speed=2\nBare\n[t]\nSpeed=3\n");
    EXPECT_EQ(ini.value("s", "Speed"), std::nullopt);
    EXPECT_EQ(ini.value("s", "orphan"), std::nullopt);
    EXPECT_EQ(ini.value("s", "bare"), std::nullopt) << "a key without '=' has no value";
}

TEST(IniText, SectionsComeInFileOrderRepeatsIncluded) {
    const IniText ini("[b]\r\n[ a ]\r\nx=1\r\n[B]\r\ny=2\r\n[c\r\n[ ]\r\n[d]]\r\n");
    EXPECT_EQ(ini.sections(), (std::vector<std::string>{"b", "a", "B", "d]"}))
        << "a nameless section is skipped, the names after it are kept";
    EXPECT_EQ(ini.value("b", "y"), std::nullopt) << "a repeated section is not read";
    EXPECT_TRUE(IniText("").sections().empty());
}

TEST(IniText, AUtf8SignatureDoesNotHideTheFirstSection) {
    const std::string text = "\xEF\xBB\xBF[tavro]\r\nDelayTime=5\r\n";
    IniText ini(text);
    EXPECT_EQ(ini.sections(), std::vector<std::string>{"tavro"});
    EXPECT_EQ(ini.value("tavro", "DelayTime"), "5");
    EXPECT_EQ(ini.text(), text);
    ini.set("tavro", "DelayTime", "7");
    EXPECT_EQ(ini.text(), "\xEF\xBB\xBF[tavro]\r\nDelayTime=7\r\n");
}

TEST(IniText, IntegersReadLikeTheProfileReader) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"42", 42},
        {"  42", 42},
        {"\t7", 7},
        {"-7", -7},
        {"+5", 5},
        {"12abc", 12},
        {"1)", 1},
        {"abc", 0},
        {"", 0},
        {"- 5", 0},
        {"\x01\x1f 3", 3},
        {"0x10", 16},
        {"0xfz", 15},
        {"0X10", 0},
        {"-0o7", -7},
        {"0b1012", 5},
        {"07", 7},
        {"4294967297", 1},
        {"2147483648", INT_MIN},
        {"-1", -1},
        {"99999999999999999999", 1661992959},
        {"12345678901234567890123456789", 1849262357},
        {"123456789012345678901234567890", 1849262357},
    };
    for (auto [text, expected] : cases)
        EXPECT_EQ(parseProfileInt(text), expected) << text;
    EXPECT_EQ(parseProfileInt(std::string_view("4\0"
                                               "2",
                                               3)),
              4);
    EXPECT_EQ(parseProfileInt(std::string(28, ' ') + "7"), 7);
    EXPECT_EQ(parseProfileInt(std::string(29, ' ') + "7"), 0) << "only 29 characters are read";
}

TEST(IniText, PlainDecimalIntegersKnowNoPrefixOrLengthLimitAndSaturate) {
    const std::pair<std::string, std::int32_t> cases[] = {
        {"5)", 5},
        {" \t\r\n+12x", 12},
        {"-7", -7},
        {"0x5", 0},
        {"0b1", 0},
        {"", 0},
        {"- 3", 0},
        {"2147483647", INT32_MAX},
        {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-99999999999", INT32_MIN},
        {std::string(40, '0') + "9", 9},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(parseDecimalInt(text), expected) << text;
}

TEST(IniText, IntegerValuesFallBackOnlyWhenAbsentOrEmpty) {
    const IniText ini("[a]\nempty=\nquoted=\"\"\nbare\nspace=\" \"\nword=x\n");
    EXPECT_EQ(ini.intValue("a", "empty", 9), 9);
    EXPECT_EQ(ini.intValue("a", "quoted", 9), 9);
    EXPECT_EQ(ini.intValue("a", "bare", 9), 9);
    EXPECT_EQ(ini.intValue("a", "missing", 9), 9);
    EXPECT_EQ(ini.intValue("a", "space", 9), 0);
    EXPECT_EQ(ini.intValue("a", "word", 9), 0);
}

TEST(IniText, SettingReplacesAValueInPlaceAndKeepsEverythingElse) {
    IniText ini("; head\r\n[ftd2xx(COM3)]\r\nSpeed = 9600 \r\n; keep\r\nBufferSize=64\r\n");
    ini.set("FTD2XX(com3)", "speed", "115200");
    EXPECT_EQ(ini.text(),
              "; head\r\n[ftd2xx(COM3)]\r\nSpeed = 115200\r\n; keep\r\nBufferSize=64\r\n");
    IniText lone("[a]\rk=1\r[b]\rk=2\r[A]\rk=3\r");
    lone.set(" a ", "K", "9");
    lone.set("a", "j", "8");
    EXPECT_EQ(lone.text(), "[a]\rk=9\rj=8\r[b]\rk=2\r[A]\rk=3\r")
        << "lone CR endings kept; the first of a repeated section edited";
}

TEST(IniText, AMissingKeyGoesAfterTheLastKeyLineOfItsSection) {
    IniText ini("[a]\nx=1\n; note\n\n[b]\ny=2\n");
    ini.set("a", "z", "3");
    EXPECT_EQ(ini.text(), "[a]\nx=1\nz=3\n; note\n\n[b]\ny=2\n");
    IniText emptySection("[a]\n; only a comment\n[b]\n");
    emptySection.set("a", "k", "v");
    EXPECT_EQ(emptySection.text(), "[a]\nk=v\n; only a comment\n[b]\n");
    IniText bareKey("[a]\nSpeed\n");
    bareKey.set("a", "speed", "1");
    EXPECT_EQ(bareKey.text(), "[a]\nSpeed=1\n");
}

TEST(IniText, AMissingSectionGoesAtTheEndInTheFilesLineEndings) {
    IniText crlf("[tavro]\r\nDelayTime=100\r\n");
    crlf.set("ftd2xx(COM4)", "Speed", "9600");
    EXPECT_EQ(crlf.text(), "[tavro]\r\nDelayTime=100\r\n[ftd2xx(COM4)]\r\nSpeed=9600\r\n");
    IniText empty("");
    empty.set("s", "k", "v");
    EXPECT_EQ(empty.text(), "[s]\nk=v\n");
}

TEST(IniText, AMissingFinalNewlineStaysMissing) {
    IniText inSection("[a]\nx=1");
    inSection.set("a", "y", "2");
    EXPECT_EQ(inSection.text(), "[a]\nx=1\ny=2");
    IniText atEnd("[a]\r\nx=1");
    atEnd.set("b", "y", "2");
    EXPECT_EQ(atEnd.text(), "[a]\r\nx=1\r\n[b]\r\ny=2");
}

TEST(IniText, GarbageAndBinaryTextNeitherCrashesNorLosesBytes) {
    std::string garbage("\0\xff[\n]=\r\r\n[\0x]\n=\n==\n[", 20);
    garbage += std::string(100000, 'k') + "=" + std::string(100000, '9') + "\n";
    IniText ini(garbage);
    EXPECT_EQ(ini.text(), garbage);
    EXPECT_TRUE(ini.sections().empty()) << "\"[\\0x]\" is nameless";
    ini.set("s", "k", "1");
    EXPECT_EQ(ini.value("s", "k"), "1");
    EXPECT_EQ(ini.text().substr(0, garbage.size()), garbage);
}

} // namespace
