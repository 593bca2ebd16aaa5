// Wine's own registry: where its per-user file is, and how a Windows path
// read from it maps into the Wine prefix.
#pragma once

#include <string>
#include <string_view>

// $WINEPREFIX/user.reg, default ~/.wine/user.reg.
std::string WineUserRegistryPath();

// True when text starts as a Wine registry file does.
bool IsWineRegistryText(std::string_view text);

// True for "X:\..." and "X:/..." paths.
bool IsWindowsDrivePath(std::string_view path);

// base joined with relative ('\\' or '/' between parts) as Windows finds it:
// each part that exists is found without regard to letter case (ASCII
// letters); the parts after the first one not found are kept as written. A
// trailing separator stays.
std::string ResolvePathNoCase(const std::string& base, std::string_view relative);

// A Windows drive path as a path inside the Wine prefix: drive C is the
// prefix's drive_c (or dosdevices/c: without it), any other letter its
// dosdevices/ link; the rest is found as ResolvePathNoCase finds it. Other
// text is answered unchanged.
std::string WinePathToUnix(const std::string& prefix, std::string_view windowsPath);
