#pragma once
#include <string>

#include "controller/number_format.h"
#include "files/parameter_set.h"
#include "view/control_change.h"

namespace torv {

// The controls moved as the operator would move them: a field's spinner
// first, then its text; a list's selection; the alarm switch last, since
// its change is written to the controller at once.
ControlChanges ParameterSetChanges(const ParameterSet& set,
                                   const std::string& separator = systemDecimalSeparator());

} // namespace torv
