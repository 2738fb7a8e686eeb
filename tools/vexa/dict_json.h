// Reading a dictionary back from the JSON that `vexa info --json` prints.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

#include "file_summary.h"

namespace vexa::tool {

// Fills `out` from a parsed document. Each variable needs "name" and "type";
// every other member may be left out, and then keeps the library's default:
// formats stay of type -1, and measure, alignment, display width and role
// stay -1. Header facts that a writer sets itself (form, case count,
// creation time, product, release) are ignored, and so are the extension
// records listed without "data" (the writer makes those). The file's
// "compression" is kept in out->compression (-1 when absent), its
// "encoding" in out->encoding (empty when absent). False, with
// *error set, for a member of
// the wrong kind, a format that does not read as one, or an unknown name of
// a measure, alignment, role or compression.
bool DictionaryFromJson(const nlohmann::ordered_json& doc, FileSummary* out,
                        std::string* error);

// Reads and parses a file (standard input for "-"), then as above; a
// document that does not parse gives the parser's message with its line and
// column.
bool ReadDictionaryFile(const std::string& path, FileSummary* out,
                        std::string* error);

}  // namespace vexa::tool
