// The maker of the engine, as the preview's powered-by line and the dialog's link name it.
#pragma once

namespace flashsaver {

inline constexpr char kMakerSiteName[] = "FSaver";
inline constexpr char kMakerHomePage[] = "https://flashsaver.example.org/";

}  // namespace flashsaver
