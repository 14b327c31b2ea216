// Test support: builds VGM files byte by byte: header fields, commands,
// waits, a loop point and a GD3 tag. build() appends the end command and
// fills the end, sample count, loop and tag offsets.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

class VgmBuilder {
public:
    // Files from 1.50 on get a 0x100-byte header and a data offset; older
    // ones the fixed 0x40 bytes.
    explicit VgmBuilder(std::uint32_t version = 0x171)
        : header_(version >= 0x150 ? 0x100 : 0x40, 0) {
        set32(0x00, 0x206D6756);
        set32(0x08, version);
        if (version >= 0x150) set32(0x34, static_cast<std::uint32_t>(header_.size() - 0x34));
    }

    VgmBuilder& set32(std::size_t offset, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            header_[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return *this;
    }
    VgmBuilder& set8(std::size_t offset, std::uint8_t value) {
        header_[offset] = value;
        return *this;
    }
    VgmBuilder& bytes(std::initializer_list<std::uint8_t> values) {
        data_.insert(data_.end(), values);
        return *this;
    }
    VgmBuilder& write(std::uint8_t command, std::uint8_t address, std::uint8_t data) {
        return bytes({command, address, data});
    }
    VgmBuilder& wait(std::uint32_t samples) {
        samples_ += samples;
        while (samples > 0) {
            const std::uint32_t step = samples < 0xFFFF ? samples : 0xFFFF;
            bytes({0x61, static_cast<std::uint8_t>(step), static_cast<std::uint8_t>(step >> 8)});
            samples -= step;
        }
        return *this;
    }
    VgmBuilder& loopHere() {
        loop_ = data_.size();
        loopSamples_ = samples_;
        hasLoop_ = true;
        return *this;
    }
    // The eleven texts of a GD3 tag, in UTF-16.
    VgmBuilder& tag(std::vector<std::u16string> texts) {
        tag_ = std::move(texts);
        return *this;
    }
    VgmBuilder& withoutEnd() {
        end_ = false;
        return *this;
    }

    std::vector<std::uint8_t> build() const {
        VgmBuilder copy = *this;
        if (copy.end_) copy.data_.push_back(0x66);
        std::vector<std::uint8_t>& file = copy.header_;
        const std::size_t dataStart = file.size();
        file.insert(file.end(), copy.data_.begin(), copy.data_.end());
        copy.set32(0x18, copy.samples_);
        if (copy.hasLoop_) {
            copy.set32(0x1C, static_cast<std::uint32_t>(dataStart + copy.loop_ - 0x1C));
            copy.set32(0x20, copy.samples_ - copy.loopSamples_);
        }
        if (!copy.tag_.empty()) {
            copy.set32(0x14, static_cast<std::uint32_t>(file.size() - 0x14));
            std::vector<std::uint8_t> texts;
            for (const std::u16string& text : copy.tag_) {
                for (char16_t unit : text)
                    texts.insert(texts.end(), {static_cast<std::uint8_t>(unit),
                                               static_cast<std::uint8_t>(unit >> 8)});
                texts.insert(texts.end(), {0, 0});
            }
            const auto length = static_cast<std::uint32_t>(texts.size());
            file.insert(file.end(),
                        {'G', 'd', '3', ' ', 0x00, 0x01, 0x00, 0x00,
                         static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                         static_cast<std::uint8_t>(length >> 16),
                         static_cast<std::uint8_t>(length >> 24)});
            file.insert(file.end(), texts.begin(), texts.end());
        }
        copy.set32(0x04, static_cast<std::uint32_t>(file.size() - 4));
        return file;
    }

private:
    std::vector<std::uint8_t> header_;
    std::vector<std::uint8_t> data_;
    std::uint32_t samples_ = 0;
    std::size_t loop_ = 0;
    std::uint32_t loopSamples_ = 0;
    bool hasLoop_ = false;
    bool end_ = true;
    std::vector<std::u16string> tag_;
};
