#include "dialog/file_filter.h"

#include <vector>

std::string win32FilterText(std::string_view filter) {
    std::vector<std::string_view> items;
    std::size_t start = 0;
    while (start < filter.size()) {
        std::size_t bar = filter.find('|', start);
        std::string_view item = filter.substr(
            start, bar == std::string_view::npos ? std::string_view::npos : bar - start);
        if (item.empty()) break;
        items.push_back(item);
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    if (items.size() % 2) items.push_back(items.back());
    std::string out;
    for (std::string_view item : items) {
        out.append(item);
        out.push_back('\0');
    }
    out.push_back('\0');
    // An empty list still needs its two NULs.
    if (items.empty()) out.push_back('\0');
    return out;
}
