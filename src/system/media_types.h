#pragma once
// The fixed tables of media file extensions the player handles, in the order
// they are listed to the user, and the test built on them.

#include <span>
#include <string_view>

struct MediaType {
  std::string_view Ext;   // lower case, without the dot
  std::string_view Desc;  // shown in the association window and open dialog
};

std::span<const MediaType> VideoMediaTypes();
std::span<const MediaType> AudioMediaTypes();

// Whether name (a bare name or a path) ends with "." and an extension of
// either table, compared without regard to ASCII case.
bool IsMediaFile(std::string_view name);
