#include "view/parameter_set_changes.h"

#include "controller/conversions.h"
#include "view/control_map.h"

namespace torv {

ControlChanges ParameterSetChanges(const ParameterSet& set, const std::string& separator)
{
    using bytes::kAlarmBuzzer;
    ControlChanges out;
    for (const int byte : ParameterSetBytes()) {
        const auto it = set.values.find(byte);
        if (it == set.values.end() || byte == kAlarmBuzzer)
            continue;
        const Kind kind = MapAt(byte).kind;
        const int v = it->second;
        if (kind == Kind::List) {
            out.push_back(SetValue(ControlOf(byte), Property::ListIndex, v));
            continue;
        }
        const bool tenths = kind == Kind::Tenths || kind == Kind::OffsetTenths;
        out.push_back(SetValue(SpinnerOf(byte), Property::SpinnerPosition, v));
        out.push_back(SetText(ControlOf(byte), tenths ? TenthsText(v, separator) : std::to_string(v)));
    }
    if (const auto it = set.values.find(kAlarmBuzzer); it != set.values.end())
        out.push_back(SetValue(ControlOf(kAlarmBuzzer), Property::Checked, it->second != 0 ? 1 : 0));
    return out;
}

} // namespace torv
