// A parameter set moved into the window's controls.
#include <gtest/gtest.h>

#include "view/parameter_set_changes.h"

namespace {

using namespace torv;

TEST(ParameterSet, ChangesMoveSpinnerBeforeTextAndTheSwitchLast)
{
    const ParameterSet s{0, "", {{108, -5}, {112, 10}, {122, 1}, {125, 0}, {157, 50}}};
    EXPECT_EQ(ParameterSetChanges(s, ","),
              (ControlChanges{SetValue("UpDown2", Property::SpinnerPosition, -5), SetText("Edit2", "-0,5"),
                              SetValue("UpDown5", Property::SpinnerPosition, 10), SetText("Edit5", "10"),
                              SetValue("ComboBox4", Property::ListIndex, 1),
                              SetValue("UpDown47", Property::SpinnerPosition, 50), SetText("Edit47", "50"),
                              SetValue("CheckBox1", Property::Checked, 0)}));
}

} // namespace
