#include "station/port_order.h"

#include <algorithm>
#include <cctype>
#include <tuple>

namespace
{
// "COM23" as ("COM", 23, "COM23"): the letters in upper case, then the trailing number.
std::tuple<std::string, unsigned long, std::string> Key(const std::string& port)
{
    std::string upper;
    for (char c : port)
    {
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    std::size_t digits = upper.size();
    while (digits > 0 && std::isdigit(static_cast<unsigned char>(upper[digits - 1])))
    {
        --digits;
    }
    const std::string number = upper.substr(digits, 9); // no overflow of a long number
    return {upper.substr(0, digits), number.empty() ? 0 : std::stoul(number), upper};
}
} // namespace

void SortPortNames(std::vector<std::string>& ports)
{
    std::sort(ports.begin(), ports.end(),
              [](const std::string& a, const std::string& b) { return Key(a) < Key(b); });
    ports.erase(std::unique(ports.begin(), ports.end(),
                            [](const std::string& a, const std::string& b)
                            { return std::get<2>(Key(a)) == std::get<2>(Key(b)); }),
                ports.end());
}
