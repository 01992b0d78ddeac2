#pragma once

#include "Models/ModelsFwd.h"

namespace tilvane {

// The custom-layout editors' writes. Each opens the default database and runs one write transaction; a failure
// is logged at error level with the layout's name, and the caller learns of it, so nothing is taken as saved
// that was not.

/// What a save did.
enum class SaveOutcome {
  saved,
  /// The layout was stored once and is no longer: deleted elsewhere. Nothing was written.
  gone,
  /// The store refused or could not be used; logged.
  failed,
};

/// Stores `layout` in place of the stored layout with its id. With `mayCreate` it is inserted when there is none
/// (a layout never stored yet); without, a layout that is no longer stored is not brought back (gone). The look
/// and the write are one write transaction, so another program's delete cannot fall between them.
SaveOutcome saveCustomLayout(const CustomLayoutModelPtr& layout, bool mayCreate);
/// Deletes the stored layouts with the id of `layout`; a layout never stored deletes nothing and succeeds. False
/// when the delete failed.
bool deleteCustomLayout(const CustomLayoutModel& layout);

}  // namespace tilvane
