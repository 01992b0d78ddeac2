#pragma once

#include "Models/ModelsFwd.h"

namespace tilvane {

// The custom-layout editors' writes. Each opens the default database and runs one write transaction; a failure
// is logged at error level with the layout's name, and the caller learns of it, so nothing is taken as saved
// that was not.

/// Stores `layout` in place of the stored layout with its id (inserted when there is none). False when it was
/// not stored.
bool saveCustomLayout(const CustomLayoutModelPtr& layout);
/// Deletes the stored layouts with the id of `layout`; a layout never stored deletes nothing and succeeds. False
/// when the delete failed.
bool deleteCustomLayout(const CustomLayoutModel& layout);

}  // namespace tilvane
