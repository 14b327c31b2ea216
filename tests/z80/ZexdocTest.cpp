// Runs the documented-behaviour instruction exerciser to its end through
// callSubroutine and checks that every one of its 67 groups reports OK. Long
// (billions of instructions): a Release-only test.
#include "CpmMachine.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>

namespace {

int countLines(const std::string& text, const std::string& ending) {
    std::istringstream lines(text);
    int count = 0;
    for (std::string line; std::getline(lines, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
            line.pop_back();
        if (line.size() >= ending.size() && line.ends_with(ending)) ++count;
    }
    return count;
}

TEST(Zexdoc, AllGroupsPass) {
    const auto path = zexdocPath();
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "needs ../shared/testdata/zexdoc.com";
    auto machine = std::make_unique<CpmMachine>();
    ASSERT_TRUE(machine->load(path));
    machine->run();
    std::cout << machine->console << std::endl;
    EXPECT_EQ(countLines(machine->console, "OK"), 67);
    EXPECT_EQ(machine->console.find("ERROR"), std::string::npos);
    EXPECT_NE(machine->console.find("Tests complete"), std::string::npos);
}

} // namespace
