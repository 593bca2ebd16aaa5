// Package writing: the description file, the ZIP archive and the run's
// closing lines.
#include "Plugins/CallbookExport/XpoPackage.h"

#include "Platform/Clock/Clock.h"
#include "Platform/Files/Files.h"
#include "Platform/FormatSettings/FormatSettings.h"
#include "Platform/SysUtils/SysUtils.h"
#include "Platform/Zip/Zip.h"
#include "Plugins/CallbookExport/uXpoZemrak.h"

#include <filesystem>
#include <fstream>
#include <system_error>

std::string BuildKeysList(const TExtInfo& ExtInfo)
{
    static constexpr TExtInfoItem order[] = {eiAka, eiBureau, eiDirect, eiLotW, eiEQSL, eiSkype, eiEmail, eiBorn, eiSK};
    std::string keys;
    for (TExtInfoItem item : order) {
        if (!ExtInfo[item]) continue;
        if (!keys.empty()) keys += ", ";
        keys += ExtInfoItems[item].Key;
    }
    return keys;
}

std::uint64_t PackedPercent(std::uint64_t ArchiveSize, std::uint64_t TargetSize)
{
    if (TargetSize == 0) return 0;
    // 128-bit, so ArchiveSize x 100 never overflows.
    const unsigned __int128 scaled = static_cast<unsigned __int128>(ArchiveSize) * 100;
    auto quotient = static_cast<std::uint64_t>(scaled / TargetSize);
    const unsigned __int128 twice = (scaled % TargetSize) * 2;
    if (twice > TargetSize || (twice == TargetSize && quotient % 2 == 1)) ++quotient;
    return quotient;
}

TDateTime TwoSecondTime(TDateTime Value)
{
    TDateParts parts = DecodeDateTime(Value);
    parts.Second &= ~1;
    parts.MSec = 0;
    return EncodeDateTime(parts);
}

std::vector<std::string> DescriptionLines(const TDescription& d)
{
    return {
        "#",
        "# Database file " + d.TargetName + " created " + FormatDateTime("ddddd hh:mm:ss", d.Written) + " by " +
            d.Application + " " + d.AppVersion,
        "# Contains " + FormatFloat("#,##0", double(d.Size)) + " bytes, " + FormatFloat("#,##0", double(d.Saved)) +
            " records as updates/replacement for Zemrak_Log",
        "# Use keys: " + d.Keys,
        "#",
    };
}

void WriteDescriptionFile(const std::string& Path, const std::vector<std::string>& Lines)
{
    if (FileExists(Path)) DeleteFileOrThrow(Path);
    std::ofstream out(Path, std::ios::binary | std::ios::trunc);
    if (!out) throw EFCreateError("Cannot create file '" + Path + "'");
    for (const std::string& line : Lines)
        out << line << "\r\n";
    out.close();
    if (!out) throw EInOutError("Cannot write file '" + Path + "'");
}

bool TfrmXpoZemrak::WritePackage(const std::string& TargetPath, int Saved, std::uint64_t StartTicks)
{
    bool result = false;
    std::string outputName = TargetPath;
    if (cbConvertZIP.Checked()) {
        const std::string nfoPath = ChangeFileExt(TargetPath, ".nfo");
        TDescription d;
        d.TargetName = ExtractFileName(TargetPath);
        d.Written = TwoSecondTime(FileGetDate(TargetPath));
        d.Size = FileSize(TargetPath);
        d.Saved = Saved;
        d.Application = HostParameter("APPLICATION");
        d.AppVersion = HostParameter("APPVERSION");
        d.Keys = BuildKeysList(CheckedExtInfo());
        // A failed package leaves none of the files the run wrote.
        const auto removeLoose = [&] {
            DeleteFile(TargetPath);
            std::error_code ec;
            if (std::filesystem::is_regular_file(nfoPath, ec)) DeleteFile(nfoPath);
        };
        try {
            WriteDescriptionFile(nfoPath, DescriptionLines(d));
        } catch (...) {
            removeLoose();
            throw;
        }

        const std::string zipPath = ChangeFileExt(TargetPath, ".zip");
        try {
            CreateZipArchive(zipPath, {TargetPath, nfoPath}, 1);
            outputName = zipPath;
            if (FileExists(zipPath)) {
                const auto percent = PackedPercent(static_cast<std::uint64_t>(FileSize(zipPath)),
                                                   static_cast<std::uint64_t>(FileSize(TargetPath)));
                MsgProgress(1,
                            "Archive " + ExtractFileName(zipPath) + " contains " + ExtractFileName(TargetPath) +
                                ", packed " + std::to_string(percent) + "%",
                            true);
                DeleteFile(TargetPath);
                DeleteFile(nfoPath);
                result = true;
                WriteLog("Archived into: " + zipPath);
            }
        } catch (const std::exception& error) {
            MessageBox("Message:\r\n" + std::string(error.what()) + ".", "Archiving error", 1);
            removeLoose();
            result = false;
        }
    } else {
        result = FileExists(TargetPath);
    }

    ShowProgress(0);
    const double elapsedDays = double(GetTickCount64() - StartTicks) / 86400000.0;
    const std::string elapsed = FormatDateTime("hh:nn:ss", elapsedDays);
    MsgProgress(0, "* Done. Elapsed time " + elapsed, false);
    if (result)
        WriteLog("Exec: " + Caption() + ", " + outputName + ", total " + std::to_string(Saved) + " (" + elapsed + ")");
    else
        WriteLog("Exec: " + Caption() + ", " + outputName + " creation failed.");
    return result;
}
