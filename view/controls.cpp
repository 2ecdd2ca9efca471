#include "view/controls.h"

#include <charconv>

namespace torv {

namespace {

const ControlRange& rangeOf(ControlClass kind)
{
    for (const ControlRange& r : kControlRanges)
        if (r.kind == kind)
            return r;
    return kControlRanges.front(); // every class has its row
}

} // namespace

std::string Control::name() const { return valid() ? std::string(rangeOf(kind).prefix) + std::to_string(number) : std::string(); }

const std::vector<Control>& AllControls()
{
    static const std::vector<Control> all = [] {
        std::vector<Control> v;
        for (const ControlRange& r : kControlRanges)
            for (int n = r.first; n <= r.last; ++n)
                v.push_back({r.kind, n});
        return v;
    }();
    return all;
}

bool ControlNamed(std::string_view name, Control& out)
{
    for (const ControlRange& r : kControlRanges) {
        if (name.substr(0, r.prefix.size()) != r.prefix)
            continue;
        const std::string_view digits = name.substr(r.prefix.size());
        int n = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
        if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty() || digits.front() == '0')
            continue;
        if (n >= r.first && n <= r.last) {
            out = {r.kind, n};
            return true;
        }
    }
    return false;
}

} // namespace torv
