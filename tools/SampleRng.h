// Fixed-sequence generator (splitmix64) for the sample data tools: the same
// seed gives the same data on every machine and library, unlike the standard
// distributions.
#pragma once

#include <cstdint>

class Rng
{
public:
    explicit Rng(uint64_t seed)
        : m_state(seed)
    {
    }
    uint64_t next()
    {
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // In [0, 1).
    double uniform() { return double(next() >> 11) * 0x1.0p-53; }

private:
    uint64_t m_state;
};
