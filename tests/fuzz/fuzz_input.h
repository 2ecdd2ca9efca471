#pragma once
#include <cstddef>
#include <cstdint>

namespace torv::fuzz {

// Takes bytes off the front of a fuzzer input; past the end every byte reads as 0.
class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return pos_ >= size_; }
    std::size_t left() const { return size_ - pos_; }
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::uint16_t word()
    {
        const std::uint16_t low = byte();
        return static_cast<std::uint16_t>(low | (byte() << 8));
    }
    // Up to n bytes, fewer when the input runs out; `p` points at them.
    std::size_t take(std::size_t n, const std::uint8_t*& p)
    {
        if (n > left())
            n = left();
        p = data_ + pos_;
        pos_ += n;
        return n;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

// What the last input did, for the seed replayer: seeds named ok_* must have
// every transaction (or the settings load) accepted, seeds named fail_* none.
struct Outcome {
    int accepted = 0;
    int rejected = 0;
};
Outcome& lastOutcome();

// Stops the run on a broken invariant; libFuzzer and the replayer both see the abort.
[[noreturn]] void violated(const char* what);

inline void require(bool holds, const char* what)
{
    if (!holds)
        violated(what);
}

} // namespace torv::fuzz
