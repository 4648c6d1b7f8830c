#include "base/Number.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace torv {

namespace {
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
} // namespace

double leadingNumber(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Only digits and one point are taken, so no exponent, "inf" or "nan"
    // slips in through the conversion below.
    const size_t start = i;
    bool digits = false;
    while (i < text.size() && isDigit(text[i])) {
        digits = true;
        ++i;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            digits = true;
            ++i;
        }
    }
    if (!digits)
        return 0;
    // The correctly rounded value of the decimal text, so "2.5" is exactly 2.5.
    std::string number(text.substr(start, i - start));
    if (number.front() == '.')
        number.insert(number.begin(), '0');
    double value = 0;
    auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // Too large, or too small to be told from 0 (a point and many zeros).
        const std::string whole = number.substr(0, number.find('.'));
        value = whole.find_first_not_of('0') == std::string::npos ? 0.0 : std::numeric_limits<double>::infinity();
    }
    return negative ? -value : value;
}

int16 roundToInt16(double v)
{
    if (std::isnan(v))
        throw Failure::typeMismatch();
    double r = std::round(v);
    if (std::fabs(v - std::trunc(v)) == 0.5)
        r = 2.0 * std::round(v / 2.0);
    if (!(r >= INT16_MIN && r <= INT16_MAX))
        throw Failure::overflow();
    return static_cast<int16>(r);
}

} // namespace torv
