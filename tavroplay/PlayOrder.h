// PlayOrder: which of the files on the command line plays next. In the
// order given, or shuffled (--shuffle: a new order each round); after the
// last file it ends, or with --repeat starts a new round. `p` goes back one
// file; a file that cannot be played is passed over in the direction the
// listener was moving, so that `p` onto a bad file goes on back past it. A
// round in which no file played ends the repeat (no endless round of faults).
//
//   PlayOrder order(count, shuffle, repeat);
//   while (auto index = order.current()) { play(*index); order.forward(true); }
#pragma once

#include <cstddef>
#include <optional>
#include <random>
#include <vector>

namespace tavroplay {

class PlayOrder {
public:
    PlayOrder(std::size_t count, bool shuffle, bool repeat, unsigned seed = std::random_device()());

    // The file to play now; nothing when the playing is over.
    std::optional<std::size_t> current() const;
    // On to the next file; played tells whether the one just left played.
    void forward(bool played);
    // Back one file (the first stays the first).
    void back();
    // The current file could not be played: on in the direction of travel.
    void passOver();

private:
    void newRound();

    std::vector<std::size_t> order_;
    bool shuffle_;
    bool repeat_;
    std::mt19937 random_;
    std::size_t at_ = 0;
    bool backwards_ = false;
    bool playedThisRound_ = false;
    bool over_ = false;
};

} // namespace tavroplay
