#pragma once
// A small deterministic generator: the forge writes the same file every time.

#include <cstdint>

namespace restorix::forge {

class Lcg {
public:
    explicit Lcg(std::uint32_t seed) : state_(seed) {}
    std::uint32_t next(std::uint32_t bound) {
        state_ = state_ * 1664525u + 1013904223u;
        return (state_ >> 8) % bound;
    }

private:
    std::uint32_t state_;
};

}  // namespace restorix::forge
