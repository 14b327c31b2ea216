// The order the files play in; see PlayOrder.h.
#include "tavroplay/PlayOrder.h"

#include <algorithm>
#include <numeric>

namespace tavroplay {

PlayOrder::PlayOrder(std::size_t count, bool shuffle, bool repeat, unsigned seed)
    : order_(count), shuffle_(shuffle), repeat_(repeat), random_(seed) {
    over_ = count == 0;
    newRound();
}

void PlayOrder::newRound() {
    std::iota(order_.begin(), order_.end(), std::size_t{0});
    if (shuffle_) std::shuffle(order_.begin(), order_.end(), random_);
    at_ = 0;
    playedThisRound_ = false;
}

std::optional<std::size_t> PlayOrder::current() const {
    if (over_) return std::nullopt;
    return order_[at_];
}

void PlayOrder::forward(bool played) {
    if (over_) return;
    backwards_ = false;
    playedThisRound_ = playedThisRound_ || played;
    if (++at_ < order_.size()) return;
    if (repeat_ && playedThisRound_)
        newRound();
    else
        over_ = true;
}

void PlayOrder::back() {
    if (over_) return;
    if (at_ == 0) {
        // Nothing before the first: it plays again.
        backwards_ = false;
        return;
    }
    --at_;
    backwards_ = true;
}

void PlayOrder::passOver() {
    if (backwards_ && at_ > 0)
        --at_;
    else
        forward(false);
}

} // namespace tavroplay
