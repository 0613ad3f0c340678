// The import of a card index saved by another tool.
#include "FuzzSupport.h"
#include "ImportRoundTrip.h"

#include "import/Import.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartQt(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ConvertAndReload(ConvertIndexFile, data, size);
    return 0;
}
