// The host's country dictionary (COUNTRY, PROVINCE and UNIQUECALL rows)
// made from cty.dat and the entity-code table.
//
// The resolver takes the first row, UNIQUECALL before PROVINCE before
// COUNTRY and by ID within each, whose expression covers the whole
// callsign. The rows are emitted so that this is cty.dat's own rule, the
// exact call first and otherwise the longest prefix:
// - every exact call is one UNIQUECALL row (an expression without tail);
// - a prefix row is "(?:P1|P2|...)[A-Z0-9/]*" with prefixes of one length
//   only, and within a table the rows run from the longest prefixes to the
//   shortest, so no shorter prefix is tried before a longer one;
// - prefixes that carry zone or continent overrides, and those of entities
//   that count for the WAE list only, go to PROVINCE; a plain prefix that
//   a PROVINCE prefix would shadow (it starts with one) goes there too.
// Entities marked WAE-only are folded into their DXCC parent: their rows
// carry the parent's prefix and entity code, their own zones and their own
// primary prefix as the main prefix.
#pragma once

#include "Host/Dictionary/CtyDat.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

// One dictionary row. The expression is made of the literals.
struct TDictionaryRow {
    std::vector<std::string> Literals; // prefixes of one length, or one exact call
    bool Exact = false;                // UNIQUECALL: no call tail
    std::string ArrlPrefix;            // primary prefix of the DXCC entity
    std::string Prefix;                // primary prefix of the cty.dat entity (WAE or DXCC)
    std::string Continent;
    int Dxcc = 0; // entity code
    int ItuZone = 0;
    int CqZone = 0;

    std::string Expression() const;
};

struct TDictionaryRows {
    std::vector<TDictionaryRow> Countries, Provinces, UniqueCalls; // in ID order
    std::size_t Entities = 0, Prefixes = 0, ExactCalls = 0;
    // Main prefix -> entity name, for reports.
    std::map<std::string, std::string> EntityNames;
    // Things a user should know that did not stop the conversion.
    std::vector<std::string> Warnings;
};

// Throws EConvertError listing every entity whose code is not in codes (or
// WAE-only entity without a known parent): nothing is guessed.
TDictionaryRows ConvertCtyDat(const std::vector<TCtyEntity>& entities, const std::map<std::string, int>& codes);

// Reads and converts ctyFile with the codes of codesFile. EFOpenError when a
// file cannot be read.
TDictionaryRows LoadCountryData(const std::filesystem::path& ctyFile, const std::filesystem::path& codesFile);

// The entity-code table shipped beside a cty.dat file.
std::filesystem::path EntityCodesBeside(const std::filesystem::path& ctyFile);

// Jet-dialect INSERT statements for the rows, IDs from 1 in each table.
std::vector<std::string> DictionaryInsertStatements(const TDictionaryRows& rows);
