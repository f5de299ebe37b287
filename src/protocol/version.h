#pragma once

namespace zanto {

// The version, as the build gives it: "3.0.0" for programs and packages,
// "3.0" where the tool names its release.
inline constexpr const char *ToolVersion = ZANTO_VERSION;
inline constexpr const char *ReleaseVersion = ZANTO_RELEASE;

} // namespace zanto
