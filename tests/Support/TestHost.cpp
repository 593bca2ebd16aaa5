#include "tests/Support/TestHost.h"

TTestHost::TTestHost(const std::string& name, const std::string& profileFolder)
    : dir_(name), profile_(profileFolder.empty() ? dir_.Path() : dir_ / profileFolder)
{
    THost::InitProfile(profile_);
    Options.Profile = profile_;
    Options.PluginDir = dir_.Path();
    Options.Messages = &Messages;
}

ICore* TTestHost::Start(const std::string& pluginFile)
{
    host_ = std::make_unique<THost>(Options);
    return host_->AttachCore(pluginFile);
}
