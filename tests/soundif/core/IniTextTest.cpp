// The INI reader and editor on text: private-profile reading rules, section
// listing, and edits that keep every other byte.
#include "soundif/core/IniText.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(IniText, NamesMatchWithoutCaseAndValuesAreTrimmed) {
    const IniText ini("; comment\n# also a comment\n[Tavro]\n  delaytime =  250 \n"
                      "Key=first\nKEY=second\n[other]\nkey=third\n");
    EXPECT_EQ(ini.value("tavro", "DelayTime"), "250");
    EXPECT_EQ(ini.value("TAVRO", "key"), "first") << "the first occurrence wins";
    EXPECT_EQ(ini.value("other", "Key"), "third");
    EXPECT_EQ(ini.value("tavro", "missing"), std::nullopt);
    EXPECT_EQ(ini.value("missing", "key"), std::nullopt);
}

TEST(IniText, CommentsAndKeysOutsideTheSectionAreNotRead) {
    const IniText ini("orphan=1\n[s]\n;Speed=1\n#Speed=2\nBare\n[t]\nSpeed=3\n");
    EXPECT_EQ(ini.value("s", "Speed"), std::nullopt);
    EXPECT_EQ(ini.value("s", "orphan"), std::nullopt);
    EXPECT_EQ(ini.value("s", "bare"), "") << "a key without '=' is present with no value";
}

TEST(IniText, SectionsComeInFileOrderOnceEach) {
    const IniText ini("[b]\r\n[ a ]\r\nx=1\r\n[B]\r\ny=2\r\n[c\r\n[ ]\r\n[d]]\r\n");
    EXPECT_EQ(ini.sections(), (std::vector<std::string>{"b", "a", "d]"}))
        << "a nameless section is skipped, the names after it are kept";
    EXPECT_EQ(ini.value("b", "y"), "2") << "a repeated section continues the first";
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
        {"0x10", 0},
        {"4294967297", 1},
        {"2147483648", INT_MIN},
        {"-1", -1},
        {"99999999999999999999", 1661992959},
    };
    for (auto [text, expected] : cases)
        EXPECT_EQ(parseProfileInt(text), expected) << text;
}

TEST(IniText, SettingReplacesAValueInPlaceAndKeepsEverythingElse) {
    IniText ini("; head\r\n[ftd2xx(COM3)]\r\nSpeed = 9600 \r\n; keep\r\nBufferSize=64\r\n");
    ini.set("FTD2XX(com3)", "speed", "115200");
    EXPECT_EQ(ini.text(),
              "; head\r\n[ftd2xx(COM3)]\r\nSpeed = 115200\r\n; keep\r\nBufferSize=64\r\n");
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
    EXPECT_EQ(ini.sections(), std::vector<std::string>{std::string("\0x", 2)});
    ini.set("s", "k", "1");
    EXPECT_EQ(ini.value("s", "k"), "1");
    EXPECT_EQ(ini.text().substr(0, garbage.size()), garbage);
}

} // namespace
