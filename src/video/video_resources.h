#pragma once
// Resources compiled into the program for the video output: the splash
// picture ("Splash", type "JPEG") and the shaders (type "SHADER"): the
// adjustment shader in two variants, "PS2" (GLSL 1.20) and "PS3" (GLSL 3.30),
// and their vertex and stretch stages ("VS2"/"VS3", "STRETCH2"/"STRETCH3",
// "QUAD2"/"QUAD3"), and the unadjusted fallback "PLAIN2"/"PLAIN3".

#include <span>
#include <string_view>

// The resource's bytes (followed by a zero byte that is not counted); empty
// when there is no such resource.
std::span<const unsigned char> VideoResource(std::string_view name, std::string_view type);
