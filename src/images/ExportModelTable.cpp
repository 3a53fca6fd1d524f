#include <vector>

#include "images/Export.h"

namespace vantrel {

// Kept apart from the exports so that code using only the row overload does
// not need the compiled-in table.
bool SaveCodeplugsAsBinary(const std::string& folder)
{
    std::vector<ModelRow> rows;
    rows.reserve(kModelTableRows);
    for (int i = 0; i < kModelTableRows; ++i) rows.push_back(ModelTableRow(i));
    return SaveCodeplugsAsBinary(folder, rows);
}

}  // namespace vantrel
