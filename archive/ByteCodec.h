// Variable-length integers for the packed records: 7 bits a byte, low bits
// first; signed values zigzag-coded so that small changes either way stay
// one byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

inline void PutUnsigned(std::string &out, uint64_t value)
{
    while (value >= 0x80) {
        out.push_back(char(value | 0x80));
        value >>= 7;
    }
    out.push_back(char(value));
}

inline void PutSigned(std::string &out, int64_t value)
{
    PutUnsigned(out, (uint64_t(value) << 1) ^ uint64_t(value >> 63));
}

// Reads from a byte range; a read past its end or an overlong number makes
// it bad, and every later read then gives 0.
class ByteReader
{
public:
    explicit ByteReader(std::string_view bytes)
        : m_begin(bytes.data())
        , m_p(bytes.data())
        , m_end(bytes.data() + bytes.size())
    {
    }

    uint64_t unsignedNumber()
    {
        uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (m_p == m_end) {
                m_bad = true;
                return 0;
            }
            const auto byte = uint8_t(*m_p++);
            value |= uint64_t(byte & 0x7F) << shift;
            if (byte < 0x80)
                return value;
        }
        m_bad = true;
        return 0;
    }

    int64_t signedNumber()
    {
        const uint64_t value = unsignedNumber();
        return int64_t(value >> 1) ^ -int64_t(value & 1);
    }

    uint8_t byte()
    {
        if (m_p == m_end) {
            m_bad = true;
            return 0;
        }
        return uint8_t(*m_p++);
    }

    std::string_view text(uint64_t size)
    {
        if (size > uint64_t(m_end - m_p)) {
            m_bad = true;
            m_p = m_end;
            return {};
        }
        const std::string_view text(m_p, size);
        m_p += size;
        return text;
    }

    [[nodiscard]] bool bad() const { return m_bad; }
    [[nodiscard]] bool atEnd() const { return m_p == m_end; }
    [[nodiscard]] size_t used() const { return size_t(m_p - m_begin); } // bytes read so far

private:
    const char *m_begin;
    const char *m_p;
    const char *m_end;
    bool m_bad = false;
};
