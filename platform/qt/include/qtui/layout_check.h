#pragma once
// The layout check of a dialog as the Qt view realises it: every visible
// control inside the client area, no two overlapping (except a control in
// its group box and the neighbours a dialog places together on purpose),
// and every static and button text fitting its control in the dialog font.
#include <string>
#include <utility>
#include <vector>

#include "ui/dialog.h"

namespace qtui {

// Pairs of control ids allowed to overlap.
using Neighbours = std::vector<std::pair<int, int>>;

// One line per problem; empty when the layout is sound. `dialog` is
// running (opened), so that what it placed itself is checked too.
std::vector<std::string> LayoutProblems(ui::Dialog& dialog, const Neighbours& neighbours = {});

}  // namespace qtui
