// Lines of the action language (see ConsoleDriver.h), counted, from a stream
// or a file; both modal drivers read their scripts through it.
#pragma once

#include <fstream>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

namespace Forms {

class TActionReader {
public:
    explicit TActionReader(std::istream& in);
    // EFOpenError when the file cannot be read.
    explicit TActionReader(const std::string& path);
    TActionReader(const TActionReader&) = delete;
    TActionReader& operator=(const TActionReader&) = delete;

    // The next line without its line break; false at the end.
    bool ReadLine(std::string& line);
    // A file dialog's answer: the next line without surrounding blanks;
    // nothing for a blank line or the end.
    std::optional<std::string> ReadAnswer();
    // Lines read so far.
    int LineNumber() const { return line_; }

private:
    std::unique_ptr<std::ifstream> file_;
    std::istream& in_;
    int line_ = 0;
};

} // namespace Forms
