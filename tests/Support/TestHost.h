// An in-process host for the suites that drive the host core or a plug-in's
// dialogs: a fresh profile in a temporary folder, the host's messages kept for
// the test, and the host started once the suite has laid out its files.
#pragma once

#include "Host/Host.h"
#include "tests/Support/TestSupport.h"

#include <memory>
#include <sstream>

class TTestHost {
public:
    // The profile is the temporary folder itself or, given profileFolder, a
    // folder inside it; it is initialised at once. Options start with the
    // profile, the temporary folder as the plug-in folder and Messages as the
    // message stream; a suite changes them before Start.
    explicit TTestHost(const std::string& name, const std::string& profileFolder = {});
    TTestHost(const TTestHost&) = delete;
    TTestHost& operator=(const TTestHost&) = delete;

    const TTempDir& Dir() const { return dir_; }
    const fs::path& Profile() const { return profile_; }

    // A host made from Options (replacing any earlier one, which shuts down
    // once the new one stands) and a core attached for the plug-in file name.
    ICore* Start(const std::string& pluginFile);
    // Shuts the host down, as closing the program does.
    void Stop() { host_.reset(); }

    THost& Host() { return *host_; }
    THost* operator->() { return host_.get(); }
    const THost& Host() const { return *host_; }
    const THost* operator->() const { return host_.get(); }

    THostOptions Options;
    std::ostringstream Messages;

private:
    TTempDir dir_;
    fs::path profile_;
    std::unique_ptr<THost> host_;
};
