// File-open and file-save dialogs; the form's driver answers them.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace Forms {

class TForm;

class TFileDialog {
public:
    TFileDialog(TForm& owner, std::string name);
    virtual ~TFileDialog() = default;
    TFileDialog(const TFileDialog&) = delete;
    TFileDialog& operator=(const TFileDialog&) = delete;

    virtual bool IsSaveDialog() const = 0;
    TForm& Owner() const { return owner_; }
    const std::string& Name() const { return name_; }

    std::string Title;
    // "Description|pattern|Description|pattern..."
    std::string Filter;
    // 1-based, as the filter's pairs are counted.
    int FilterIndex = 1;
    std::string InitialDir;
    // Proposed before, chosen after Execute.
    std::string FileName;
    // Added to a chosen name that has no extension ("zip" or ".zip").
    std::string DefaultExt;

    // The filter's (description, pattern) pairs.
    std::vector<std::pair<std::string, std::string>> FilterPairs() const;
    // Asks the form's driver; on confirmation FileName is the chosen path
    // (relative names taken from InitialDir, DefaultExt added) and the
    // answer is true.
    bool Execute();

private:
    TForm& owner_;
    std::string name_;
};

class TOpenDialog : public TFileDialog {
public:
    using TFileDialog::TFileDialog;
    bool IsSaveDialog() const override { return false; }
};

class TSaveDialog : public TFileDialog {
public:
    using TFileDialog::TFileDialog;
    bool IsSaveDialog() const override { return true; }
};

} // namespace Forms
