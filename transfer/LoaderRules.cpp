#include "transfer/LoaderRules.h"

#include <algorithm>

LoaderEnabling EnablingForView(LoaderView view)
{
    switch (view) {
    case LoaderView::Ready: return {true, false, false, true, false, true};
    case LoaderView::Transfer: return {false, true, true, false, true, true};
    case LoaderView::Finished: return {false, true, true, true, false, false};
    }
    return {};
}

DownloadFile SplitDownloadPath(const std::string &fullPath)
{
#ifdef _WIN32
    const size_t separator = fullPath.find_last_of("\\/");
#else
    const size_t separator = fullPath.find_last_of('/');
#endif
    if (separator == std::string::npos)
        return {std::string(), fullPath};
    return {fullPath.substr(0, separator + 1), fullPath.substr(separator + 1)};
}

std::vector<std::string> FilterPatterns(const std::string &filter)
{
    const size_t open = filter.rfind('(');
    const size_t close = filter.rfind(')');
    const std::string list = (open != std::string::npos && close != std::string::npos && close > open)
                                 ? filter.substr(open + 1, close - open - 1)
                                 : filter;
    std::vector<std::string> patterns;
    size_t begin = 0;
    while (begin <= list.size()) {
        const size_t end = std::min(list.find_first_of("; ", begin), list.size());
        const std::string pattern = list.substr(begin, end - begin);
        if (!pattern.empty())
            patterns.push_back(pattern == "*.*" ? "*" : pattern);
        begin = end + 1;
    }
    return patterns;
}
