// A host profile with a logger installation and a small host callbook, for
// the export's dialog and end-to-end tests.
#pragma once

#include "tests/Support/TestHost.h"

#include <string>
#include <vector>

using TRows = std::vector<std::vector<std::string>>;
inline const std::string NullText = "<null>";

// Every row of a query on a SQLite file as text; NULL reads as NullText.
TRows QueryRows(const fs::path& db, const std::string& sql);
// Runs statements on a SQLite file, creating it when missing.
void ExecSql(const fs::path& db, const std::string& sql);
// True when the file opens as a SQLite database and passes its integrity check.
bool IsValidDatabase(const fs::path& db);

// Host callbook rows covering every column the export reads:
//   DL1ABC  every text, checked, Bureau, LotW with a date, eQSL without one
//   G4XYZ   Direct, a manager, LotW earlier, not checked
//   UA3AAA  CHK NULL, eQSL with a date, SK
//   W1AW    empty name, no QTH, LotW without a date
inline const char* HostCallbookRows =
    "INSERT INTO CALLBOOK(OMCALL,OMNAME,OMQTH,GRIDSQUARE,STATE,QSLMANAGER,CHK,Use_BUREAU,Use_DIRECT,"
    "Use_LOTW,LOTWACTDATE,Use_EQSL,EQSLACTDATE,AKA,SKYPE,EMAIL,BORN,SK) VALUES"
    "('DL1ABC','Hans','Berlin','JO62QM','BE',NULL,1,1,0,1,'2018-04-05 10:20:30',1,NULL,"
    " 'DL0XYZ','hans.b','hans@example.org','1960',NULL),"
    "('G4XYZ','John','Leeds','IO93FT',NULL,'M0ABC',0,0,1,1,'2017-01-01 00:00:00',0,NULL,"
    " NULL,NULL,NULL,NULL,NULL),"
    "('UA3AAA','Ivan','Moscow','KO85UR',NULL,NULL,NULL,NULL,NULL,0,NULL,1,'2019-06-30 00:00:00',"
    " NULL,NULL,NULL,NULL,'2021'),"
    "('W1AW','',NULL,'FN31PR','CT',NULL,1,NULL,NULL,1,NULL,NULL,NULL,NULL,NULL,NULL,NULL,NULL)";

// profile/ : host.db, host.ini, download/; profile/zemrak/db/DB.mdb (the
// logger's reference callbook with two old rows); profile/hkcu.reg naming
// profile/zemrak/ as the logger's installation.
class TExportProfile {
public:
    explicit TExportProfile(const std::string& name, bool withHostRows = true);

    const fs::path& Profile() const { return host_.Profile(); }
    fs::path HostDb() const { return Profile() / "host.db"; }
    fs::path HostIni() const { return Profile() / "host.ini"; }
    fs::path HostLog() const { return Profile() / "host.log"; }
    fs::path Download() const { return Profile() / "download"; }
    fs::path RefDb() const { return Profile() / "zemrak" / "db" / "DB.mdb"; }
    fs::path Registry() const { return Profile() / "hkcu.reg"; }

    // Lines of host.log without their time stamps.
    std::vector<std::string> LogLines() const;

    // The in-process host on this profile, with an empty plug-in folder; the
    // dialog tests start it, the end-to-end tests run hamhost instead.
    TTestHost& Host() { return host_; }

private:
    TTestHost host_;
};
