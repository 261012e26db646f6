#pragma once
// Configuration values of the player engine.

// The product's web site, named in the message shown when the player's
// decoder modules are missing.
inline constexpr char kProductSiteAddress[] = "https://lumora.example.org/";

// The folder of the decoder modules beside the executable.
inline constexpr char kFiltersFolderName[] = "Filters";
