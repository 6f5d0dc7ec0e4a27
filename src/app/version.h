#pragma once

// The program's version, as its version resource and the update check carry it.
inline constexpr char kProgramVersion[] = "2.6.0.41";
