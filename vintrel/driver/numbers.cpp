#include "driver/numbers.h"

#include <cctype>

namespace {

// Magnitudes are kept just above the largest value, so clamping happens once at the end.
constexpr uint64_t SATURATED = 4294967296ull;

// Appends a decimal digit to a magnitude, saturating just above the largest value.
void add_digit(uint64_t& magnitude, int digit)
{
    magnitude = magnitude * 10 + static_cast<uint64_t>(digit);
    if (magnitude > SATURATED)
        magnitude = SATURATED;
}

// The value of a magnitude and its sign: clamped, then negated modulo 2^32.
uint32_t finish(uint64_t magnitude, bool negative)
{
    uint32_t value = magnitude >= SATURATED ? 4294967295u : static_cast<uint32_t>(magnitude);
    return negative ? static_cast<uint32_t>(0u - value) : value;
}

}  // namespace

uint32_t read_number_parameter(const char* text)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (std::isspace(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = *p == '-';
        ++p;
    }
    uint64_t magnitude = 0;
    while (std::isdigit(*p))
        add_digit(magnitude, *p++ - '0');
    return finish(magnitude, negative);
}

bool read_number_from(FILE* stream, uint32_t& value)
{
    int c = fgetc(stream);
    while (c != EOF && std::isspace(c))
        c = fgetc(stream);
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = fgetc(stream);
    }
    uint64_t magnitude = 0;
    bool any = false;
    while (c != EOF && std::isdigit(c)) {
        add_digit(magnitude, c - '0');
        any = true;
        c = fgetc(stream);
    }
    if (c != EOF)
        ungetc(c, stream);
    if (any)
        value = finish(magnitude, negative);
    return any;
}
