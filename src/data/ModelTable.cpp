#include "data/ModelTable.h"

#include <iterator>

// The table's data lives in one file of its own so that the product data can
// replace the sample without a code change.
#ifndef VANTREL_MODEL_TABLE_DATA
#define VANTREL_MODEL_TABLE_DATA "data/model_table_sample.inc"
#endif

namespace vantrel {
namespace {

#include VANTREL_MODEL_TABLE_DATA

constexpr bool AllFieldsPresent()
{
    for (const ModelRow& row : kModelRows) {
        if (!row.codeplugSourceFile || !row.eepromDataFile || !row.modelNumber || !row.codeplugKey) return false;
    }
    return true;
}

// A short initialiser list would leave rows or identifier bytes silently zeroed.
static_assert(std::size(kModelRows) == kModelTableRows, "the model table has 360 rows");
static_assert(std::size(kPlatformIdentifierData) == kPlatformIdentifierSize, "the platform identifier has 16 bytes");
static_assert(AllFieldsPresent(), "empty fields are \"\", never null");

} // namespace

const ModelRow& ModelTableRow(int index)
{
    static constexpr ModelRow kEmpty{"", "", "", ""};
    if (index < 0 || index >= kModelTableRows) return kEmpty;
    return kModelRows[index];
}

const uint8_t* PlatformIdentifier()
{
    return kPlatformIdentifierData;
}

bool IsSampleProductData()
{
#ifdef VANTREL_SAMPLE_PRODUCT_DATA
    return true;
#else
    return false;
#endif
}

} // namespace vantrel
