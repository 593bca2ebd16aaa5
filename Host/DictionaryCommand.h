// The country dictionary on the command line: filled by init, replaced by
// "hamhost dictionary update [FILE|URL]".
#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

// Fills the dictionary tables of profile from the country data shipped in
// dataFolder (cty.dat and prefix_to_entitycode.csv) when they are empty.
void InitDictionary(const std::filesystem::path& profile, const std::filesystem::path& dataFolder, std::ostream& out);

// "dictionary" with its arguments ("update" [FILE|URL]): replaces the
// tables from the named cty.dat (the shipped one when none is named), with
// the shipped entity codes, and reports counts and changed entities. The
// old tables stay when anything fails. Returns the exit code.
int DictionaryCommand(const std::filesystem::path& profile, const std::filesystem::path& dataFolder,
                      const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
