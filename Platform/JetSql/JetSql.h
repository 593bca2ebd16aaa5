// Translation of one SQL statement from the Jet dialect to SQLite.
//
// Handled: 'single' and "double" quoted text literals (both become SQLite
// single-quoted literals), #date# and #date time# literals (canonical text
// 'yyyy-mm-dd hh:nn:ss'), TRUE/FALSE (1/0), [NAME] ("NAME") and the make-table
// form SELECT ... INTO t FROM ... (CREATE TABLE t AS SELECT ... FROM ...).
// Everything else passes through unchanged, so SQLite reports what it does
// not understand. Quoted text is copied as data and never read as SQL.
#pragma once

#include <string>
#include <string_view>

struct TJetTranslation {
    std::string Sql;
    // The new table's name as written in SQLite when the statement is a
    // make-table query (SELECT ... INTO), else empty.
    std::string MakeTable;
};

TJetTranslation TranslateJet(std::string_view jet);
std::string JetToSqlite(std::string_view jet);

// A text as an SQL literal: enclosed in single quotes, single quotes inside doubled.
std::string QuotedStr(std::string_view text);
