#include "Host/HostDemo.h"

#include "Host/HostDatabase.h"

void CreateDemoProfile(const std::filesystem::path& profile)
{
    THostDb db = OpenHostDatabase(profile / "host.db", false);
    ExecScript(db.get(),
               "INSERT OR IGNORE INTO CALLBOOK(OMCALL, OMNAME, OMQTH, GRIDSQUARE, CHK) VALUES"
               "('DL1ABC','Hans','Berlin','JO62QM',1),('G4XYZ','John','Leeds','IO93FT',0),"
               "('UA3AAA','Ivan','Moscow','KO85UR',NULL);");
}
