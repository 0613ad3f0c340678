// The import of a rulings page saved by another tool.
#include "FuzzSupport.h"
#include "ImportRoundTrip.h"

#include "import/Import.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartQt(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ConvertAndReload(ConvertSummaryFile, data, size);
    return 0;
}
