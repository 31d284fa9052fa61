#include "matrix/Numbers.h"

#include <charconv>
#include <clocale>
#include <cstdlib>
#include <locale.h>

namespace tesora {

std::string FormatG(double value) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 6);
    return std::string(buffer, result.ptr);
}

std::string FormatD(long long value) { return std::to_string(value); }

double ParseNumber(std::string_view text, std::size_t* used) {
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    const std::string copy(text);  // strtod needs a terminated string
    char* end = nullptr;
    const double value = strtod_l(copy.c_str(), &end, cLocale);
    if (used) *used = static_cast<std::size_t>(end - copy.c_str());
    return value;
}

}  // namespace tesora
