#pragma once

#include <vector>

#include "AppManager/Screens/ScreenInfo.h"

namespace tilvane {

/// The screen-order predicate: `a` comes before `b` when its frame origin has the smaller x or the smaller y.
/// Not a strict weak ordering (two displays can each come before the other), so it must never drive a library
/// sort.
bool screenComesBefore(const ScreenInfo& a, const ScreenInfo& b);

/// Sorts `screens` in place by insertion with screenComesBefore: each entry, second to last, moves towards the
/// front past every preceding entry it comes before, stopping at the first it does not. Display indexes are
/// stored, so this exact order is part of the stored data's meaning.
void sortScreens(std::vector<ScreenInfo>& screens);

}  // namespace tilvane
