// Terminal key sequences: plain keys pass, arrows are named, and every other
// escape sequence is read whole and gives nothing, wherever its bytes are cut.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/KeySequence.h"

namespace {

std::vector<int> keysOf(const std::string& bytes) {
    KeySequence sequence;
    std::vector<int> keys;
    for (char byte : bytes)
        if (const int key = sequence.feed(static_cast<std::uint8_t>(byte));
            key != KeySequence::none)
            keys.push_back(key);
    return keys;
}

TEST(KeySequence, NamesArrowsAndSwallowsEveryOtherSequence) {
    EXPECT_EQ(keysOf(" npq"), (std::vector<int>{' ', 'n', 'p', 'q'}));
    EXPECT_EQ(keysOf("\x1B[D\x1B[C\x1BOA\x1BOB"),
              (std::vector<int>{KeySequence::arrowLeft, KeySequence::arrowRight,
                                KeySequence::arrowUp, KeySequence::arrowDown}));
    // F1 and F2 (ESC O P, ESC O Q) are not p and q; nor are F5 (ESC [ 15 ~),
    // Delete, Ctrl+Right (ESC [ 1 ; 5 C), Alt+q (ESC q) or F1 on the console.
    EXPECT_EQ(keysOf("\x1BOP\x1BOQ\x1B[15~\x1B[3~\x1B[1;5C\x1Bq\x1B[[A"), std::vector<int>{});
    // Keys after a sequence are keys again.
    EXPECT_EQ(keysOf("\x1BOPn"), (std::vector<int>{'n'}));
}

TEST(KeySequence, KeepsASequenceCutBetweenReadsAndForgetsALoneEscape) {
    KeySequence sequence;
    EXPECT_EQ(sequence.feed(0x1B), KeySequence::none);
    EXPECT_TRUE(sequence.pending());
    EXPECT_EQ(sequence.feed('O'), KeySequence::none);
    EXPECT_TRUE(sequence.pending());
    EXPECT_EQ(sequence.feed('Q'), KeySequence::none); // F2, not q
    EXPECT_FALSE(sequence.pending());
    EXPECT_EQ(sequence.feed(0x1B), KeySequence::none);
    sequence.reset();
    EXPECT_EQ(sequence.feed('q'), 'q');
}

} // namespace
