// Test support: builds S98 files byte by byte: the header, the device list,
// dump commands, a loop point and a tag. build() appends the end command
// (unless told not to) and fills the offsets.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

class S98Builder {
public:
    explicit S98Builder(char version = '3') : header_(0x20, 0) {
        header_[0] = 'S';
        header_[1] = '9';
        header_[2] = '8';
        header_[3] = static_cast<std::uint8_t>(version);
    }
    S98Builder& set32(std::size_t offset, std::uint32_t value) {
        if (header_.size() < offset + 4) header_.resize(offset + 4, 0);
        for (int i = 0; i < 4; ++i)
            header_[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return *this;
    }
    S98Builder& timer(std::uint32_t numerator, std::uint32_t denominator) {
        set32(0x04, numerator);
        return set32(0x08, denominator);
    }
    S98Builder& device(std::uint32_t type, std::uint32_t clock) {
        const std::size_t at = 0x20 + 16 * devices_;
        set32(at, type);
        set32(at + 4, clock);
        set32(at + 12, 0);
        ++devices_;
        return set32(0x1C, devices_);
    }
    S98Builder& bytes(std::initializer_list<std::uint8_t> values) {
        data_.insert(data_.end(), values);
        return *this;
    }
    S98Builder& write(std::uint8_t device, std::uint8_t address, std::uint8_t data,
                      bool secondPort = false) {
        return bytes({static_cast<std::uint8_t>(2 * device + (secondPort ? 1 : 0)), address, data});
    }
    S98Builder& sync() { return bytes({0xFF}); }
    // FE with the base-128 count of syncs - 2.
    S98Builder& syncs(std::uint32_t count) {
        std::uint32_t value = count - 2;
        data_.push_back(0xFE);
        do {
            const auto low = static_cast<std::uint8_t>(value & 0x7F);
            value >>= 7;
            data_.push_back(static_cast<std::uint8_t>(low | (value != 0 ? 0x80 : 0)));
        } while (value != 0);
        return *this;
    }
    S98Builder& loopHere() {
        loop_ = data_.size();
        hasLoop_ = true;
        return *this;
    }
    S98Builder& tag(std::string text) {
        tag_ = std::move(text);
        return *this;
    }
    S98Builder& withoutEnd() {
        end_ = false;
        return *this;
    }

    std::vector<std::uint8_t> build() const {
        S98Builder copy = *this;
        std::vector<std::uint8_t>& file = copy.header_;
        const std::size_t dump = file.size();
        copy.set32(0x14, static_cast<std::uint32_t>(dump));
        if (hasLoop_) copy.set32(0x18, static_cast<std::uint32_t>(dump + loop_));
        file.insert(file.end(), data_.begin(), data_.end());
        if (end_) file.push_back(0xFD);
        if (!tag_.empty()) {
            const std::size_t at = file.size();
            file.insert(file.end(), tag_.begin(), tag_.end());
            file.push_back(0);
            for (int i = 0; i < 4; ++i)
                file[0x10 + i] = static_cast<std::uint8_t>(at >> (8 * i));
        }
        return file;
    }

private:
    std::vector<std::uint8_t> header_;
    std::vector<std::uint8_t> data_;
    std::uint32_t devices_ = 0;
    std::size_t loop_ = 0;
    bool hasLoop_ = false;
    bool end_ = true;
    std::string tag_;
};
