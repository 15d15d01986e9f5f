#pragma once

namespace km {

// The maker's web pages.
inline constexpr const char* kHomepageAddress = "https://fennwick.example/klangmappe/";
inline constexpr const char* kFreewareAddress = "https://fennwick.example/freeware/";

} // namespace km
