#pragma once
#include "data/xXML.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Converts the input as a source file, saves the result and reads it back: whatever the
// source holds, the conversion ends without error and its database file loads again with
// the same records, identifiers and texts.
using TConvertFile = void (*)(const std::string& fileName, const IXMLDOMNode& root);
void ConvertAndReload(TConvertFile convert, const uint8_t* data, size_t size);
