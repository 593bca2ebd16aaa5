// A host query handle that is closed and released on every way out.
#pragma once

#include "PluginAPI/Plugins/Helpers.h"
#include "PluginAPI/PluginAPI.h"

class THostQueryGuard {
public:
    explicit THostQueryGuard(IHostServer* server) : server_(server)
    {
        CheckHostResult(server_->CreateQuery(&handle_));
    }
    ~THostQueryGuard()
    {
        server_->CloseQuery(handle_);
        server_->FreeQuery(handle_);
    }
    THostQueryGuard(const THostQueryGuard&) = delete;
    THostQueryGuard& operator=(const THostQueryGuard&) = delete;
    QueryHandle Handle() const { return handle_; }

private:
    IHostServer* server_;
    QueryHandle handle_ = 0;
};
